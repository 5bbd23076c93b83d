#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWindow>

#include <functional>
#include <optional>

namespace tavrine::platform {

// What a save dialog is asked to show.
struct SaveFileRequest {
    QString title;
    // The label of the button that saves.
    QString acceptLabel;
    QString folder;
    QString fileName;
    // One filter: its readable name and its glob patterns ("*.png").
    QString filterName;
    QStringList patterns;
    // The window the dialog belongs to; it stays above it.
    QPointer<QWindow> parent;
};

// Asks the user where to save a file, in a dialog window of its own. Implementations: PortalSaveFileChooser (the
// desktop's file chooser portal, else Qt's file dialog) and fakes in tests.
class SaveFileChooser {
public:
    using Chosen = std::function<void(const std::optional<QString>& path)>;

    virtual ~SaveFileChooser() = default;
    // Returns at once; `chosen` is called once, later, with the local path picked, or nothing when the user
    // cancelled or no dialog could be shown.
    virtual void choose(const SaveFileRequest& request, Chosen chosen) = 0;
};

} // namespace tavrine::platform
