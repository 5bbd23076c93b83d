#pragma once

#include "fakes/FakeMakerApi.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tavrine::test {

// What one run of the program left behind.
struct HarnessOutcome {
    int status = -1;
    QString out;
    QString err;
    bool finished = false;

    QStringList outLines() const;
};

// A fixture with the fake API on loopback and a fresh cases folder; runs `tavrine` headless against them.
class HarnessRun : public ::testing::Test {
protected:
    void SetUp() override;

    // Writes a file under the cases folder (folders created) and gives its absolute path.
    QString write(const QString& relative, const QByteArray& bytes);
    // Copies a sample screenshot under the cases folder.
    QString copyScreenshot(const QString& name, const QString& relative);
    QString path(const QString& relative) const { return m_folder.filePath(relative); }

    // Runs the program with these arguments in the cases folder; TAVRINE_API_* point at the fake. `extra` adds
    // to the environment and then `unset` takes variables out of it.
    HarnessOutcome run(const QStringList& arguments, const QProcessEnvironment& extra = {},
                       const QStringList& unset = {});
    // The same with the arguments written as one line, separated by single blanks.
    HarnessOutcome run(const QString& commandLine) { return run(commandLine.split(QLatin1Char(' '))); }
    // Runs and expects a refusal with this exit status whose error output holds `message`.
    HarnessOutcome expectStop(const QString& commandLine, const QString& message, int status = 2);

    // The report at `relative`, parsed; an empty object when there is none.
    QJsonObject report(const QString& relative) const;
    bool exists(const QString& relative) const;

    FakeMakerApi m_api;
    QTemporaryDir m_folder;
};

// A verdict answer of the judge.
QJsonObject verdict(const QString& label, double enough, double supports,
                    const QString& question = QStringLiteral("Is this the work?"));

// The case at `index` of a report.
inline QJsonObject caseAt(const QJsonObject& report, int index) {
    return report.value(QStringLiteral("cases")).toArray().at(index).toObject();
}

} // namespace tavrine::test
