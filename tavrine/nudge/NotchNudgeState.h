#pragma once

#include <QObject>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>
#include <cmath>

namespace tavrine::nudge {

// What the notch panel's view shows; every animation of the view is keyed to `isOpen`. Fields notify only on
// a real change.
class NotchNudgeState : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the notch controller owns it")
    Q_PROPERTY(bool isOpen READ isOpen NOTIFY isOpenChanged)
    Q_PROPERTY(QSizeF notch READ notch NOTIFY notchChanged)
    Q_PROPERTY(QString reason READ reason NOTIFY reasonChanged)
    Q_PROPERTY(QString intention READ intention NOTIFY intentionChanged)
    Q_PROPERTY(bool isFocusSession READ isFocusSession NOTIFY isFocusSessionChanged)
    // Session-clock second from which the card reveals its sentence; NaN before the first opening.
    Q_PROPERTY(double revealedAt READ revealedAt NOTIFY revealedAtChanged)
public:
    using QObject::QObject;
    bool isOpen() const { return m_isOpen; }
    QSizeF notch() const { return m_notch; }
    QString reason() const { return m_reason; }
    QString intention() const { return m_intention; }
    bool isFocusSession() const { return m_isFocusSession; }
    double revealedAt() const { return m_revealedAt; }

    void setIsOpen(bool open);
    void setNotch(const QSizeF& notch);
    void setReason(const QString& reason);
    void setIntention(const QString& intention);
    void setIsFocusSession(bool focus);
    void setRevealedAt(double at);

signals:
    void isOpenChanged();
    void notchChanged();
    void reasonChanged();
    void intentionChanged();
    void isFocusSessionChanged();
    void revealedAtChanged();

private:
    bool m_isOpen = false;
    QSizeF m_notch{200, 32};
    QString m_reason;
    QString m_intention;
    bool m_isFocusSession = false;
    double m_revealedAt = std::nan("");
};

} // namespace tavrine::nudge
