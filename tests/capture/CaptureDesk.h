#pragma once

#include "tavrine/capture/CaptureServices.h"

#include "fakes/FakeAccessibilityBus.h"
#include "fakes/FakePermissions.h"
#include "fakes/FakeWindowGrabber.h"
#include "fakes/FakeWorkspace.h"

#include <QImage>

#include <mutex>
#include <vector>

namespace tavrine::test {

// A fake desktop with one application ("Editor", pid 100) showing one active window with an accessibility
// tree, a virtual uptime that the capture's waits move forward, and the window's screenshot.
struct CaptureDesk {
    static constexpr qint32 pid = 100;
    static constexpr qint32 tavrinePid() { return FakeWorkspace::tavrinePid; }
    static constexpr platform::XWindowId windowId = 0x500001;
    static inline const QString title = QStringLiteral("Quarterly report - Editor");
    static inline const QRect frame{0, 0, 800, 600};

    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeAccessibilityBus> bus = std::make_shared<FakeAccessibilityBus>();
    std::shared_ptr<FakeWindowGrabber> grabber = std::make_shared<FakeWindowGrabber>();
    std::shared_ptr<FakePermissions> permissions = std::make_shared<FakePermissions>();
    platform::AccessibleRef application;
    platform::AccessibleRef window;

    mutable std::mutex mutex;
    double uptime = 500;
    std::vector<double> sleeps;

    CaptureDesk() {
        workspace->addApplication({pid, QStringLiteral("org.example.Editor"), QStringLiteral("Editor")});
        workspace->addWindow({windowId, pid, title, frame, true});
        workspace->setActive(windowId);
        application = bus->addApplication(pid, QStringLiteral("Editor"));
        FakeAccessibilityBus::Node node;
        node.role = platform::role::frame;
        node.name = title;
        node.extents = frame;
        node.states->set(platform::state::active);
        window = bus->add(application, node);
        QImage image(frame.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        grabber->setImage(windowId, image);
    }

    capture::CaptureServices services() {
        capture::CaptureServices s;
        s.workspace = workspace;
        s.accessibility = bus;
        s.grabber = grabber;
        s.permissions = permissions;
        s.uptime = [this] {
            std::lock_guard lock(mutex);
            return uptime;
        };
        s.sleep = [this](double seconds, const std::atomic<bool>&) {
            std::lock_guard lock(mutex);
            sleeps.push_back(seconds);
            uptime += seconds;
        };
        s.clock = &Clock::system();
        s.pixelsPerPoint = 1.0;
        return s;
    }

    platform::AccessibleRef addBar(const platform::AccessibleRef& parent, const QRect& extents) {
        FakeAccessibilityBus::Node node;
        node.role = platform::role::toolBar;
        node.extents = extents;
        return bus->add(parent, node);
    }
    platform::AccessibleRef addWebDocument(const QRect& extents, const QString& url) {
        FakeAccessibilityBus::Node node;
        node.role = platform::role::documentWeb;
        node.extents = extents;
        node.documentAttributes = QHash<QString, QString>{{QStringLiteral("DocURL"), url}};
        return bus->add(window, node);
    }
    platform::AccessibleRef addFocused(quint32 role, const QString& text) {
        FakeAccessibilityBus::Node node;
        node.role = role;
        node.text = text;
        node.extents = QRect(20, 300, 400, 30);
        node.states->set(platform::state::focused);
        return bus->add(window, node);
    }
};

} // namespace tavrine::test
