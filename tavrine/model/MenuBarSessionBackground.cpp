#include "tavrine/model/MenuBarSessionBackground.h"

namespace tavrine {

QString rawValue(MenuBarSessionBackground background) {
    switch (background) {
    case MenuBarSessionBackground::None:
        return QStringLiteral("none");
    case MenuBarSessionBackground::Relevant:
        return QStringLiteral("relevant");
    case MenuBarSessionBackground::Unrelated:
        return QStringLiteral("unrelated");
    case MenuBarSessionBackground::DriftPending:
        return QStringLiteral("driftPending");
    }
    return {};
}

std::optional<MenuBarSessionBackground> menuBarSessionBackgroundFromRawValue(const QString& text) {
    for (auto value : {MenuBarSessionBackground::None, MenuBarSessionBackground::Relevant,
                       MenuBarSessionBackground::Unrelated, MenuBarSessionBackground::DriftPending})
        if (text == rawValue(value))
            return value;
    return std::nullopt;
}

} // namespace tavrine
