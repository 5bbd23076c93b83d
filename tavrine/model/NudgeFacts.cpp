#include "tavrine/model/NudgeFacts.h"

namespace tavrine {

QJsonObject NudgeFacts::toJson() const {
    return QJsonObject{
        {QStringLiteral("intention"), intention},
        {QStringLiteral("app"), app},
        {QStringLiteral("url"), url},
        {QStringLiteral("work"), work},
        {QStringLiteral("window"), window},
        {QStringLiteral("subject"), subject},
        {QStringLiteral("focused"), focused},
    };
}

} // namespace tavrine
