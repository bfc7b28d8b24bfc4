#include "Screens/DiagnosticsViewModel.h"

#include "App/AppEnvironment.h"
#include "App/DoctorCommand.h"
#include "App/EmbeddingMaintenance.h"
#include "Shell/AppRouter.h"
#include "Shell/KeyEvent.h"

#include <QClipboard>
#include <QGuiApplication>

namespace pemmo {

DiagnosticsViewModel::DiagnosticsViewModel(AppEnvironment& environment, Sources sources, QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_sources(std::move(sources)) {
    if (m_sources.maintenance) {
        connect(m_sources.maintenance, &EmbeddingMaintenance::isUpdatingChanged, this,
                &DiagnosticsViewModel::rebuildChanged);
        // The index's line follows the rebuild.
        connect(m_sources.maintenance, &EmbeddingMaintenance::idle, this, [this] { refresh(); });
    }
}

bool DiagnosticsViewModel::canRebuild() const {
    return m_sources.maintenance && m_sources.maintenance->isAvailable() && !isRebuilding();
}

bool DiagnosticsViewModel::isRebuilding() const {
    return m_sources.maintenance && m_sources.maintenance->isUpdating();
}

void DiagnosticsViewModel::setStatus(const QString& status) {
    if (m_status == status)
        return;
    m_status = status;
    Q_EMIT statusChanged();
}

QCoro::Task<void> DiagnosticsViewModel::refresh() {
    if (m_isLoading) {
        m_refreshAgain = true;
        co_return;
    }
    const QPointer<DiagnosticsViewModel> self(this);
    m_isLoading = true;
    Q_EMIT isLoadingChanged();
    do {
        m_refreshAgain = false;
        DoctorCommand::Sources sources;
        sources.directory = m_env.directory();
        sources.settingsFile = &m_env.keyValueStore();
        sources.settings = &m_env.settings();
        sources.store = &m_env.store();
        sources.secrets = m_env.sharedSecrets();
        sources.index = m_env.embeddings();
        sources.runningIndex = true;
        if (m_sources.shortcutState) {
            const QString line = m_sources.shortcutState();
            if (!line.isEmpty())
                sources.shortcut = line;
        }
        auto reporting = DoctorCommand::report(sources);
        QStringList lines = co_await reporting;
        if (!self)
            co_return;
        m_lines = std::move(lines);
        Q_EMIT linesChanged();
    } while (m_refreshAgain);
    m_isLoading = false;
    Q_EMIT isLoadingChanged();
}

void DiagnosticsViewModel::copy() {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text() + u'\n');
    setStatus(tr("Copied to the clipboard."));
}

void DiagnosticsViewModel::rebuildIndex() {
    if (!canRebuild()) {
        setStatus(m_sources.maintenance && m_sources.maintenance->isAvailable()
                      ? tr("The semantic index is being updated already.")
                      : tr("There is no semantic index to rebuild: no word table was found."));
        return;
    }
    m_sources.maintenance->rebuild();
    setStatus(tr("Rebuilding the semantic index…"));
    Q_EMIT rebuildChanged();
}

void DiagnosticsViewModel::close() {
    m_env.router().pop();
}

KeyResult DiagnosticsViewModel::handleKey(const KeyEvent& event) {
    if (event.isCommand(u'c')) {
        copy();
        return KeyResult::Handled;
    }
    if (event.isCommand(u'r')) {
        rebuildIndex();
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Escape)) {
        close();
        return KeyResult::Handled;
    }
    return KeyResult::Pass;
}

} // namespace pemmo
