// The settings window: an ordinary desktop window (Qt Widgets, so it looks like the user's other
// settings windows and brings the desktop's own folder and file dialogs) with one pane per area —
// General, Address book, Data, AI, Calendar, Updates. Every control writes through SettingsStore
// (or SettingsViewModel for what is more than one setting) at once, and follows the store, so a
// change made elsewhere shows here too.
#pragma once

#include "App/EmbeddingMaintenance.h"

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>

class QCheckBox;
class QComboBox;
class QKeySequenceEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QStackedWidget;

namespace pemmo {

class SettingsViewModel;

class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    // The model is not owned and must outlive the window.
    explicit SettingsWindow(SettingsViewModel& model, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // The panes by name, in the order of the sidebar.
    static QStringList paneNames();
    // Shows the pane `name` ("general", "addressBook", "data", "ai", "calendar", "updates").
    void showPane(const QString& name);
    QString currentPane() const;

    // Follows Pemmo's appearance: Pemmo's dark palette when the panel is dark, its light one otherwise.
    void setDark(bool dark);

    // What "Rebuild semantic index" runs; the button is disabled without one. After "Erase all
    // Pemmo data…" it runs too, so the people still in the address book are found by meaning again.
    void setRebuildIndexAction(std::function<void()> action);
    // The keeper of the semantic index: "Rebuild semantic index" runs its rebuild and the Data pane
    // says when it is under way and when it is done.
    void setIndexMaintenance(EmbeddingMaintenance* maintenance);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showCloudKeyState();
    QWidget* buildGeneral();
    QWidget* buildAddressBook();
    QWidget* buildData();
    QWidget* buildAI();
    QWidget* buildCalendar();
    QWidget* buildUpdates();
    // The line at the foot of the pane `pane` where the model's messages show.
    QLabel* messageLabel(const QString& pane);
    void showMessage();
    void clearMessages();
    void rebuildIndex();
    void showRebuildState();

    void loadFromSettings();
    void loadFolders();
    void loadCalendarFolders();
    void refreshAvailability();
    void loadLocalModels();
    void showConnectionTest();
    void takeShortcut();
    // Puts the shortcut in force back in the field (one left empty or half-typed).
    void showStoredShortcut();
    // Turns "Remove" and "Use for new contacts" on for the folder chosen in the list.
    void showFolderButtons();

    SettingsViewModel& m_model;
    std::function<void()> m_rebuildIndex;
    QListWidget* m_sidebar = nullptr;
    QStackedWidget* m_panes = nullptr;
    QHash<QString, QLabel*> m_messages; // by pane
    QString m_messagePane;              // the pane whose message shows

    QComboBox* m_appearance = nullptr;
    QComboBox* m_panelWidth = nullptr;
    QComboBox* m_primaryAction = nullptr;
    QComboBox* m_messagingApp = nullptr;
    QCheckBox* m_autoLog = nullptr;
    QCheckBox* m_background = nullptr;
    QCheckBox* m_semantic = nullptr;
    QCheckBox* m_launchAtLogin = nullptr;
    QKeySequenceEdit* m_shortcut = nullptr;

    QListWidget* m_folders = nullptr;
    QPushButton* m_removeFolder = nullptr;
    QPushButton* m_newContactsFolder = nullptr;

    QPushButton* m_rebuild = nullptr;
    QLabel* m_rebuildNote = nullptr;  // why the rebuild is off
    QLabel* m_rebuildState = nullptr; // a rebuild under way, or done
    QPointer<EmbeddingMaintenance> m_maintenance;
    bool m_rebuildAsked = false;
    QLabel* m_orphansHelp = nullptr;
    QLabel* m_orphans = nullptr; // records of people who left the address book
    QPushButton* m_removeOrphans = nullptr;

    QCheckBox* m_aiEnabled = nullptr;
    QComboBox* m_aiProvider = nullptr;
    QLineEdit* m_server = nullptr;
    QComboBox* m_localModel = nullptr;
    QLabel* m_modelsNote = nullptr;
    QPushButton* m_testConnection = nullptr;
    QLabel* m_connectionResult = nullptr;
    QLineEdit* m_baseURL = nullptr;
    QLineEdit* m_reasoningModel = nullptr;
    QLineEdit* m_fastModel = nullptr;
    QLineEdit* m_key = nullptr;
    QLabel* m_keyState = nullptr;
    QLabel* m_availability = nullptr;

    QCheckBox* m_moments = nullptr;
    QSpinBox* m_delay = nullptr;
    QListWidget* m_calendars = nullptr;
    QLineEdit* m_selfAddresses = nullptr;

    QLineEdit* m_feed = nullptr;
};

} // namespace pemmo
