#include "tavrine/onboarding/TypedIntentionModel.h"

#include "tavrine/core/Clock.h"
#include "tavrine/core/Text.h"
#include "tavrine/platform/MotionPreference.h"

namespace tavrine::onboarding {

TypedIntentionModel::TypedIntentionModel(QString text, Clock& clock, platform::MotionPreference* motion,
                                         QObject* parent)
    : QObject(parent), m_text(std::move(text)), m_characters(text::graphemes(m_text)), m_clock(clock), m_motion(motion) {}

TypedIntentionModel::~TypedIntentionModel() {
    *m_alive = false;
    end();
}

QString TypedIntentionModel::shown() const {
    return QStringList(m_characters.mid(0, m_typed)).join(QString());
}

void TypedIntentionModel::begin() {
    end();
    setTyped(0);
    setCaretVisible(true);
    if (m_motion && m_motion->reduceMotion()) {
        // Less motion: the whole intention at once, behind a steady caret.
        setTyped(int(m_characters.size()));
        return;
    }
    m_task.emplace();
    typeOut(m_task->token(), m_alive);
}

void TypedIntentionModel::end() {
    if (m_task) {
        m_task->cancel();
        m_task.reset();
    }
}

QCoro::Task<void> TypedIntentionModel::typeOut(CancellationToken token, std::shared_ptr<bool> alive) {
    // The waits run to their end even when cancelled; the loops look at the token between steps.
    const auto wait = [this](double seconds) -> QCoro::Task<void> {
        try {
            co_await m_clock.sleep(seconds);
        } catch (const std::exception&) {
        }
    };
    co_await wait(firstDelay);
    while (*alive && !token.isCancelled() && m_typed < m_characters.size()) {
        setTyped(m_typed + 1);
        co_await wait(characterDelay);
    }
    while (*alive && !token.isCancelled()) {
        co_await wait(blinkDelay);
        if (!*alive || token.isCancelled())
            co_return;
        setCaretVisible(!m_caretVisible);
    }
}

void TypedIntentionModel::setTyped(int typed) {
    if (typed == m_typed)
        return;
    m_typed = typed;
    emit typedChanged();
}

void TypedIntentionModel::setCaretVisible(bool visible) {
    if (visible == m_caretVisible)
        return;
    m_caretVisible = visible;
    emit caretVisibleChanged();
}

} // namespace tavrine::onboarding
