#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace tavrine {

// Where the maker's API lives. One process-wide base address serves every user of the API (the clients, the
// speech key address, the evaluation harness), so pointing Tavrine at another service changes them all at once.
class TavrineAPI {
public:
    // The built-in origin. It lies under the reserved ".invalid" domain, so a build that nobody configured can
    // never send a request (or a token) anywhere.
    static constexpr const char* builtInOrigin = "https://api.tavrine.invalid";
    // The environment variable that replaces the built-in origin.
    static constexpr const char* baseVariable = "TAVRINE_API_BASE_URL";

    // What a configured base address text stands for: an origin, or the reason it was refused.
    struct BaseAddress {
        QUrl origin;     // empty when refused
        QString problem; // empty when accepted
        bool isUsable() const { return !origin.isEmpty(); }
    };

    // The schemes an origin may use: the secure one on any host, the plain one only on a loopback address.
    struct Schemes {
        QLatin1StringView secure;
        QLatin1StringView plain;
    };
    // The maker's API.
    static constexpr Schemes httpSchemes{QLatin1StringView("https"), QLatin1StringView("http")};
    // The speech vendor's socket origin.
    static constexpr Schemes webSocketSchemes{QLatin1StringView("wss"), QLatin1StringView("ws")};

    // Reads a configured base address. Accepted: an origin of the secure scheme (https), or of the plain scheme
    // (http) whose host is a loopback address (127.0.0.0/8, ::1, localhost); scheme, host and an optional port, at
    // most a trailing slash after them (dropped), blanks around the text ignored. Anything else (other schemes,
    // user names, paths, queries, fragments, the plain scheme to another host, an empty text) is refused with a
    // reason.
    static BaseAddress parseBaseAddress(const QString& text, Schemes schemes = httpSchemes);

    // The process-wide base address: the built-in origin, or the value of TAVRINE_API_BASE_URL when that is set.
    // Read once, on first use. When the variable holds an unusable value the API is off: the answer is an empty
    // URL (every call then fails before anything is sent), and one log line says why. There is no fallback to
    // the built-in origin or any other host.
    static QUrl baseURL();
    // Why the process-wide base address was refused; empty when it is in use.
    static QString baseProblem();

    // The address of an endpoint: `base` (the process-wide base address when absent) followed by "/" and `path`,
    // which may hold several components ("speech/temporary-key"). An empty URL when there is no usable base.
    static QUrl url(const QString& path, const std::optional<QUrl>& base = std::nullopt);
};

} // namespace tavrine
