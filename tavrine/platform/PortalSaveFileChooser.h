#pragma once

#include "tavrine/platform/SaveFileChooser.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QVariantMap>

class QDBusMessage;

namespace tavrine::platform {

// The desktop's own save dialog through the file chooser portal (org.freedesktop.portal.FileChooser.SaveFile)
// where a portal answers; otherwise Qt's file dialog, as a top-level window above the request's parent. Either
// way the dialog is a window of its own, never drawn inside the application's window.
class PortalSaveFileChooser final : public QObject, public SaveFileChooser {
    Q_OBJECT
public:
    explicit PortalSaveFileChooser(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    void choose(const SaveFileRequest& request, Chosen chosen) override;

    // Qt's file dialog alone: a QApplication's top-level dialog. Answers nothing when there is no QApplication.
    static void chooseWithFileDialog(const SaveFileRequest& request, Chosen chosen);

    // The local file in the portal's answer to a request; nothing when the user cancelled or the answer names
    // no local file.
    static std::optional<QString> chosenPath(uint response, const QVariantMap& results);

private slots:
    void onResponse(uint response, const QVariantMap& results, const QDBusMessage& message);

private:
    struct Pending {
        SaveFileRequest request;
        Chosen chosen;
    };
    void watchRequest(const QString& path);
    void unwatchRequest(const QString& path);

    QDBusConnection m_bus;
    QHash<QString, Pending> m_pending; // by the portal's request object path
    int m_requests = 0;
};

} // namespace tavrine::platform
