#pragma once

#include <QString>
#include <optional>

namespace tavrine {

// An intention expanded into the actions its job involves.
struct JobBrief {
    static constexpr const char* defaultVersion = "job-actions-v2";

    QString intention;              // whitespace collapsed
    std::optional<QString> actions; // whitespace collapsed; absent when the expansion gave none
    QString version = QString::fromLatin1(defaultVersion);

    // The brief without actions for an intention (collapsed here).
    static JobBrief fallback(const QString& intention);

    friend bool operator==(const JobBrief&, const JobBrief&) = default;
};

} // namespace tavrine
