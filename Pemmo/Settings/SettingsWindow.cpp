#include "Settings/SettingsWindow.h"

#include "AI/AIService.h"
#include "App/AppEnvironment.h"
#include "Moments/MomentService.h"
#include "Settings/AIProviderID.h"
#include "Settings/SettingsStore.h"
#include "Settings/SettingsViewModel.h"
#include "Settings/WidgetPalette.h"
#include "Shell/WindowSize.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace pemmo {
namespace {

// Every label of the window shows its text as it is: folder paths, model names, a server's error
// and the store's messages are the user's or someone else's words, never markup to act on.
QLabel* plainLabel(const QString& text = {}) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A tooltip is drawn as rich text whenever it looks like markup, so a path goes in as a paragraph
// of escaped text and reads exactly as written.
QString plainToolTip(const QString& text) {
    return Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

// A pane: a title, then its rows, scrolling when the window is small.
QWidget* pane(const QString& title, QLayout* body) {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    auto* heading = plainLabel(title);
    QFont font = heading->font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    heading->setFont(font);
    heading->setAccessibleName(title);
    column->addWidget(heading);
    column->addLayout(body);
    column->addStretch(1);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // Tab goes from control to control, scrolling each into view; the pane itself would be a stop
    // that nothing shows.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(content);
    return scroll;
}

// A line of help under a control, in the secondary colour.
QLabel* help(const QString& text) {
    auto* label = plainLabel(text);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

// A choice box; a screen reader names it by `title`, its label in the form (without the colon).
QComboBox* choices(const QString& name, const QString& title, const QStringList& titles) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->addItems(titles);
    box->setAccessibleName(title);
    return box;
}

QCheckBox* toggle(const QString& name, const QString& title) {
    auto* box = new QCheckBox(title);
    box->setObjectName(name);
    return box;
}

QLineEdit* field(const QString& name, const QString& placeholder = {}) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    edit->setClearButtonEnabled(true);
    return edit;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets) {
    auto* layout = new QHBoxLayout;
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    layout->addStretch(1);
    return layout;
}

// A path asked for with the desktop's file dialog, or with Qt's own where the desktop has none.
// Qt's is a window of its own, which takes the settings window's look only when told to; so does
// every dialog of the window.
// `suffix` is added to a name typed without one.
QString askForPath(QWidget* parent, const QString& title, const QString& start, QFileDialog::FileMode mode,
                   QFileDialog::AcceptMode accept = QFileDialog::AcceptOpen, const QString& filter = {},
                   const QString& suffix = {}) {
    QFileDialog dialog(parent, title, start, filter);
    dialog.setAttribute(Qt::WA_WindowPropagation);
    dialog.setFileMode(mode);
    dialog.setAcceptMode(accept);
    dialog.setDefaultSuffix(suffix);
    if (mode == QFileDialog::Directory)
        dialog.setOption(QFileDialog::ShowDirsOnly);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString displayPath(const QString& path) {
    const QString home = QDir::homePath();
    return path.startsWith(home + u'/') ? u"~"_qs + path.mid(home.size()) : path;
}

} // namespace

QStringList SettingsWindow::paneNames() {
    return {u"general"_qs, u"addressBook"_qs, u"data"_qs, u"ai"_qs, u"calendar"_qs, u"updates"_qs};
}

SettingsWindow::SettingsWindow(SettingsViewModel& model, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_model(model) {
    setObjectName(u"settingsWindow"_qs);
    setWindowTitle(tr("Pemmo Settings"));
    setWindowIcon(QIcon(u":/pemmo/icons/pemmo.svg"_qs));
    setDark(false);

    m_sidebar = new QListWidget;
    m_sidebar->setObjectName(u"panes"_qs);
    m_sidebar->setAccessibleName(tr("Settings areas"));
    m_panes = new QStackedWidget;
    const QList<std::pair<QString, QWidget*>> built{
        {tr("General"), buildGeneral()},   {tr("Address book"), buildAddressBook()},
        {tr("Data"), buildData()},         {tr("AI"), buildAI()},
        {tr("Calendar"), buildCalendar()}, {tr("Updates"), buildUpdates()}};
    for (const auto& [title, widget] : built) {
        m_sidebar->addItem(title);
        m_panes->addWidget(widget);
    }
    m_sidebar->setFixedWidth(m_sidebar->sizeHintForColumn(0) + fontMetrics().averageCharWidth() * 6);
    connect(m_sidebar, &QListWidget::currentRowChanged, m_panes, &QStackedWidget::setCurrentIndex);
    m_sidebar->setCurrentRow(0);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_sidebar);
    layout->addWidget(m_panes, 1);

    // Control-W and Escape close it, as other settings windows do.
    auto* closeKey = new QShortcut(QKeySequence::Close, this);
    connect(closeKey, &QShortcut::activated, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    SettingsStore& settings = m_model.settings();
    for (const auto signal :
         {&SettingsStore::appearanceChanged, &SettingsStore::panelWidthChanged,
          &SettingsStore::primaryActionChanged, &SettingsStore::messagingAppChanged,
          &SettingsStore::autoLogInteractionsChanged, &SettingsStore::openLinksInBackgroundChanged,
          &SettingsStore::semanticSearchEnabledChanged, &SettingsStore::aiEnabledChanged,
          &SettingsStore::aiProviderChanged, &SettingsStore::localModelServerChanged,
          &SettingsStore::localModelChanged, &SettingsStore::anthropicBaseURLChanged,
          &SettingsStore::claudeReasoningModelChanged, &SettingsStore::claudeFastModelChanged,
          &SettingsStore::momentsEnabledChanged, &SettingsStore::momentDelayMinutesChanged,
          &SettingsStore::calendarSelfAddressesChanged})
        connect(&settings, signal, this, &SettingsWindow::loadFromSettings);
    connect(&settings, &SettingsStore::calendarIDsChanged, this, &SettingsWindow::loadCalendarFolders);
    connect(&m_model, &SettingsViewModel::contactFoldersChanged, this, &SettingsWindow::loadFolders);
    connect(&m_model, &SettingsViewModel::folderStatesChanged, this, &SettingsWindow::loadFolders);
    // A message is about what was just done, on the pane in front.
    connect(&m_model, &SettingsViewModel::messageChanged, this, [this] {
        m_messagePane = currentPane();
        showMessage();
    });
    connect(&m_model, &SettingsViewModel::shortcutChanged, this,
            [this] { m_shortcut->setKeySequence(m_model.shortcut()); });
    loadFromSettings();
    loadFolders();
    loadCalendarFolders();
    QCoro::connect(m_model.refreshFolderStates(), this, [] {});
    // Once, not at every change of a setting: a keyring that hangs holds a worker thread each time.
    QCoro::connect(m_model.refreshCloudKey(), this, [] {});
    QCoro::connect(m_model.refreshLocalModels(), this, [] {});
    QCoro::connect(m_model.refreshOrphans(), this, [] {});

    const int em = fontMetrics().averageCharWidth();
    resize(boundedToScreen(QSize(em * 120, fontMetrics().height() * 40), screen()));
}

SettingsWindow::~SettingsWindow() {
    // A field stores its text as it loses the focus: it does so now, while the window is whole,
    // rather than while its controls are being destroyed.
    if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused))
        focused->clearFocus();
}

