#pragma once

#include "tavrine/core/ManualClock.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QDeadlineTimer>
#include <exception>
#include <optional>
#include <variant>

namespace tavrine::test {

// The limit of real time for what other processes do (the X server, the window manager, a bus, a program started
// by the test): generous, because the tests run on busy machines under a sanitizer. It only bounds a wait for a
// condition, which ends as soon as the condition holds.
constexpr int desktopWaitMs = 30000;

// Runs the event loop until `done()` holds or `seconds` of real time pass; answers whether it held.
bool waitUntil(const std::function<bool()>& done, double seconds = desktopWaitMs / 1000.0);

// What `program` (a desktop tool such as xprop) wrote to its standard output, trimmed; it gets ten seconds.
QString programOutput(const QString& program, const QStringList& arguments);

// The outcome of a task: its value, or the exception it threw.
template <typename T> struct Outcome {
    std::optional<T> value;
    std::exception_ptr error;
    bool finished = false;
};
template <> struct Outcome<void> {
    std::exception_ptr error;
    bool finished = false;
};

namespace detail {
template <typename T> QCoro::Task<void> capture(QCoro::Task<T> task, std::shared_ptr<Outcome<T>> out) {
    try {
        if constexpr (std::is_void_v<T>)
            co_await std::move(task);
        else
            out->value.emplace(co_await std::move(task));
    } catch (...) {
        out->error = std::current_exception();
    }
    out->finished = true;
}
} // namespace detail

// Starts a task and keeps its outcome; the result is shared so the test can look at it while time moves.
template <typename T> std::shared_ptr<Outcome<T>> start(QCoro::Task<T> task) {
    auto out = std::make_shared<Outcome<T>>();
    detail::capture(std::move(task), out);
    return out;
}

// Runs a task on the real event loop with a time limit (unlike QCoro::waitFor, a throwing task never hangs).
template <typename T> Outcome<T> run(QCoro::Task<T> task, double seconds = 10.0) {
    auto out = start(std::move(task));
    waitUntil([&] { return out->finished; }, seconds);
    return *out;
}

// Rethrows the stored exception so that EXPECT_THROW can look at its type.
template <typename T> void rethrow(const Outcome<T>& outcome) {
    if (outcome.error)
        std::rethrow_exception(outcome.error);
}

// Points QCoreApplication's organisation/application at a fresh folder for QSettings-based tests.
QString temporaryFolder();

// Whether a file whose path contains `name` (lower case) is mapped into the process `pid` (0: this one): a
// library or plugin loaded, per /proc/<pid>/maps.
bool mapsFile(const QByteArray& name, qint64 pid = 0);

// The CRC-32 of PNG chunks (and zlib), for making PNG files by hand.
quint32 crc32(const QByteArray& bytes);

} // namespace tavrine::test
