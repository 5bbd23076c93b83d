#include "tavrine/platform/PortalSaveFileChooser.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QUrl>

namespace tavrine::platform {

namespace portal {
// One glob of a filter, in the portal's (kind, pattern) form: kind 0 is a glob, 1 a MIME type.
struct Pattern {
    uint kind = 0;
    QString pattern;
};
struct Filter {
    QString name;
    QList<Pattern> patterns;
};
} // namespace portal

} // namespace tavrine::platform

Q_DECLARE_METATYPE(tavrine::platform::portal::Pattern)
Q_DECLARE_METATYPE(tavrine::platform::portal::Filter)

namespace tavrine::platform {

namespace portal {

QDBusArgument& operator<<(QDBusArgument& argument, const Pattern& pattern) {
    argument.beginStructure();
    argument << pattern.kind << pattern.pattern;
    argument.endStructure();
    return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, Pattern& pattern) {
    argument.beginStructure();
    argument >> pattern.kind >> pattern.pattern;
    argument.endStructure();
    return argument;
}
QDBusArgument& operator<<(QDBusArgument& argument, const Filter& filter) {
    argument.beginStructure();
    argument << filter.name << filter.patterns;
    argument.endStructure();
    return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, Filter& filter) {
    argument.beginStructure();
    argument >> filter.name >> filter.patterns;
    argument.endStructure();
    return argument;
}

} // namespace portal

namespace {

Q_LOGGING_CATEGORY(lcSaveFile, "com.dravolence.tavrine.SaveFile")

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.FileChooser");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
// Long enough for the bus to start a portal that is not running yet; the user's own time in the dialog is not
// limited.
constexpr int kCallTimeoutMs = 20000;

// The portal names the request object after the caller's unique name and the token, so the answer can be
// listened for before the call goes out.
QString requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService();
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

// The portal's name for the window its dialog belongs to.
QString parentHandle(QWindow* window) {
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    return QStringLiteral("x11:%1").arg(window->winId(), 0, 16);
}

QVariantMap portalOptions(const SaveFileRequest& request, const QString& token) {
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("modal"), true);
    if (!request.acceptLabel.isEmpty())
        options.insert(QStringLiteral("accept_label"), request.acceptLabel);
    if (!request.fileName.isEmpty())
        options.insert(QStringLiteral("current_name"), request.fileName);
    if (!request.folder.isEmpty()) {
        // A byte string with its terminating zero, as the portal reads file names.
        QByteArray folder = QFile::encodeName(request.folder);
        folder.append('\0');
        options.insert(QStringLiteral("current_folder"), folder);
    }
    if (!request.patterns.isEmpty()) {
        portal::Filter filter{request.filterName, {}};
        for (const QString& pattern : request.patterns)
            filter.patterns.append({0, pattern});
        options.insert(QStringLiteral("filters"), QVariant::fromValue(QList<portal::Filter>{filter}));
        options.insert(QStringLiteral("current_filter"), QVariant::fromValue(filter));
    }
    return options;
}

} // namespace

PortalSaveFileChooser::PortalSaveFileChooser(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    qDBusRegisterMetaType<portal::Pattern>();
    qDBusRegisterMetaType<QList<portal::Pattern>>();
    qDBusRegisterMetaType<portal::Filter>();
    qDBusRegisterMetaType<QList<portal::Filter>>();
}

void PortalSaveFileChooser::choose(const SaveFileRequest& request, Chosen chosen) {
    if (!m_bus.isConnected()) {
        chooseWithFileDialog(request, std::move(chosen));
        return;
    }
    const QString token = QStringLiteral("tavrine%1").arg(++m_requests);
    const QString expected = requestPath(m_bus, token);
    m_pending.insert(expected, Pending{request, std::move(chosen)});
    watchRequest(expected);

    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SaveFile"));
    call << parentHandle(request.parent) << request.title << portalOptions(request, token);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, expected](QDBusPendingCallWatcher* reply) {
        reply->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> answer = *reply;
        if (answer.isError()) {
            // No portal, or one without a file chooser: Qt's own dialog does the job.
            qCInfo(lcSaveFile).noquote() << "No file chooser portal, using Qt's file dialog:"
                                         << answer.error().message();
            unwatchRequest(expected);
            if (auto pending = m_pending.take(expected); pending.chosen)
                chooseWithFileDialog(pending.request, std::move(pending.chosen));
            return;
        }
        // An older portal names the request object its own way: listen there instead.
        const QString path = answer.value().path();
        if (path != expected && m_pending.contains(expected)) {
            unwatchRequest(expected);
            m_pending.insert(path, m_pending.take(expected));
            watchRequest(path);
        }
    });
}

void PortalSaveFileChooser::onResponse(uint response, const QVariantMap& results, const QDBusMessage& message) {
    const QString path = message.path();
    auto it = m_pending.find(path);
    if (it == m_pending.end())
        return;
    Chosen chosen = std::move(it->chosen);
    m_pending.erase(it);
    unwatchRequest(path);
    if (response == 2)
        qCWarning(lcSaveFile) << "The file chooser portal ended the dialog without an answer";
    chosen(chosenPath(response, results));
}

std::optional<QString> PortalSaveFileChooser::chosenPath(uint response, const QVariantMap& results) {
    if (response != 0)
        return std::nullopt;
    const QStringList uris = results.value(QStringLiteral("uris")).toStringList();
    if (uris.isEmpty())
        return std::nullopt;
    const QUrl url(uris.first());
    if (!url.isLocalFile() || url.toLocalFile().isEmpty())
        return std::nullopt;
    return url.toLocalFile();
}

void PortalSaveFileChooser::chooseWithFileDialog(const SaveFileRequest& request, Chosen chosen) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qCWarning(lcSaveFile) << "No save dialog without a QApplication";
        chosen(std::nullopt);
        return;
    }
    QString filter;
    if (!request.patterns.isEmpty())
        filter = QStringLiteral("%1 (%2)").arg(request.filterName, request.patterns.join(QLatin1Char(' ')));
    auto* dialog = new QFileDialog(nullptr, request.title, QDir(request.folder).filePath(request.fileName), filter);
    dialog->setObjectName(QStringLiteral("saveFileDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    const QString suffix = QFileInfo(request.fileName).suffix();
    if (!suffix.isEmpty())
        dialog->setDefaultSuffix(suffix);
    if (!request.acceptLabel.isEmpty())
        dialog->setLabelText(QFileDialog::Accept, request.acceptLabel);
    // Above the window that asked, like a dialog of that window, though it is no widget.
    if (request.parent) {
        dialog->winId();
        if (QWindow* handle = dialog->windowHandle())
            handle->setTransientParent(request.parent);
        dialog->setWindowModality(Qt::WindowModal);
    }
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, chosen = std::move(chosen)](int result) {
        const QStringList files = dialog->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty() && !files.first().isEmpty())
            chosen(files.first());
        else
            chosen(std::nullopt);
    });
    dialog->open();
}

void PortalSaveFileChooser::watchRequest(const QString& path) {
    m_bus.connect(kService, path, kRequestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
}

void PortalSaveFileChooser::unwatchRequest(const QString& path) {
    m_bus.disconnect(kService, path, kRequestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap, QDBusMessage)));
}

} // namespace tavrine::platform
