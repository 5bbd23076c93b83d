#pragma once

#include <QDBusVariant>
#include <QObject>

namespace tavrine::platform {

// Whether the user asked the desktop for less motion. Animations that only decorate (the voice glow's sway,
// the notch panel's blur and scale) stand still or fade instead when it is on.
class MotionPreference : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool reduceMotion READ reduceMotion NOTIFY reduceMotionChanged)
public:
    using QObject::QObject;
    bool reduceMotion() const { return m_reduceMotion; }

signals:
    void reduceMotionChanged();

protected:
    void setReduceMotion(bool reduce) {
        if (m_reduceMotion == reduce)
            return;
        m_reduceMotion = reduce;
        emit reduceMotionChanged();
    }

private:
    bool m_reduceMotion = false;
};

// The desktop's "enable-animations" setting of org.gnome.desktop.interface, read through the settings portal
// and followed through its change signal. Without a portal, motion stays on.
class PortalMotionPreference final : public MotionPreference {
    Q_OBJECT
public:
    explicit PortalMotionPreference(QObject* parent = nullptr);

private slots:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void apply(const QVariant& value);
};

} // namespace tavrine::platform
