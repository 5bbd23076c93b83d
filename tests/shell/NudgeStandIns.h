#pragma once

#include "support/QmlTestSupport.h"
#include "tavrine/shell/NudgePresenter.h"

#include <QGuiApplication>
#include <QObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QStringList>
#include <memory>

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

// The nudge presenter over the stand-ins: the main screen is the primary one, with a notch while `notched`.
struct PresenterHarness {
    QmlHarness qml;
    NudgeHoverState hover;
    int sounds = 0;
    QStringList log;
    bool notched = false;
    std::unique_ptr<shell::NudgePresenter> presenter;

    PresenterHarness() {
        shell::NudgePresenter::Parts parts;
        parts.card = QUrl(QStringLiteral("qrc:/standins/NudgeView.qml"));
        parts.closeButton = QUrl(QStringLiteral("qrc:/standins/NudgeCloseButton.qml"));
        parts.properties = {{QStringLiteral("hover"), QVariant::fromValue<QObject*>(&hover)}};
        parts.hover = &hover;
        parts.playSound = [this] { ++sounds; };
        parts.mainScreen = [] { return QGuiApplication::primaryScreen(); };
        parts.notchSize = [this](QScreen*) -> std::optional<QSizeF> {
            return notched ? std::optional<QSizeF>(QSizeF(180, 32)) : std::nullopt;
        };
        parts.makeNotch = [this] { return std::make_unique<FakeNotch>(log); };
        presenter = std::make_unique<shell::NudgePresenter>(qml.engine(), std::move(parts));
    }
    QQuickItem* card() const { return findItem(presenter->cardPanel(), QStringLiteral("nudgeView")); }
};


} // namespace tavrine::test