QLabel* SettingsWindow::messageLabel(const QString& pane) {
    auto* label = plainLabel();
    label->setObjectName(u"message"_qs);
    label->setWordWrap(true);
    label->setVisible(false);
    label->setAccessibleName(tr("Message"));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_messages.insert(pane, label);
    return label;
}

void SettingsWindow::showMessage() {
    for (auto it = m_messages.cbegin(); it != m_messages.cend(); ++it) {
        const bool shown = it.key() == m_messagePane && !m_model.message().isEmpty();
        it.value()->setText(shown ? m_model.message() : QString());
        it.value()->setVisible(shown);
    }
}

void SettingsWindow::clearMessages() {
    m_messagePane.clear();
    showMessage();
}

void SettingsWindow::hideEvent(QHideEvent* event) {
    // What was said is about what was done then: the window opens again without it.
    if (!event->spontaneous())
        clearMessages();
    QWidget::hideEvent(event);
}

void SettingsWindow::showPane(const QString& name) {
    const qsizetype index = paneNames().indexOf(name);
    m_sidebar->setCurrentRow(index < 0 ? 0 : int(index));
}

QString SettingsWindow::currentPane() const {
    return paneNames().value(m_panes->currentIndex());
}

void SettingsWindow::setDark(bool dark) {
    setPalette(WidgetPalette::make(dark));
}

void SettingsWindow::showCloudKeyState() {
    switch (m_model.cloudKey()) {
    case SettingsViewModel::CloudKey::Asking:
        m_keyState->setText(tr("Asking the keyring…"));
        break;
    case SettingsViewModel::CloudKey::Stored:
        m_keyState->setText(tr("A key is stored in the keyring."));
        break;
    case SettingsViewModel::CloudKey::None:
        m_keyState->setText(tr("No key stored."));
        break;
    case SettingsViewModel::CloudKey::Unreadable:
        m_keyState->setText(tr("The keyring cannot be read now (is it running and unlocked?)."));
        break;
    }
}

void SettingsWindow::setRebuildIndexAction(std::function<void()> action) {
    m_rebuildIndex = std::move(action);
    showRebuildState();
}

void SettingsWindow::setIndexMaintenance(EmbeddingMaintenance* maintenance) {
    if (m_maintenance)
        disconnect(m_maintenance, nullptr, this, nullptr);
    m_maintenance = maintenance;
    if (!maintenance || !maintenance->isAvailable()) {
        setRebuildIndexAction({});
        return;
    }
    connect(maintenance, &EmbeddingMaintenance::isUpdatingChanged, this, &SettingsWindow::showRebuildState);
    connect(maintenance, &EmbeddingMaintenance::idle, this, [this] {
        if (!m_rebuildAsked)
            return;
        m_rebuildAsked = false;
        m_rebuildState->setText(tr("Rebuilt the semantic index."));
        m_rebuildState->setVisible(true);
    });
    setRebuildIndexAction([maintenance] { maintenance->rebuild(); });
}

