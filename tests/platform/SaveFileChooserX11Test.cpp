// The save dialog through a file chooser portal: a portal of the test's own, on a second connection to the test
// desktop's session bus, records what it is asked and answers as a user would.
#include "tavrine/platform/PortalSaveFileChooser.h"

#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tavrine;
using namespace tavrine::platform;

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");

class FakeFileChooserPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")
public:
    explicit FakeFileChooserPortal(QDBusConnection bus) : m_bus(std::move(bus)) {}

    uint response = 0;
    QStringList uris;
    QString title;
    QVariantMap options;

public slots:
    QDBusObjectPath SaveFile(const QString& parentWindow, const QString& dialogTitle, const QVariantMap& asked,
                             const QDBusMessage& message) {
        Q_UNUSED(parentWindow)
        title = dialogTitle;
        options = asked;
        const QString sender = message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, asked.value(QStringLiteral("handle_token")).toString());
        // The user answers after the call has returned.
        QTimer::singleShot(0, this, [this, path] {
            QDBusMessage answer = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                             QStringLiteral("Response"));
            answer << response << QVariantMap{{QStringLiteral("uris"), uris}};
            m_bus.send(answer);
        });
        return QDBusObjectPath(path);
    }

private:
    QDBusConnection m_bus;
};

} // namespace

TEST(SaveFileChooser, ThePortalsAnswerIsTheChosenFile) {
    QDBusConnection portalBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal"));
    ASSERT_TRUE(portalBus.isConnected());
    FakeFileChooserPortal portal(portalBus);
    ASSERT_TRUE(portalBus.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                         QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(portalBus.registerService(portalService));

    PortalSaveFileChooser chooser;
    SaveFileRequest request;
    request.title = QStringLiteral("Save image");
    request.acceptLabel = QStringLiteral("Save");
    request.folder = QStringLiteral("/home/someone/Pictures");
    request.fileName = QStringLiteral("tavrine-session.png");
    request.filterName = QStringLiteral("PNG images");
    request.patterns = {QStringLiteral("*.png")};

    struct Row {
        uint response;
        QStringList uris;
        std::optional<QString> chosen;
    };
    const Row rows[] = {
        {0,
         {QStringLiteral("file:///home/someone/Pictures/my%20card.png")},
         QStringLiteral("/home/someone/Pictures/my card.png")},
        {1, {}, std::nullopt},                                               // cancelled
        {2, {}, std::nullopt},                                               // ended some other way
        {0, {QStringLiteral("https://example.org/card.png")}, std::nullopt}, // no local file
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.response);
        portal.response = row.response;
        portal.uris = row.uris;
        bool answered = false;
        std::optional<QString> chosen;
        chooser.choose(request, [&](const std::optional<QString>& path) {
            EXPECT_FALSE(answered) << "answered twice";
            answered = true;
            chosen = path;
        });
        ASSERT_TRUE(test::waitUntil([&] { return answered; }, 30.0));
        EXPECT_EQ(chosen, row.chosen);
        EXPECT_EQ(portal.title, request.title);
        EXPECT_EQ(portal.options.value(QStringLiteral("current_name")).toString(), request.fileName);
        EXPECT_EQ(portal.options.value(QStringLiteral("current_folder")).toByteArray(),
                  QByteArray("/home/someone/Pictures\0", 23));
        EXPECT_EQ(portal.options.value(QStringLiteral("accept_label")).toString(), QStringLiteral("Save"));
        EXPECT_TRUE(portal.options.contains(QStringLiteral("filters")));
    }
    portalBus.unregisterService(portalService);
    QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
}

#include "SaveFileChooserX11Test.moc"
