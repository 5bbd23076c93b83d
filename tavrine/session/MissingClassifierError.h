#pragma once

#include "tavrine/core/Error.h"

namespace tavrine {

// A judgment was due but the session has no relevance classifier to ask.
class MissingClassifierError : public Error {
public:
    QString caseName() const override { return QStringLiteral("missingClassifier"); }
    QString domain() const override { return QStringLiteral("tavrine.FocusSession"); }
    long code() const override { return 0; }
    QString description() const override { return QStringLiteral("No relevance classifier is available."); }
};

} // namespace tavrine
