#pragma once

#include "tavrine/model/DesktopCompositing.h"

#include <QList>
#include <QPointer>
#include <QWindow>

namespace tavrine::test {

// The desktop's compositing, switched by the test; it records the windows asked to be blurred.
class FakeCompositing final : public DesktopCompositing {
public:
    explicit FakeCompositing(bool running = false, bool blur = false, QObject* parent = nullptr)
        : DesktopCompositing(parent) {
        set(running, blur);
    }
    void set(bool running, bool blur) {
        setCompositorRunning(running);
        setBlurAnnounced(blur);
    }
    void requestBlurBehind(QWindow* window) override { blurred.append(window); }

    QList<QPointer<QWindow>> blurred;
};

} // namespace tavrine::test
