// The floating command panel: a frameless window above every other, kept off the taskbar, that
// takes the keyboard when shown so typing reaches the search field at once.
#pragma once

#include <QQuickView>

namespace pemmo {

class PemmoPanel : public QQuickView {
    Q_OBJECT

public:
    explicit PemmoPanel(QQmlEngine* engine, QWindow* parent = nullptr);
};

} // namespace pemmo