void SettingsWindow::rebuildIndex() {
    if (!m_rebuildIndex)
        return;
    m_rebuildAsked = bool(m_maintenance);
    m_rebuildIndex();
    showRebuildState();
    // Without the keeper of the index to follow, it can only be said that the rebuild started.
    if (!m_maintenance) {
        m_rebuildState->setText(tr("Started rebuilding the semantic index."));
        m_rebuildState->setVisible(true);
    }
}

void SettingsWindow::showRebuildState() {
    const bool rebuilding = m_maintenance && m_rebuildAsked && m_maintenance->isUpdating();
    if (rebuilding) {
        m_rebuildState->setText(tr("Rebuilding the semantic index…"));
        m_rebuildState->setVisible(true);
    }
    m_rebuild->setEnabled(bool(m_rebuildIndex));
    m_rebuildNote->setVisible(!m_rebuildIndex);
}

QWidget* SettingsWindow::buildGeneral() {
    SettingsStore& settings = m_model.settings();
    auto* form = new QFormLayout;

    m_shortcut = new QKeySequenceEdit(m_model.shortcut());
    m_shortcut->setObjectName(u"shortcut"_qs);
    m_shortcut->setAccessibleName(tr("Shortcut that opens Pemmo"));
    m_shortcut->setToolTip(tr("Click, then press the new combination"));
    connect(m_shortcut, &QKeySequenceEdit::keySequenceChanged, this, [this] {
        // Taken as soon as one key with its modifiers is down, not after the edit's pause.
        QTimer::singleShot(0, this, &SettingsWindow::takeShortcut);
    });
    // Tab, Shift+Tab and Escape keep their meaning in the field, and a modifier pressed alone
    // does not empty it.
    m_shortcut->installEventFilter(this);
    connect(m_shortcut, &QKeySequenceEdit::editingFinished, this, &SettingsWindow::showStoredShortcut);
    form->addRow(tr("Open Pemmo with:"), m_shortcut);
    form->addRow(QString(), help(tr("Click the field and press the new combination. If another program "
                                    "already uses it, Pemmo keeps the one it has.")));

    m_appearance =
        choices(u"appearance"_qs, tr("Appearance"), {tr("Follow the system"), tr("Dark"), tr("Light")});
    connect(m_appearance, &QComboBox::activated, &settings,
            [&settings](int index) { settings.setAppearance(SettingsStore::Appearance(index)); });
    form->addRow(tr("Appearance:"), m_appearance);

    m_panelWidth = choices(u"panelWidth"_qs, tr("Panel width"), {tr("Compact"), tr("Regular"), tr("Wide")});
    connect(m_panelWidth, &QComboBox::activated, &settings,
            [&settings](int index) { settings.setPanelWidth(SettingsStore::PanelWidth(index)); });
    form->addRow(tr("Panel width:"), m_panelWidth);

    m_primaryAction =
        choices(u"primaryAction"_qs, tr("Return on a card"), {tr("Message"), tr("Call"), tr("Mail")});
    connect(m_primaryAction, &QComboBox::activated, &settings,
            [&settings](int index) { settings.setPrimaryAction(SettingsStore::PrimaryAction(index)); });
    form->addRow(tr("Return on a card:"), m_primaryAction);

    m_messagingApp = choices(
        u"messagingApp"_qs, tr("Messages open in"),
        {tr("Text message through the phone link (sms:)"), tr("Signal"), tr("WhatsApp"), tr("Telegram")});
    connect(m_messagingApp, &QComboBox::activated, &settings,
            [&settings](int index) { settings.setMessagingApp(SettingsStore::MessagingApp(index)); });
    form->addRow(tr("Messages open in:"), m_messagingApp);

    m_autoLog = toggle(u"autoLogInteractions"_qs, tr("Log interactions automatically"));
    connect(m_autoLog, &QCheckBox::clicked, &settings, &SettingsStore::setAutoLogInteractions);
    form->addRow(QString(), m_autoLog);
    form->addRow(QString(),
                 help(u"Adds a timeline entry when you open Messages, call, or mail someone from Pemmo."_qs));

    m_background = toggle(u"openLinksInBackground"_qs, tr("Open links in the background"));
    connect(m_background, &QCheckBox::clicked, &settings, &SettingsStore::setOpenLinksInBackground);
    form->addRow(QString(), m_background);
    form->addRow(QString(), help(tr("Pemmo stays in front when a saved link opens in the browser.")));

    m_semantic = toggle(u"semanticSearchEnabled"_qs, tr("Semantic search"));
    connect(m_semantic, &QCheckBox::clicked, &settings, &SettingsStore::setSemanticSearchEnabled);
    form->addRow(QString(), m_semantic);
    form->addRow(QString(),
                 help(tr("Also finds people by what their notes are about, not only by the words typed.")));

    m_launchAtLogin = toggle(u"launchAtLogin"_qs, tr("Start Pemmo when you log in"));
    connect(m_launchAtLogin, &QCheckBox::clicked, this, [this](bool on) {
        if (!m_model.setLaunchAtLogin(on))
            m_launchAtLogin->setChecked(m_model.launchAtLogin());
    });
    form->addRow(QString(), m_launchAtLogin);
    form->addRow(QString(), messageLabel(u"general"_qs));
    return pane(tr("General"), form);
}

