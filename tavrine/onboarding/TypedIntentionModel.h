#pragma once

#include "tavrine/core/Cancellation.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>
#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

namespace tavrine {
class Clock;
}
namespace tavrine::platform {
class MotionPreference;
}

namespace tavrine::onboarding {

// The rehearsal page's intention, typed out one user-perceived character at a time behind a blinking caret.
// Display only; `begin` when the page comes on screen, `end` when it goes.
class TypedIntentionModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Made by the onboarding flow")
    Q_PROPERTY(QString text READ text CONSTANT)
    Q_PROPERTY(int typed READ typed NOTIFY typedChanged)
    Q_PROPERTY(QString shown READ shown NOTIFY typedChanged)
    Q_PROPERTY(bool caretVisible READ caretVisible NOTIFY caretVisibleChanged)

public:
    static constexpr double firstDelay = 0.45;
    static constexpr double characterDelay = 0.034;
    static constexpr double blinkDelay = 0.52;

    // `clock` and `motion` (none: motion on) outlive the model.
    TypedIntentionModel(QString text, Clock& clock, platform::MotionPreference* motion, QObject* parent = nullptr);
    ~TypedIntentionModel() override;

    QString text() const { return m_text; }
    int typed() const { return m_typed; }
    QString shown() const;
    bool caretVisible() const { return m_caretVisible; }

    // Starts typing from nothing (a running typing stops first).
    Q_INVOKABLE void begin();
    Q_INVOKABLE void end();

signals:
    void typedChanged();
    void caretVisibleChanged();

private:
    QCoro::Task<void> typeOut(CancellationToken token, std::shared_ptr<bool> alive);
    void setTyped(int typed);
    void setCaretVisible(bool visible);

    QString m_text;
    QStringList m_characters;
    Clock& m_clock;
    QPointer<platform::MotionPreference> m_motion;
    std::optional<CancellationSource> m_task;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    int m_typed = 0;
    bool m_caretVisible = true;
};

} // namespace tavrine::onboarding
