// The two AI forms that end in a review: Quick capture (a note about someone, or about whoever it
// names) and Enrich from text (text pasted about one person). Control-Return sends the text to the
// AI; its answer opens the review over the form, so a rejected proposal leaves the text in place.
// Escape keeps what was typed as a draft for the next time the form opens for that person.
#pragma once

#include "Screens/FormDrafts.h"
#include "Shell/KeyTarget.h"

#include <QCoroTask>
#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace pemmo {

class AppEnvironment;

class CaptureFormViewModel : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("Forms come from Shell.captureForm(…) and Shell.enrichForm(…).")
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString personName READ personName CONSTANT)
    Q_PROPERTY(QString placeholder READ placeholder CONSTANT)
    Q_PROPERTY(QString origin READ origin NOTIFY originChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(bool isWorking READ isWorking NOTIFY isWorkingChanged)

public:
    enum class Mode { Capture, Enrich };

    // Capture may be about nobody yet (`contactID` absent); Enrich is always about one person.
    // The environment is not owned and must outlive the form.
    CaptureFormViewModel(AppEnvironment& environment, Mode mode, std::optional<QString> contactID,
                         const QString& text = {}, QObject* parent = nullptr);

    Mode mode() const { return m_mode; }
    QString title() const;
    const QString& personName() const { return m_personName; }
    QString placeholder() const;
    // Where the text is about to go: the provider, and whether it leaves this computer.
    QString origin() const;
    const QString& text() const { return m_text; }
    void setText(const QString& text);
    const QString& error() const { return m_error; }
    bool isWorking() const { return m_isWorking; }

    // Sends the text to the AI and opens the review of its answer; errors stay on the form.
    QCoro::Task<void> send();
    Q_INVOKABLE void submit() { send(); }
    Q_INVOKABLE void cancel();

    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void originChanged();
    void textChanged();
    void errorChanged();
    void isWorkingChanged();

private:
    void setError(const QString& error);
    void setWorking(bool working);
    FormDrafts::TextForm draftForm() const;

    AppEnvironment& m_env;
    const Mode m_mode;
    const std::optional<QString> m_contactID;
    QString m_personName;
    QString m_text;
    QString m_initialText;
    QString m_error;
    bool m_isWorking = false;
};

} // namespace pemmo
