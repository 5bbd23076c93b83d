#pragma once

#include "tavrine/shell/NudgePresenter.h"

#include <QObject>
#include <QStringList>

namespace tavrine::test {

// Stands in for the card's hover flags.
class NudgeHoverState final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool card MEMBER card)
    Q_PROPERTY(bool closeButton MEMBER closeButton)
public:
    bool card = false;
    bool closeButton = false;
    int resets = 0;
    Q_INVOKABLE void reset() {
        card = closeButton = false;
        ++resets;
    }
};

// A notch panel that records what it was asked.
class FakeNotch final : public shell::NotchNudgePresenting {
public:
    explicit FakeNotch(QStringList& log) : m_log(log) {}
    bool wantsOpen() const override { return m_open; }
    void show(QScreen*, const QSizeF&) override {
        m_open = true;
        m_log.append(QStringLiteral("notch show"));
    }
    void hide(bool animated) override {
        m_open = false;
        m_log.append(animated ? QStringLiteral("notch hide animated") : QStringLiteral("notch hide at once"));
    }

private:
    QStringList& m_log;
    bool m_open = false;
};

} // namespace tavrine::test
