#include "tavrine/ui/PaletteWatcher.h"

#include <QCoreApplication>
#include <QEvent>

namespace tavrine::ui {

PaletteWatcher::PaletteWatcher(QObject* parent) : QObject(parent) {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

bool PaletteWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange)
        emit paletteChanged();
    return QObject::eventFilter(watched, event);
}

} // namespace tavrine::ui