void SettingsWindow::takeShortcut() {
    const QKeySequence typed = m_shortcut->keySequence();
    if (typed.isEmpty())
        return;
    m_model.recordShortcut(QKeySequence(typed[0]));
    // The field shows the shortcut in force, the new one or the old one kept, and keeps the focus:
    // Tab goes on from it to the next control.
    showStoredShortcut();
}

void SettingsWindow::showStoredShortcut() {
    if (m_shortcut->keySequence() == m_model.shortcut())
        return;
    const QSignalBlocker blocker(m_shortcut);
    m_shortcut->setKeySequence(m_model.shortcut());
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_shortcut)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusOut) {
        showStoredShortcut();
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        switch (key->key()) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
            // The edit starts over at the first key pressed, a modifier too, and would show
            // nothing until the combination is complete.
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) {
                showStoredShortcut();
                focusNextPrevChild(key->key() == Qt::Key_Tab && modifiers == Qt::NoModifier);
                return true;
            }
            break;
        case Qt::Key_Escape:
            if (modifiers == Qt::NoModifier) {
                showStoredShortcut();
                close();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QWidget* SettingsWindow::buildAddressBook() {
    auto* column = new QVBoxLayout;
    column->addWidget(
        help(tr("Pemmo reads the people of these vCard folders (as vdirsyncer or khard keep them). "
                "New contacts are written to the first one.")));
    m_folders = new QListWidget;
    m_folders->setObjectName(u"contactFolders"_qs);
    m_folders->setAccessibleName(tr("Address book folders"));
    column->addWidget(m_folders, 1);

    auto* add = new QPushButton(tr("Choose folder…"));
    add->setObjectName(u"addFolder"_qs);
    connect(add, &QPushButton::clicked, this, [this] {
        const QString folder =
            askForPath(this, tr("Choose an address book folder"), QDir::homePath(), QFileDialog::Directory);
        if (!folder.isEmpty())
            m_model.addContactFolder(folder);
    });
    m_removeFolder = new QPushButton(tr("Remove"));
    m_removeFolder->setObjectName(u"removeFolder"_qs);
    connect(m_removeFolder, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = m_folders->currentItem())
            m_model.removeContactFolder(item->data(Qt::UserRole).toString());
    });
    m_newContactsFolder = new QPushButton(tr("Use for new contacts"));
    m_newContactsFolder->setObjectName(u"newContactsFolder"_qs);
    connect(m_newContactsFolder, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = m_folders->currentItem())
            m_model.useForNewContacts(item->data(Qt::UserRole).toString());
    });
    connect(m_folders, &QListWidget::currentRowChanged, this, &SettingsWindow::showFolderButtons);
    column->addLayout(row({add, m_removeFolder, m_newContactsFolder}));
    column->addWidget(
        help(tr("Removing a folder only stops Pemmo reading it; its files stay where they are.")));
    column->addWidget(messageLabel(u"addressBook"_qs));
    return pane(tr("Address book"), column);
}

void SettingsWindow::loadFolders() {
    const QString selected =
        m_folders->currentItem() ? m_folders->currentItem()->data(Qt::UserRole).toString() : QString();
    // The list is filled again quietly: only the row it ends on counts.
    const QSignalBlocker quiet(m_folders);
    m_folders->clear();
    const QStringList folders = m_model.contactFolders();
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const QString& folder = folders[i];
        QString text = displayPath(folder);
        const QString state = m_model.folderState(folder);
        if (!state.isEmpty())
            text += u" \u2014 "_qs + state;
        if (i == 0 && folders.size() > 1)
            text += tr(" (new contacts go here)");
        auto* item = new QListWidgetItem(text, m_folders);
        item->setData(Qt::UserRole, folder);
        item->setToolTip(plainToolTip(folder));
        if (folder == selected)
            m_folders->setCurrentItem(item);
    }
    if (folders.isEmpty())
        m_folders->addItem(tr("No folder chosen yet: choose the folder your contacts' .vcf files are in."));
    showFolderButtons();
}

void SettingsWindow::showFolderButtons() {
    // The row of a chosen folder (not the line saying there is none yet).
    const auto chosenRow = [this] {
        const QListWidgetItem* item = m_folders->currentItem();
        return item && !item->data(Qt::UserRole).toString().isEmpty() ? m_folders->currentRow() : -1;
    };
    // Qt would hand the focus of a button being disabled to the next control of the window, past
    // the end of the pane to the sidebar; it goes to the list the button acted on instead.
    int row = chosenRow();
    if ((row < 0 && m_removeFolder->hasFocus()) || (row <= 0 && m_newContactsFolder->hasFocus())) {
        m_folders->setFocus(Qt::OtherFocusReason);
        row = chosenRow(); // the list may have made a row current as it took the focus
    }
    m_removeFolder->setEnabled(row >= 0);
    m_newContactsFolder->setEnabled(row > 0);
}

