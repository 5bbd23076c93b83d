#include "tavrine/platform/x11/X11RootWatcher.h"

#include "tavrine/platform/x11/X11Connection.h"

#include <QSocketNotifier>

namespace tavrine::platform {

X11RootWatcher::X11RootWatcher(const QByteArray& displayName, QObject* parent)
    : QObject(parent), m_connection(std::make_unique<X11Connection>(displayName)) {
    if (!m_connection->isOpen())
        return;
    m_activeWindowAtom = m_connection->atom("_NET_ACTIVE_WINDOW");
    m_currentDesktopAtom = m_connection->atom("_NET_CURRENT_DESKTOP");
    m_connection->watchRootProperties();
    m_notifier = new QSocketNotifier(m_connection->fileDescriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11RootWatcher::drain);
    // Setting up may already have read events into the client's queue, where the notifier cannot see them.
    drain();
}

X11RootWatcher::~X11RootWatcher() = default;

bool X11RootWatcher::isWatching() const {
    return m_notifier != nullptr;
}

bool X11RootWatcher::watchSelectionOwner(const QByteArray& selection) {
    if (!isWatching() || !m_connection->watchSelectionOwner(selection.constData()))
        return false;
    drain();
    return true;
}

void X11RootWatcher::drain() {
    // Handling an event can make a round trip on this connection (an atom's name read for the first time), and
    // Xlib then reads the events that came in meanwhile into its queue, where the notifier never sees them: such an
    // event (the next activation) would wait for unrelated traffic. So go on until a pass finds nothing.
    bool handled = true;
    while (handled) {
        handled = false;
        m_connection->drainEvents(
            [this, &handled](unsigned long atom) {
                handled = true;
                emit rootPropertyChanged(m_connection->atomName(atom));
                if (atom == m_activeWindowAtom)
                    emit activeWindowChanged();
                else if (atom == m_currentDesktopAtom)
                    emit currentDesktopChanged();
            },
            [this, &handled](unsigned long selection) {
                handled = true;
                emit selectionOwnerChanged(m_connection->atomName(selection));
            });
    }
}

} // namespace tavrine::platform
