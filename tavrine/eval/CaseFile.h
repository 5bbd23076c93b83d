#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace tavrine::eval {

// Reading a cases file: the whole file, then a JSON array of objects whose members are read one by one.
// Failures are EvalFileError values with a readable description.
namespace casefile {

// The most bytes a cases file or a screenshot may hold: far above any real one, and a bound on what a mistaken
// path (a device such as /dev/zero, a pipe that never ends) can take of the memory.
constexpr qint64 maxFileBytes = qint64(256) * 1024 * 1024;

// The whole file. Throws EvalFileError (read) for a missing file, a folder, a file without permission, and one
// that holds more than `limit` bytes or never ends.
QByteArray readAll(const QString& path, qint64 limit = maxFileBytes);

// The elements of a JSON array of objects. Throws EvalFileError (decode) for anything else.
QList<QJsonObject> objects(const QByteArray& bytes);

// Each element of a JSON array of objects decoded with `decode(object, index)`, `index` counting from 1, in file
// order. Throws EvalFileError (decode) for anything but such an array, and whatever `decode` throws.
template <typename Decode> auto decodeEach(const QByteArray& bytes, Decode decode) {
    const QList<QJsonObject> all = objects(bytes);
    QList<decltype(decode(QJsonObject(), qsizetype()))> cases;
    cases.reserve(all.size());
    for (qsizetype i = 0; i < all.size(); ++i)
        cases.append(decode(all[i], i + 1));
    return cases;
}

// A text member: absent or null give nothing; any other type throws EvalFileError (decode). `index` counts
// the cases from 1 for the message.
std::optional<QString> optionalText(const QJsonObject& object, const QString& key, qsizetype index);
// A text member that must be there (not null either).
QString requiredText(const QJsonObject& object, const QString& key, qsizetype index);
// A text member whose absence reads as empty text.
QString text(const QJsonObject& object, const QString& key, qsizetype index);

// The decoding failure for one member of one case.
[[noreturn]] void fail(qsizetype index, const QString& key, const QString& detail);

} // namespace casefile
} // namespace tavrine::eval