QWidget* SettingsWindow::buildData() {
    auto* column = new QVBoxLayout;
    auto* where =
        plainLabel(tr("Pemmo keeps its records in %1").arg(displayPath(m_model.environment().directory())));
    where->setObjectName(u"dataFolder"_qs);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    where->setWordWrap(true);
    column->addWidget(where);

    auto* exportButton = new QPushButton(tr("Export…"));
    exportButton->setObjectName(u"export"_qs);
    connect(exportButton, &QPushButton::clicked, this, [this] {
        const QString start = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                  .filePath(SettingsViewModel::exportFileName(QDate::currentDate()));
        const QString file = askForPath(this, tr("Export Pemmo's records"), start, QFileDialog::AnyFile,
                                        QFileDialog::AcceptSave, tr("Pemmo export (*.json)"), u"json"_qs);
        if (!file.isEmpty())
            QCoro::connect(m_model.exportTo(file), this, [](const QString&) {});
    });
    auto* importButton = new QPushButton(tr("Import…"));
    importButton->setObjectName(u"import"_qs);
    connect(importButton, &QPushButton::clicked, this, [this] {
        const QString file =
            askForPath(this, tr("Import an export file"), QDir::homePath(), QFileDialog::ExistingFile,
                       QFileDialog::AcceptOpen, tr("Pemmo export (*.json);;All files (*)"));
        if (!file.isEmpty())
            QCoro::connect(m_model.importFrom(file), this, [](const QString&) {});
    });
    column->addLayout(row({exportButton, importButton}));
    column->addWidget(
        help(tr("An export holds every record as JSON. Importing merges a file into the records: "
                "a record wins unless the one here is newer. A file that is not an export changes "
                "nothing.")));

    // The address book is read again when a change is noticed, at every activation and every
    // five minutes; this is for when the user knows better (a folder synced a moment ago).
    auto* readAgain = new QPushButton(tr("Read the address book again"));
    readAgain->setObjectName(u"readAddressBook"_qs);
    connect(readAgain, &QPushButton::clicked, this,
            [this] { QCoro::connect(m_model.readAddressBookAgain(), this, [](const QString&) {}); });
    column->addLayout(row({readAgain}));

    // Records outlive their contact; the user can let them go in one step.
    m_orphans = plainLabel();
    m_orphans->setObjectName(u"orphans"_qs);
    m_removeOrphans = new QPushButton(tr("Remove…"));
    m_removeOrphans->setObjectName(u"removeOrphans"_qs);
    connect(m_removeOrphans, &QPushButton::clicked, this, [this] {
        const int count = m_model.orphanCount();
        QMessageBox ask(QMessageBox::Warning, SettingsViewModel::removeOrphansText(count),
                        tr("Their circles, links, notes and timelines are deleted. If they come back to "
                           "your address book, they start over. Export first to keep a copy."),
                        QMessageBox::Cancel, this);
        ask.setAttribute(Qt::WA_WindowPropagation);
        QPushButton* confirm =
            ask.addButton(SettingsViewModel::removeOrphansText(count), QMessageBox::DestructiveRole);
        ask.setDefaultButton(QMessageBox::Cancel);
        ask.exec();
        if (ask.clickedButton() == confirm)
            QCoro::connect(m_model.removeOrphans(), this, [](const QString&) {});
    });
    m_orphansHelp = help(tr("Pemmo keeps what it knows about someone after they leave your contacts, in "
                            "case they come back or an account was slow to sync."));
    m_orphansHelp->setObjectName(u"orphansHelp"_qs);
    // All three show only when there are such records.
    const auto showOrphans = [this] {
        const int count = m_model.orphanCount();
        m_orphans->setText(SettingsViewModel::orphanCountText(count));
        m_removeOrphans->setAccessibleName(SettingsViewModel::removeOrphansText(count));
        m_orphans->setVisible(count > 0);
        m_removeOrphans->setVisible(count > 0);
        m_orphansHelp->setVisible(count > 0);
    };
    connect(&m_model, &SettingsViewModel::orphansChanged, this, showOrphans);
    column->addLayout(row({m_orphans, m_removeOrphans}));
    column->addWidget(m_orphansHelp);
    showOrphans();

    m_rebuild = new QPushButton(tr("Rebuild semantic index"));
    m_rebuild->setObjectName(u"rebuildIndex"_qs);
    m_rebuild->setEnabled(false);
    connect(m_rebuild, &QPushButton::clicked, this, &SettingsWindow::rebuildIndex);
    m_rebuildState = plainLabel();
    m_rebuildState->setObjectName(u"rebuildState"_qs);
    m_rebuildState->setAccessibleName(tr("Semantic index"));
    m_rebuildState->setVisible(false);
    column->addLayout(row({m_rebuild, m_rebuildState}));
    m_rebuildNote = help(tr("There is no semantic index to rebuild: no word table was found, so Pemmo "
                            "finds people by the words typed only."));
    column->addWidget(m_rebuildNote);

    auto* erase = new QPushButton(tr("Erase all Pemmo data…"));
    erase->setObjectName(u"eraseAll"_qs);
    connect(erase, &QPushButton::clicked, this, [this] {
        QMessageBox ask(
            QMessageBox::Warning, tr("Erase all Pemmo data?"),
            tr("Circles, links, notes, photos and every timeline are deleted, and the starred and recent "
               "lists cleared. The contacts stay in your address book folders. Export first to keep a "
               "copy."),
            QMessageBox::Cancel, this);
        ask.setAttribute(Qt::WA_WindowPropagation);
        QPushButton* confirm = ask.addButton(tr("Erase"), QMessageBox::DestructiveRole);
        ask.setDefaultButton(QMessageBox::Cancel);
        ask.exec();
        if (ask.clickedButton() != confirm)
            return;
        // The semantic index goes with the records: it is made again for the people still in the
        // address book.
        QCoro::connect(m_model.eraseAllData(), this, [this](const QString&) {
            if (m_model.lastEraseSucceeded() && m_model.settings().semanticSearchEnabled())
                rebuildIndex();
        });
    });
    column->addLayout(row({erase}));
    column->addWidget(messageLabel(u"data"_qs));
    return pane(tr("Data"), column);
}

