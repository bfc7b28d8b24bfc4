// Whether the desktop prefers a dark or a light look: the desktop portal's "color-scheme"
// setting where there is one (GNOME, KDE and others publish it), else the brightness of the
// palette Qt picked up from the platform theme.
#pragma once

#include <QDBusVariant>
#include <QObject>

namespace pemmo {

class ColorScheme : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool systemPrefersDark READ systemPrefersDark NOTIFY systemPrefersDarkChanged)

public:
    explicit ColorScheme(QObject* parent = nullptr);

    bool systemPrefersDark() const { return m_dark; }

    // The portal's value: 0 no preference, 1 prefer dark, 2 prefer light.
    static bool prefersDark(int portalValue, bool paletteIsDark);

Q_SIGNALS:
    void systemPrefersDarkChanged();

private Q_SLOTS:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();
    static bool paletteIsDark();

    int m_portalValue = 0;
    bool m_dark = false;
};

} // namespace pemmo
