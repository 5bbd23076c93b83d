#pragma once

#include "tavrine/speech/NudgeVoiceMeter.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace tavrine {
class FocusSession;
}

namespace tavrine::nudge {

// The focus session as the nudge card sees it: the sentence, the job, the rehearsal's request and the voice,
// and the card's four answers. Follows the session's changes.
class NudgeCardSession : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* session READ sessionObject WRITE setSessionObject NOTIFY sessionChanged)
    Q_PROPERTY(QString reason READ reason NOTIFY reasonChanged)
    Q_PROPERTY(QString intention READ intention NOTIFY intentionChanged)
    Q_PROPERTY(bool isFocusSession READ isFocusSession NOTIFY isFocusSessionChanged)
    Q_PROPERTY(bool pointsAtBack READ pointsAtBack NOTIFY pointsAtBackChanged)
    Q_PROPERTY(tavrine::NudgeVoiceMeter* meter READ meter NOTIFY sessionChanged)
public:
    explicit NudgeCardSession(QObject* parent = nullptr);
    explicit NudgeCardSession(FocusSession* session, QObject* parent = nullptr);

    QObject* sessionObject() const;
    void setSessionObject(QObject* session);
    void setSession(FocusSession* session);

    // The pending nudge's sentence; empty when there is none.
    QString reason() const;
    // The rehearsal's intention while one runs, else the session's.
    QString intention() const;
    bool isFocusSession() const;
    // A rehearsal is asking the user to press "Get back to work".
    bool pointsAtBack() const;
    NudgeVoiceMeter* meter() const;

    Q_INVOKABLE void returnToWork();
    Q_INVOKABLE void grantSessionPass();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void acknowledgeNudge();

signals:
    void sessionChanged();
    void reasonChanged();
    void intentionChanged();
    void isFocusSessionChanged();
    void pointsAtBackChanged();

private:
    QPointer<FocusSession> m_session;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace tavrine::nudge