QWidget* SettingsWindow::buildAI() {
    SettingsStore& settings = m_model.settings();
    auto* form = new QFormLayout;
    m_aiEnabled = toggle(u"aiEnabled"_qs, tr("Use AI features"));
    connect(m_aiEnabled, &QCheckBox::clicked, &settings, &SettingsStore::setAiEnabled);
    form->addRow(QString(), m_aiEnabled);

    QStringList providers;
    for (AIProviderID id : AIProviderIDs::allCases())
        providers.append(AIProviderIDs::displayName(id));
    m_aiProvider = choices(u"aiProvider"_qs, tr("Provider"), providers);
    connect(m_aiProvider, &QComboBox::activated, &settings,
            [&settings](int index) { settings.setAiProvider(AIProviderIDs::allCases().value(index)); });
    form->addRow(tr("Provider:"), m_aiProvider);

    m_availability = plainLabel();
    m_availability->setObjectName(u"availability"_qs);
    m_availability->setWordWrap(true);
    m_availability->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* check = new QPushButton(tr("Check again"));
    connect(check, &QPushButton::clicked, this, &SettingsWindow::refreshAvailability);
    form->addRow(tr("Status:"), m_availability);
    // One real request to the chosen provider, with its outcome in one line.
    m_testConnection = new QPushButton(tr("Test connection"));
    m_testConnection->setObjectName(u"testConnection"_qs);
    connect(m_testConnection, &QPushButton::clicked, &m_model, &SettingsViewModel::testConnection);
    m_connectionResult = plainLabel();
    m_connectionResult->setObjectName(u"connectionResult"_qs);
    m_connectionResult->setWordWrap(true);
    m_connectionResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_connectionResult->setAccessibleName(tr("Connection test result"));
    // The result line always says something: a word-wrapped label that is hidden or empty when the
    // form is laid out comes back too tall.
    form->addRow(QString(), row({check, m_testConnection}));
    form->addRow(tr("Connection:"), m_connectionResult);
    connect(&m_model, &SettingsViewModel::connectionTestChanged, this, &SettingsWindow::showConnectionTest);
    showConnectionTest();

    m_server = field(u"localModelServer"_qs, u"http://127.0.0.1:11434"_qs);
    connect(m_server, &QLineEdit::editingFinished, &settings,
            [this, &settings] { settings.setLocalModelServer(m_server->text().trimmed()); });
    form->addRow(tr("Local model server:"), m_server);
    // The models the server has, to pick from; any other name can still be typed (one about to be
    // pulled, or a server that does not list its models).
    m_localModel = new QComboBox;
    m_localModel->setObjectName(u"localModel"_qs);
    m_localModel->setAccessibleName(tr("Local model"));
    m_localModel->setEditable(true);
    m_localModel->setInsertPolicy(QComboBox::NoInsert);
    m_localModel->lineEdit()->setPlaceholderText(u"llama3.2"_qs);
    m_localModel->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_localModel->setMinimumContentsLength(24);
    connect(m_localModel, &QComboBox::activated, &settings, [this, &settings](int index) {
        settings.setLocalModel(m_localModel->itemText(index).trimmed());
    });
    connect(m_localModel->lineEdit(), &QLineEdit::editingFinished, &settings,
            [this, &settings] { settings.setLocalModel(m_localModel->currentText().trimmed()); });
    auto* refresh = new QPushButton(tr("Refresh"));
    refresh->setObjectName(u"refreshModels"_qs);
    refresh->setAccessibleName(tr("Refresh the list of local models"));
    connect(refresh, &QPushButton::clicked, this,
            [this] { QCoro::connect(m_model.refreshLocalModels(), this, [] {}); });
    auto* modelRow = new QHBoxLayout;
    modelRow->addWidget(m_localModel, 1);
    modelRow->addWidget(refresh);
    m_modelsNote = help(QString());
    m_modelsNote->setObjectName(u"modelsNote"_qs);
    m_modelsNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* model = new QVBoxLayout;
    model->setContentsMargins(0, 0, 0, 0);
    model->addLayout(modelRow);
    model->addWidget(m_modelsNote);
    form->addRow(tr("Local model:"), model);
    form->addRow(QString(),
                 help(tr("The On-device provider asks a model server on this computer (the Ollama API).")));
    connect(&m_model, &SettingsViewModel::localModelsChanged, this, &SettingsWindow::loadLocalModels);

    m_key = field(u"cloudKey"_qs, tr("Paste the Anthropic API key"));
    m_key->setEchoMode(QLineEdit::Password);
    auto* saveKey = new QPushButton(tr("Save key"));
    saveKey->setObjectName(u"saveKey"_qs);
    connect(saveKey, &QPushButton::clicked, this, [this] {
        m_keyState->setText(tr("Saving to the keyring…"));
        QCoro::connect(m_model.saveCloudKey(m_key->text()), this, [this](bool saved) {
            if (saved)
                m_key->clear();
        });
    });
    connect(&m_model, &SettingsViewModel::cloudKeyChanged, this, [this] {
        showCloudKeyState();
        refreshAvailability();
    });
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(m_key, 1);
    keyRow->addWidget(saveKey);
    form->addRow(tr("Claude key:"), keyRow);
    m_keyState = help(QString());
    form->addRow(QString(), m_keyState);
    m_baseURL = field(u"anthropicBaseURL"_qs, u"https://api.anthropic.com"_qs);
    connect(m_baseURL, &QLineEdit::editingFinished, &settings,
            [this, &settings] { settings.setAnthropicBaseURL(m_baseURL->text().trimmed()); });
    form->addRow(tr("Claude address:"), m_baseURL);
    // Left blank, a model field means the default model, shown as its placeholder.
    m_reasoningModel = field(u"claudeReasoningModel"_qs, SettingsStore::defaultClaudeReasoningModel());
    // The field shows the name as kept: without the spaces round it, a blank one as the placeholder.
    connect(m_reasoningModel, &QLineEdit::editingFinished, &settings, [this, &settings] {
        settings.setClaudeReasoningModel(m_reasoningModel->text());
        m_reasoningModel->setText(m_reasoningModel->text().trimmed());
    });
    form->addRow(tr("Reasoning model:"), m_reasoningModel);
    m_fastModel = field(u"claudeFastModel"_qs, SettingsStore::defaultClaudeFastModel());
    connect(m_fastModel, &QLineEdit::editingFinished, &settings, [this, &settings] {
        settings.setClaudeFastModel(m_fastModel->text());
        m_fastModel->setText(m_fastModel->text().trimmed());
    });
    form->addRow(tr("Fast model:"), m_fastModel);

    form->addRow(QString(), messageLabel(u"ai"_qs));
    return pane(tr("AI"), form);
}

