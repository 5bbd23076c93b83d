#include "tavrine/services/TavrineAPI.h"

#include "tavrine/core/Log.h"

#include <QHostAddress>

namespace tavrine {

namespace {

bool isLoopbackHost(const QString& host) {
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    if (!address.setAddress(host))
        return false;
    return address.isLoopback();
}

TavrineAPI::BaseAddress refused(const QString& problem) {
    return TavrineAPI::BaseAddress{QUrl(), problem};
}

TavrineAPI::BaseAddress readEnvironment() {
    if (!qEnvironmentVariableIsSet(TavrineAPI::baseVariable)) {
        // Otherwise the first sign would be a failed host look-up on every call.
        log::error(
            logModelCallCategory(),
            QStringLiteral("No API address configured: %1 is unset, so calls go to the built-in %2, which "
                           "reaches no service; set %1 to the service's origin")
                .arg(QString::fromLatin1(TavrineAPI::baseVariable), QString::fromLatin1(TavrineAPI::builtInOrigin)));
        return TavrineAPI::BaseAddress{QUrl(QString::fromLatin1(TavrineAPI::builtInOrigin)), QString()};
    }
    TavrineAPI::BaseAddress base = TavrineAPI::parseBaseAddress(qEnvironmentVariable(TavrineAPI::baseVariable));
    // The value itself stays out of the log: a mistyped one may carry a user name or a secret.
    if (base.isUsable())
        log::notice(logModelCallCategory(),
                    QStringLiteral("API base address from %1: %2")
                        .arg(QString::fromLatin1(TavrineAPI::baseVariable), base.origin.toString()));
    else
        log::error(logModelCallCategory(), QStringLiteral("API disabled: %1 %2; no request will be sent")
                                               .arg(QString::fromLatin1(TavrineAPI::baseVariable), base.problem));
    return base;
}

} // namespace

TavrineAPI::BaseAddress TavrineAPI::parseBaseAddress(const QString& text, Schemes schemes) {
    QString value = text.trimmed();
    if (value.isEmpty())
        return refused(QStringLiteral("is empty"));
    const QUrl url(value, QUrl::StrictMode);
    if (!url.isValid())
        return refused(QStringLiteral("is not a valid address"));
    const QString scheme = url.scheme().toLower();
    if (scheme != schemes.secure && scheme != schemes.plain)
        return refused(QStringLiteral("must use %1 (or %2 on a loopback address)").arg(schemes.secure, schemes.plain));
    const QString host = url.host();
    if (host.isEmpty())
        return refused(QStringLiteral("has no host"));
    if (!url.userInfo().isEmpty())
        return refused(QStringLiteral("must not hold a user name or password"));
    if (url.hasQuery() || url.hasFragment())
        return refused(QStringLiteral("must not hold a query or fragment"));
    const QString path = url.path();
    if (!path.isEmpty() && path != QLatin1String("/"))
        return refused(QStringLiteral("must be an origin without a path"));
    if (scheme == schemes.plain && !isLoopbackHost(host))
        return refused(
            QStringLiteral("uses plain %1 on a host that is not a loopback address").arg(schemes.plain));

    QUrl origin;
    origin.setScheme(scheme);
    origin.setHost(host.toLower());
    if (url.port() != -1)
        origin.setPort(url.port());
    return BaseAddress{origin, QString()};
}

namespace {
const TavrineAPI::BaseAddress& processBase() {
    static const TavrineAPI::BaseAddress base = readEnvironment();
    return base;
}
} // namespace

QUrl TavrineAPI::baseURL() {
    return processBase().origin;
}

QString TavrineAPI::baseProblem() {
    return processBase().problem;
}

QUrl TavrineAPI::url(const QString& path, const std::optional<QUrl>& base) {
    QUrl address = base ? *base : baseURL();
    if (address.isEmpty() || !address.isValid())
        return QUrl();
    QString joined = address.path();
    if (!joined.endsWith(QLatin1Char('/')))
        joined += QLatin1Char('/');
    joined += path;
    address.setPath(joined);
    return address;
}

} // namespace tavrine
