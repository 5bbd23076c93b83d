#include "tavrine/nudge/NudgeCardModel.h"

#include "tavrine/core/Observable.h"
#include "tavrine/nudge/NudgeCardRules.h"

namespace tavrine::nudge {

void NudgeCardModel::setReason(const QString& reason) {
    if (reason == m_reason && m_textHeight > 0)
        return;
    m_reason = reason;
    m_fontSize = reasonFontSizeFor(reason);
    m_textHeight = reasonTextHeight(reason);
    emit reasonChanged();
}

void NudgeCardModel::setIntention(const QString& intention) {
    if (assignIfChanged(m_intention, intention))
        emit jobLineChanged();
}

void NudgeCardModel::setIsFocusSession(bool focus) {
    if (assignIfChanged(m_isFocusSession, focus))
        emit jobLineChanged();
}

void NudgeCardModel::setHasVoice(bool voice) {
    if (assignIfChanged(m_hasVoice, voice))
        emit sentenceModeChanged();
}

void NudgeCardModel::setRevealsWords(bool reveals) {
    if (assignIfChanged(m_revealsWords, reveals))
        emit sentenceModeChanged();
}

void NudgeCardModel::setHasRevealedAt(bool has) {
    if (assignIfChanged(m_hasRevealedAt, has))
        emit sentenceModeChanged();
}

double NudgeCardModel::areaHeight() const {
    return reasonArea(m_textHeight).height;
}

bool NudgeCardModel::scrolls() const {
    return reasonArea(m_textHeight).scrolls;
}

QString NudgeCardModel::jobLine() const {
    return nudge::jobLine(m_isFocusSession, m_intention);
}

int NudgeCardModel::sentenceMode() const {
    return int(nudge::sentenceMode(m_hasVoice, m_revealsWords, m_hasRevealedAt));
}

QColor NudgeCardModel::closeButtonFill(const QColor& windowColor) {
    const bool dark = windowColor.lightnessF() < 0.5;
    const float grey = dark ? 0.2f : 0.94f;
    return QColor::fromRgbF(grey, grey, grey, 1.0f);
}

} // namespace tavrine::nudge
