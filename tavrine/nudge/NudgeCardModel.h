#pragma once

#include <QColor>
#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace tavrine::nudge {

// The card's rules for the values it is shown with: the reason's size and scroll area, the job line and
// which sentence view stands in the reason area. The card view binds to it; both hosts share it.
class NudgeCardModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString reason READ reason WRITE setReason NOTIFY reasonChanged)
    Q_PROPERTY(QString intention READ intention WRITE setIntention NOTIFY jobLineChanged)
    Q_PROPERTY(bool isFocusSession READ isFocusSession WRITE setIsFocusSession NOTIFY jobLineChanged)
    Q_PROPERTY(bool hasVoice READ hasVoice WRITE setHasVoice NOTIFY sentenceModeChanged)
    Q_PROPERTY(bool revealsWords READ revealsWords WRITE setRevealsWords NOTIFY sentenceModeChanged)
    Q_PROPERTY(bool hasRevealedAt READ hasRevealedAt WRITE setHasRevealedAt NOTIFY sentenceModeChanged)

    Q_PROPERTY(int fontSize READ fontSize NOTIFY reasonChanged)
    Q_PROPERTY(double areaHeight READ areaHeight NOTIFY reasonChanged)
    Q_PROPERTY(bool scrolls READ scrolls NOTIFY reasonChanged)
    Q_PROPERTY(QString jobLine READ jobLine NOTIFY jobLineChanged)
    // 0 whole, 1 with the voice, 2 on a clock (SpokenSentenceItem's modes).
    Q_PROPERTY(int sentenceMode READ sentenceMode NOTIFY sentenceModeChanged)
public:
    using QObject::QObject;

    QString reason() const { return m_reason; }
    void setReason(const QString& reason);
    QString intention() const { return m_intention; }
    void setIntention(const QString& intention);
    bool isFocusSession() const { return m_isFocusSession; }
    void setIsFocusSession(bool focus);
    bool hasVoice() const { return m_hasVoice; }
    void setHasVoice(bool voice);
    bool revealsWords() const { return m_revealsWords; }
    void setRevealsWords(bool reveals);
    bool hasRevealedAt() const { return m_hasRevealedAt; }
    void setHasRevealedAt(bool has);

    int fontSize() const { return m_fontSize; }
    double areaHeight() const;
    bool scrolls() const;
    QString jobLine() const;
    int sentenceMode() const;

    // The close button's fill: grey 0.2 on a dark desktop, 0.94 on a light one, told by the window colour's
    // lightness.
    Q_INVOKABLE static QColor closeButtonFill(const QColor& windowColor);

signals:
    void reasonChanged();
    void jobLineChanged();
    void sentenceModeChanged();

private:
    QString m_reason;
    QString m_intention;
    bool m_isFocusSession = false;
    bool m_hasVoice = false;
    bool m_revealsWords = false;
    bool m_hasRevealedAt = false;
    int m_fontSize = 24;
    int m_textHeight = 0;
};

} // namespace tavrine::nudge
