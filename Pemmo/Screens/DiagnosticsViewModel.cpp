#include "Screens/DiagnosticsViewModel.h"

#include "App/AppEnvironment.h"
#include "App/DoctorCommand.h"
#include "App/EmbeddingMaintenance.h"
#include "Semantic/EmbeddingIndex.h"
#include "Shell/AppRouter.h"
#include "Shell/KeyEvent.h"

#include <QClipboard>
#include <QGuiApplication>

namespace pemmo {
namespace {

QString rebuildingText() {
    return DiagnosticsViewModel::tr("Rebuilding the semantic index…");
}

// How a rebuild that just ended went: one that failed (the log says why) leaves its vectors
// unwritten.
QCoro::Task<QString> rebuildOutcome(EmbeddingIndex& index) {
    auto counting = index.stats();
    const EmbeddingIndex::Stats stats = co_await counting;
    co_return stats.needsPersist
        ? DiagnosticsViewModel::tr("The semantic index could not be rebuilt: the log "
                                   "says why.")
    : stats.entries == 1
        ? DiagnosticsViewModel::tr("Rebuilt the semantic index: 1 person.")
        : DiagnosticsViewModel::tr("Rebuilt the semantic index: %1 people.").arg(stats.entries);
}

} // namespace

DiagnosticsViewModel::DiagnosticsViewModel(AppEnvironment& environment, Sources sources, QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_sources(std::move(sources)) {
    if (m_sources.maintenance) {
        connect(m_sources.maintenance, &EmbeddingMaintenance::isUpdatingChanged, this,
                &DiagnosticsViewModel::rebuildChanged);
        // The index's line follows the rebuild, and the status says how the rebuild asked for ended.
        connect(m_sources.maintenance, &EmbeddingMaintenance::idle, this, [this] {
            if (m_status == rebuildingText() && m_env.embeddings())
                QCoro::connect(rebuildOutcome(*m_env.embeddings()), this, [this](const QString& outcome) {
                    if (m_status == rebuildingText())
                        setStatus(outcome);
                });
            refresh();
        });
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
    setStatus(rebuildingText());
    m_sources.maintenance->rebuild();
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
