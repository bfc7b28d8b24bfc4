// The panel's own QML (Main.qml) over an application environment, in a real window that tests drive
// with keys and read through the panel's describe(): the shell, the engine and the view, made and
// torn down in the order the application uses.
#pragma once

#include "App/AppEnvironment.h"
#include "Shell/AppShell.h"
#include "Shell/KeyEventRouter.h"

#include <QJSValue>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>
#include <memory>

namespace pemmo::test {

class PanelView {
public:
    explicit PanelView(AppEnvironment& env)
        : m_env(env) {}
    ~PanelView() {
        m_view.reset();
        m_engine.reset();
        m_shell.reset();
    }

    // Loads Main.qml and shows it, active, at `size`; the load's first error when it fails.
    QString show(QSize size = {640, 480}) {
        m_engine = std::make_unique<QQmlEngine>();
        m_engine->addImportPath(u"qrc:/"_qs);
        m_shell = std::make_unique<AppShell>(&m_env);
        AppShell::attach(*m_engine, *m_shell);
        m_view = std::make_unique<QQuickView>(m_engine.get(), nullptr);
        m_view->setResizeMode(QQuickView::SizeRootObjectToView);
        m_env.keys().install(m_view.get());
        m_view->setSource(QUrl(u"qrc:/Pemmo/Main.qml"_qs));
        if (m_view->status() != QQuickView::Ready)
            return m_view->errors().isEmpty() ? u"Main.qml not ready"_qs
                                              : m_view->errors().first().toString();
        m_view->resize(size);
        m_view->show();
        if (!QTest::qWaitForWindowExposed(m_view.get()))
            return u"the panel was never shown"_qs;
        m_view->requestActivate();
        if (!QTest::qWaitForWindowActive(m_view.get()))
            return u"the panel never became active"_qs;
        return {};
    }

    QQmlEngine& engine() { return *m_engine; }
    AppShell& shell() { return *m_shell; }
    QQuickView& view() { return *m_view; }
    QQuickItem* root() { return m_view ? m_view->rootObject() : nullptr; }

    // What the panel says of itself: the route, the screen's own description, banners, overlays.
    QVariantMap describe() {
        QVariant described;
        QMetaObject::invokeMethod(root(), "describe", Q_RETURN_ARG(QVariant, described));
        if (described.userType() == qMetaTypeId<QJSValue>())
            described = described.value<QJSValue>().toVariant();
        return described.toMap();
    }
    QVariantMap screen() { return describe().value(u"screen"_qs).toMap(); }
    QString route() { return describe().value(u"route"_qs).toString(); }

private:
    AppEnvironment& m_env;
    std::unique_ptr<AppShell> m_shell;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickView> m_view;
};

} // namespace pemmo::test