void SettingsWindow::loadLocalModels() {
    const QSignalBlocker quiet(m_localModel);
    const QString typed =
        m_localModel->lineEdit()->hasFocus() ? m_localModel->currentText() : m_model.settings().localModel();
    m_localModel->clear();
    m_localModel->addItems(m_model.localModelChoices());
    m_localModel->setCurrentIndex(m_localModel->findText(typed));
    m_localModel->setEditText(typed);
    const QString note = m_model.localModelsNote();
    const qsizetype installed = m_model.localModels().models.size();
    m_modelsNote->setText(!note.isEmpty()  ? note
                          : installed == 1 ? tr("1 model is installed on the server.")
                                           : tr("%1 models are installed on the server.").arg(installed));
}

void SettingsWindow::showConnectionTest() {
    const bool testing = m_model.isTestingConnection();
    m_testConnection->setEnabled(!testing);
    const QString result = m_model.connectionTestResult();
    m_connectionResult->setText(testing ? tr("Testing the connection…")
                                : result.isEmpty()
                                    ? tr("Sends one short request to the provider chosen above.")
                                    : result);
}

void SettingsWindow::refreshAvailability() {
    const QPointer<QLabel> label(m_availability);
    label->setText(tr("Checking…"));
    QCoro::connect(m_model.environment().ai().availability(), this,
                   [label](const AIAvailability& availability) {
                       if (label)
                           label->setText(availability.isAvailable ? tr("Available") : availability.reason);
                   });
}

