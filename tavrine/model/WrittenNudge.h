#pragma once

#include <QString>
#include <optional>

namespace tavrine {

// The nudge writer's answer: the sentence to show and, when it differs, the text to speak.
struct WrittenNudge {
    QString text;
    std::optional<QString> speech;
    QString promptVersion;
    QString model;
    QString doorway;

    friend bool operator==(const WrittenNudge&, const WrittenNudge&) = default;
};

} // namespace tavrine
