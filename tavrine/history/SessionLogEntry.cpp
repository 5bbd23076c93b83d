#include "tavrine/history/SessionLogEntry.h"

#include <cmath>

namespace tavrine {

QString rawValue(SessionLogKind kind) {
    switch (kind) {
    case SessionLogKind::Related:
        return QStringLiteral("related");
    case SessionLogKind::Detour:
        return QStringLiteral("detour");
    case SessionLogKind::Pause:
        return QStringLiteral("pause");
    }
    return {};
}

std::optional<SessionLogKind> sessionLogKindFromRaw(const QString& text) {
    for (SessionLogKind kind : {SessionLogKind::Related, SessionLogKind::Detour, SessionLogKind::Pause}) {
        if (text == rawValue(kind))
            return kind;
    }
    return std::nullopt;
}

double SessionLogEntry::duration(double now) const {
    const double length = end(now) - startedAt;
    return std::isfinite(length) && length > 0 ? length : 0.0;
}

} // namespace tavrine