QWidget* SettingsWindow::buildCalendar() {
    SettingsStore& settings = m_model.settings();
    auto* form = new QFormLayout;
    m_moments = toggle(u"momentsEnabled"_qs, tr("Offer Moments after one-on-one events"));
    connect(m_moments, &QCheckBox::clicked, &settings, &SettingsStore::setMomentsEnabled);
    form->addRow(QString(), m_moments);
    m_delay = new QSpinBox;
    m_delay->setObjectName(u"momentDelay"_qs);
    m_delay->setRange(0, 24 * 60);
    m_delay->setSuffix(tr(" minutes"));
    connect(m_delay, &QSpinBox::editingFinished, &settings,
            [this, &settings] { settings.setMomentDelayMinutes(m_delay->value()); });
    form->addRow(tr("Offer a Moment after:"), m_delay);

    m_calendars = new QListWidget;
    m_calendars->setObjectName(u"calendarFolders"_qs);
    m_calendars->setAccessibleName(tr("Calendar folders"));
    auto* add = new QPushButton(tr("Choose folder…"));
    add->setObjectName(u"addCalendar"_qs);
    connect(add, &QPushButton::clicked, this, [this] {
        const QString folder =
            askForPath(this, tr("Choose a calendar folder"), QDir::homePath(), QFileDialog::Directory);
        if (folder.isEmpty())
            return;
        m_model.addCalendarFolder(folder);
    });
    auto* remove = new QPushButton(tr("Remove"));
    connect(remove, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = m_calendars->currentItem())
            m_model.removeCalendarFolder(item->data(Qt::UserRole).toString());
    });
    auto* disconnectButton = new QPushButton(tr("Disconnect"));
    connect(disconnectButton, &QPushButton::clicked, this,
            [this] { m_model.environment().moments().disconnect(QDateTime::currentDateTimeUtc()); });
    form->addRow(tr("Calendar folders:"), m_calendars);
    form->addRow(QString(), row({add, remove, disconnectButton}));
    form->addRow(
        QString(),
        help(u"Disconnect stops reading and clears pending Moments and calendar identifiers. Saved "
             u"memories stay. To take back access, remove the calendar folders in Pemmo's settings."_qs));

    // The series the user asked not to be offered again, and the way back.
    MomentService& moments = m_model.environment().moments();
    auto* excluded = plainLabel();
    excluded->setObjectName(u"excludedSeries"_qs);
    auto* allowAll = new QPushButton(tr("Offer them again"));
    allowAll->setObjectName(u"allowAllSeries"_qs);
    const auto showExcluded = [excluded, allowAll, &moments] {
        const int count = moments.excludedSeriesCount();
        excluded->setText(count == 0 ? tr("No series turned off")
                                     : tr("%n series turned off", nullptr, count));
        allowAll->setEnabled(count > 0);
    };
    connect(&moments, &MomentService::excludedSeriesCountChanged, excluded, showExcluded);
    connect(allowAll, &QPushButton::clicked, this, [this] { m_model.allowAllSeries(); });
    showExcluded();
    form->addRow(tr("Repeating events:"), row({excluded, allowAll}));

    // What went wrong the last time the calendar was connected or read; it goes at the next read
    // that succeeds.
    auto* problem = plainLabel();
    problem->setObjectName(u"momentsError"_qs);
    problem->setWordWrap(true);
    problem->setAccessibleName(tr("Calendar problem"));
    const auto showProblem = [problem, &moments] {
        problem->setText(moments.error().value_or(QString()));
        problem->setVisible(moments.error().has_value());
    };
    connect(&moments, &MomentService::errorChanged, problem, showProblem);
    showProblem();
    form->addRow(QString(), problem);

    m_selfAddresses = field(u"selfAddresses"_qs, tr("you@example.org, you@work.example"));
    connect(m_selfAddresses, &QLineEdit::editingFinished, this,
            [this] { m_model.setSelfAddresses(m_selfAddresses->text()); });
    form->addRow(tr("Your addresses:"), m_selfAddresses);
    form->addRow(QString(),
                 help(tr("Your own e-mail addresses in calendar events, so Pemmo knows which participant "
                         "is you. Left empty, Pemmo guesses them from the calendars.")));
    form->addRow(QString(), messageLabel(u"calendar"_qs));
    return pane(tr("Calendar"), form);
}

void SettingsWindow::loadCalendarFolders() {
    m_calendars->clear();
    for (const QString& id : m_model.settings().calendarIDs()) {
        auto* item = new QListWidgetItem(displayPath(id), m_calendars);
        item->setData(Qt::UserRole, id);
        item->setToolTip(plainToolTip(id));
    }
}

QWidget* SettingsWindow::buildUpdates() {
    auto* form = new QFormLayout;
    m_feed = field(u"updateFeed"_qs, tr("https://…/appcast.xml"));
    m_feed->setText(m_model.updateFeedURL());
    connect(m_feed, &QLineEdit::editingFinished, this, [this] { m_model.setUpdateFeedURL(m_feed->text()); });
    form->addRow(tr("Update feed:"), m_feed);
    form->addRow(
        QString(),
        help(tr("Where Pemmo looks for news of a newer version. Leave it empty to use the default.")));
    form->addRow(QString(), messageLabel(u"updates"_qs));
    return pane(tr("Updates"), form);
}

void SettingsWindow::loadFromSettings() {
    const SettingsStore& settings = m_model.settings();
    m_appearance->setCurrentIndex(int(settings.appearance()));
    m_panelWidth->setCurrentIndex(int(settings.panelWidth()));
    m_primaryAction->setCurrentIndex(int(settings.primaryAction()));
    m_messagingApp->setCurrentIndex(int(settings.messagingApp()));
    m_autoLog->setChecked(settings.autoLogInteractions());
    m_background->setChecked(settings.openLinksInBackground());
    m_semantic->setChecked(settings.semanticSearchEnabled());
    m_launchAtLogin->setChecked(m_model.launchAtLogin());

    m_aiEnabled->setChecked(settings.aiEnabled());
    m_aiProvider->setCurrentIndex(int(AIProviderIDs::allCases().indexOf(settings.aiProvider())));
    m_server->setText(settings.localModelServer());
    loadLocalModels();
    m_baseURL->setText(settings.anthropicBaseURL());
    const auto unlessDefault = [](const QString& model, const QString& fallback) {
        return model == fallback ? QString() : model;
    };
    m_reasoningModel->setText(
        unlessDefault(settings.claudeReasoningModel(), SettingsStore::defaultClaudeReasoningModel()));
    m_fastModel->setText(unlessDefault(settings.claudeFastModel(), SettingsStore::defaultClaudeFastModel()));
    showCloudKeyState();

    m_moments->setChecked(settings.momentsEnabled());
    m_delay->setValue(settings.momentDelayMinutes());
    m_selfAddresses->setText(settings.calendarSelfAddresses().join(u", "_qs));
    refreshAvailability();
}

} // namespace pemmo
