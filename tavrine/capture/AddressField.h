#pragma once

#include "tavrine/capture/ElementReader.h"

#include <QString>

#include <functional>

namespace tavrine::capture {

// The page address a browser shows in its own address field, for a browser whose tree holds no address of its
// page (one that draws its pages itself, or whose page holds no address).
class AddressField {
public:
    explicit AddressField(ElementReader& reader) : m_reader(reader) {}

    // The text of the first editable text field of the window's tool bar area (in the window's top quarter, above
    // every web document, outside them) that is a whole web address; "" when none, or when the first such field
    // shows its address cut. Searches the showing elements depth first through the reader (what it read before is not
    // asked again, what it has not is read a level ahead in batches), at most `searchNodes` of them, until `deadline`
    // (seconds of `uptime`) or the reader's cancellation.
    QString read(const AccessibleRef& window, double deadline, const std::function<double()>& uptime);

    // Whether an address is shown cut short: an ellipsis in any form (one character, or dots written out) stands
    // where its cut-out part would be. A browser cuts what does not fit its bar; the part it leaves is no address.
    static bool isCut(const QString& address);

    static constexpr int searchNodes = 300;
    static constexpr double searchSeconds = 0.3;
    // How far down the window the tool bar area reaches, as a share of its height.
    static constexpr double toolbarShare = 0.25;

private:
    ElementReader& m_reader;
};

} // namespace tavrine::capture
