#pragma once

#include <QString>

namespace tavrine {

// The cases of a nudge writer's failure, in code order.
enum class NudgeWriterErrorKind { rejected, httpStatus, missingToken, invalidResponse };

// What the session reads of a failed nudge writer call before it falls back to its own sentence: the case and
// its text (a rejected copy's reason). The writer's error class carries this beside its error base, so the
// session can tell a rejected copy without knowing the client that raised it.
class NudgeWritingFailure {
public:
    virtual ~NudgeWritingFailure() = default;
    virtual NudgeWriterErrorKind failureKind() const = 0;
    virtual QString failureText() const = 0;
};

} // namespace tavrine
