#include "tavrine/ui/DurationModel.h"

#include "tavrine/core/UserDefaults.h"

#include <algorithm>

namespace tavrine::ui {

DurationModel::DurationModel(UserDefaults& defaults, int minutes, QObject* parent)
    : QObject(parent), m_defaults(defaults), m_minutes(minutes), m_custom(readCustom(defaults)) {
    // Another selector (the onboarding's) may store a new length while this one lives.
    connect(&m_defaults, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == customKey)
            reloadCustom();
    });
}

int DurationModel::readCustom(const UserDefaults& defaults) {
    // A hand-edited or foreign settings file may hold anything under the key.
    const std::optional<qint64> stored = defaults.integerValue(customKey);
    if (!stored)
        return defaultCustom;
    return int(std::clamp<qint64>(*stored, minimumCustom, maximumCustom));
}

void DurationModel::setMinutes(int minutes) {
    if (minutes == m_minutes)
        return;
    m_minutes = minutes;
    emit minutesChanged();
}

int DurationModel::selectedSegment() const {
    const int preset = int(presets().indexOf(m_minutes));
    return preset >= 0 ? preset : int(presets().size());
}

QRectF DurationModel::segmentFrame(int index, QSizeF size) {
    const int presetCount = int(presets().size());
    if (index < 0 || index > presetCount || !(size.width() > 0) || !(size.height() > 0))
        return {};
    const qreal shared = size.width() - presetCount * segmentSpacing;
    const qreal customWidth = std::max(minimumCustomWidth, shared / (presetCount + 1));
    const qreal presetWidth = std::max(0.0, (shared - customWidth) / presetCount);
    const qreal x = index * (presetWidth + segmentSpacing);
    return QRectF(x, 0, index == presetCount ? customWidth : presetWidth, size.height());
}

QString DurationModel::customAccessibleName() const {
    return QStringLiteral("Custom duration, ") + QString::number(m_custom) + QStringLiteral(" minutes");
}

void DurationModel::choosePreset(int preset) {
    if (isPreset(preset))
        setMinutes(preset);
}

void DurationModel::selectCustom() {
    setMinutes(m_custom);
}

void DurationModel::stepBy(int delta) {
    storeCustom(std::clamp(m_custom + delta, minimumCustom, maximumCustom));
    setMinutes(m_custom);
}

void DurationModel::adoptSessionMinutes() {
    if (!isPreset(m_minutes) && m_minutes >= minimumCustom && m_minutes <= maximumCustom)
        storeCustom(m_minutes);
}

void DurationModel::storeCustom(int custom) {
    const bool stored = m_defaults.integerValue(customKey) == std::optional<qint64>(custom);
    if (!stored)
        m_defaults.setInteger(customKey, custom);
    if (custom == m_custom)
        return;
    m_custom = custom;
    emit customChanged();
}

void DurationModel::reloadCustom() {
    const int custom = readCustom(m_defaults);
    if (custom == m_custom)
        return;
    m_custom = custom;
    emit customChanged();
}

} // namespace tavrine::ui
