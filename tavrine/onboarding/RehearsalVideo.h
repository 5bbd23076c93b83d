#pragma once

#include <QObject>

namespace tavrine {

// The rehearsal's two clips: the detour the user is tempted into, then the tutorial that serves the task.
namespace rehearsal {
Q_NAMESPACE
enum class Video { Detour = 0, Tutorial = 1 };
Q_ENUM_NS(Video)
} // namespace rehearsal

using RehearsalVideo = rehearsal::Video;

} // namespace tavrine
