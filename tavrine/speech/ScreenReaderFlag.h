#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace tavrine {

// Whether a screen reader runs: the accessibility bus's org.a11y.Status.ScreenReaderEnabled on the session bus,
// read once and then followed through its change signal. False without a session bus or accessibility bus.
class ScreenReaderFlag : public QObject {
    Q_OBJECT
public:
    explicit ScreenReaderFlag(QObject* parent = nullptr);
    bool isEnabled() const { return m_enabled; }

private slots:
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void read();
    bool m_enabled = false;
};

} // namespace tavrine
