#pragma once

#include <QString>
#include <exception>
#include <string>

namespace tavrine {

// The one base of every typed failure in Tavrine. The error summary reads the case, the domain, the numeric
// code and the readable description, so every typed error answers all four.
class Error : public std::exception {
public:
    ~Error() override = default;

    // Name of the enumeration case ("httpStatus", "missingToken", …).
    virtual QString caseName() const = 0;
    // The error domain as the logs name it ("tavrine.JevClientError", "QNetworkReply", …).
    virtual QString domain() const = 0;
    // The numeric code within the domain (for enumerations, the case's position from 0).
    virtual long code() const = 0;
    // The readable, user-facing description.
    virtual QString description() const = 0;
    virtual bool isCancellation() const { return false; }
    // What went wrong in a sentence a person can act on, for the places people read (the log, the harness's
    // case lines, the session's check status); the description unless the family knows better.
    virtual QString reason() const { return description(); }

    // What the error summary writes for this error, before any cut. By default the platform form: the domain,
    // " code=" and the code; the text continues with a blank and the description. Error families with a
    // fixed summary shape of their own (the judge client's "typesafeHTTP503", …) override these.
    virtual QString summaryCode() const;
    virtual QString summaryText() const;

    const char* what() const noexcept override;

private:
    mutable std::string m_what;
};

// A task that was cancelled: its summary code is "cancelled".
class CancelledError : public Error {
public:
    QString caseName() const override { return QStringLiteral("cancelled"); }
    QString domain() const override { return QStringLiteral("tavrine.CancellationError"); }
    long code() const override { return 0; }
    QString description() const override { return QStringLiteral("cancelled"); }
    bool isCancellation() const override { return true; }
};

} // namespace tavrine
