#include "tavrine/session/FocusThiefList.h"

#include "tavrine/model/PageAddress.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace tavrine {

namespace {

// A decoding step that fails makes the whole list empty: no entry is half-read.
struct Malformed {};

QJsonValue required(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        throw Malformed{};
    return value;
}

QString requiredString(const QJsonObject& object, const QString& key) {
    const QJsonValue value = required(object, key);
    if (!value.isString())
        throw Malformed{};
    return value.toString();
}

QStringList requiredStrings(const QJsonObject& object, const QString& key) {
    const QJsonValue value = required(object, key);
    if (!value.isArray())
        throw Malformed{};
    QStringList strings;
    for (const QJsonValue& item : value.toArray()) {
        if (!item.isString())
            throw Malformed{};
        strings.append(item.toString());
    }
    return strings;
}

void requireInteger(const QJsonObject& object, const QString& key) {
    const QJsonValue value = required(object, key);
    // JSON has one number type; a version must still be a whole number.
    if (!value.isDouble())
        throw Malformed{};
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number)
        throw Malformed{};
}

} // namespace

const FocusThiefList& FocusThiefList::builtIn() {
    static const FocusThiefList list = load(QStringLiteral(":/FocusThieves.json"));
    return list;
}

FocusThiefList FocusThiefList::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return fromJson(file.readAll());
}

FocusThiefList FocusThiefList::fromJson(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {};
    try {
        const QJsonObject root = document.object();
        requireInteger(root, QStringLiteral("version"));
        FocusThiefList list;
        const QStringList browsers = requiredStrings(root, QStringLiteral("browsers"));
        list.browsers = QSet<QString>(browsers.begin(), browsers.end());
        const QJsonValue thieves = required(root, QStringLiteral("thieves"));
        if (!thieves.isArray())
            return {};
        for (const QJsonValue& item : thieves.toArray()) {
            if (!item.isObject())
                return {};
            const QJsonObject object = item.toObject();
            list.thieves.append(FocusThief{
                requiredString(object, QStringLiteral("id")), requiredString(object, QStringLiteral("name")),
                requiredStrings(object, QStringLiteral("apps")), requiredStrings(object, QStringLiteral("domains"))});
        }
        return list;
    } catch (const Malformed&) {
        return {};
    }
}

std::optional<FocusThief> FocusThiefList::match(const QString& bundle, const QString& address) const {
    if (thieves.isEmpty())
        return std::nullopt;
    for (const FocusThief& thief : thieves) {
        if (thief.apps.contains(bundle))
            return thief;
    }
    const std::optional<QString> host = normalizedHost(address);
    if (!host)
        return std::nullopt;
    for (const FocusThief& thief : thieves) {
        for (const QString& domain : thief.domains) {
            // Compared as written: the list holds its domains in lower case.
            if (*host == domain || host->endsWith(QLatin1Char('.') + domain))
                return thief;
        }
    }
    return std::nullopt;
}

} // namespace tavrine
