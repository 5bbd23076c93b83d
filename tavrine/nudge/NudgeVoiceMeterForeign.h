#pragma once

#include "tavrine/speech/NudgeVoiceMeter.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace tavrine::nudge {

// The speech layer's meter as a QML type, so views bind to its flags.
struct NudgeVoiceMeterForeign {
    Q_GADGET
    QML_FOREIGN(tavrine::NudgeVoiceMeter)
    QML_NAMED_ELEMENT(NudgeVoiceMeter)
    QML_UNCREATABLE("the focus session owns the meter")
};

} // namespace tavrine::nudge
