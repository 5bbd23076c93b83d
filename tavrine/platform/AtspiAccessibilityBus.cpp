#include "tavrine/platform/AtspiAccessibilityBus.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDateTime>

#include <algorithm>
#include <atomic>
#include <deque>

namespace tavrine::platform {

namespace {

const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString componentInterface = QStringLiteral("org.a11y.atspi.Component");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString nullPath = QStringLiteral("/org/a11y/atspi/null");
const QString registryService = QStringLiteral("org.a11y.atspi.Registry");
const QString rootPath = QStringLiteral("/org/a11y/atspi/accessible/root");

// D-Bus hands structures and most arrays over as QDBusArgument; a few basic arrays come converted.
std::optional<AccessibleRef> readRef(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::StructureType)
        return std::nullopt;
    QString service;
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> service >> path;
    argument.endStructure();
    AccessibleRef ref{service, path.path()};
    if (ref.isNull())
        return std::nullopt;
    return ref;
}

QList<AccessibleRef> readRefList(const QVariant& value) {
    QList<AccessibleRef> refs;
    if (!value.canConvert<QDBusArgument>())
        return refs;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::ArrayType)
        return refs;
    argument.beginArray();
    while (!argument.atEnd()) {
        QString service;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> service >> path;
        argument.endStructure();
        AccessibleRef ref{service, path.path()};
        if (!ref.isNull())
            refs.append(ref);
    }
    argument.endArray();
    return refs;
}

std::optional<QHash<QString, QString>> readStringMap(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::MapType)
        return std::nullopt;
    QHash<QString, QString> map;
    argument.beginMap();
    while (!argument.atEnd()) {
        QString key;
        QString item;
        argument.beginMapEntry();
        argument >> key >> item;
        argument.endMapEntry();
        map.insert(key, item);
    }
    argument.endMap();
    return map;
}

QVariant unwrap(const QVariant& value) {
    if (value.canConvert<QDBusVariant>())
        return value.value<QDBusVariant>().variant();
    return value;
}

QDBusMessage methodCall(const AccessibleRef& object, const QString& interface, const QString& method,
                        const QList<QVariant>& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(object.service, object.path, interface, method);
    message.setArguments(arguments);
    return message;
}

QDBusMessage propertyCall(const AccessibleRef& object, const QString& interface, const QString& name) {
    return methodCall(object, propertiesInterface, QStringLiteral("Get"), {interface, name});
}

// The messages of the single reads, shared by the batched ones.
QDBusMessage statesCall(const AccessibleRef& object) {
    return methodCall(object, accessibleInterface, QStringLiteral("GetState"));
}

QDBusMessage roleCall(const AccessibleRef& object) {
    return methodCall(object, accessibleInterface, QStringLiteral("GetRole"));
}

QDBusMessage extentsCall(const AccessibleRef& object) {
    // Screen coordinates.
    return methodCall(object, componentInterface, QStringLiteral("GetExtents"), {QVariant::fromValue(uint(0))});
}

QDBusMessage nameCall(const AccessibleRef& object) {
    return propertyCall(object, accessibleInterface, QStringLiteral("Name"));
}

QDBusMessage descriptionCall(const AccessibleRef& object) {
    return propertyCall(object, accessibleInterface, QStringLiteral("Description"));
}

QDBusMessage childCountCall(const AccessibleRef& object) {
    return propertyCall(object, accessibleInterface, QStringLiteral("ChildCount"));
}

QDBusMessage childrenCall(const AccessibleRef& object) {
    return methodCall(object, accessibleInterface, QStringLiteral("GetChildren"));
}

QDBusMessage childAtCall(const AccessibleRef& object, int index) {
    return methodCall(object, accessibleInterface, QStringLiteral("GetChildAtIndex"), {index});
}

using Reply = std::optional<QList<QVariant>>;

std::optional<QVariant> firstArgument(const Reply& reply) {
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return reply->constFirst();
}

std::optional<QVariant> propertyValue(const Reply& reply) {
    const auto value = firstArgument(reply);
    return value ? std::optional<QVariant>(unwrap(*value)) : std::nullopt;
}

std::optional<QString> stringValue(const std::optional<QVariant>& value) {
    if (!value || value->userType() != QMetaType::QString)
        return std::nullopt;
    return value->toString();
}

std::optional<AccessibleStates> readStates(const Reply& reply) {
    const auto value = firstArgument(reply);
    if (!value)
        return std::nullopt;
    QList<uint> words;
    if (value->canConvert<QDBusArgument>()) {
        const QDBusArgument argument = value->value<QDBusArgument>();
        if (argument.currentType() != QDBusArgument::ArrayType)
            return std::nullopt;
        argument >> words;
    } else if (value->canConvert<QList<uint>>()) {
        words = value->value<QList<uint>>();
    } else {
        return std::nullopt;
    }
    AccessibleStates states;
    if (!words.isEmpty())
        states.bits = words.at(0);
    if (words.size() > 1)
        states.bits |= quint64(words.at(1)) << 32;
    return states;
}

std::optional<quint32> readRole(const Reply& reply) {
    const auto value = firstArgument(reply);
    if (!value)
        return std::nullopt;
    bool ok = false;
    const uint role = value->toUInt(&ok);
    return ok ? std::optional<quint32>(role) : std::nullopt;
}

std::optional<QRect> readExtents(const Reply& reply) {
    const auto value = firstArgument(reply);
    if (!value || !value->canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = value->value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::StructureType)
        return std::nullopt;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    argument.beginStructure();
    argument >> x >> y >> width >> height;
    argument.endStructure();
    return QRect(x, y, width, height);
}

std::optional<int> readCount(const Reply& reply) {
    const auto value = propertyValue(reply);
    if (!value)
        return std::nullopt;
    bool ok = false;
    const int count = value->toInt(&ok);
    return ok ? std::optional<int>(count) : std::nullopt;
}

// The first `count` characters (code points, as AT-SPI's offsets count them) of `text`.
QString firstCharacters(const QString& text, int count) {
    qsizetype units = 0;
    for (int seen = 0; seen < count && units < text.size(); ++seen)
        units += text.at(units).isHighSurrogate() && units + 1 < text.size() ? 2 : 1;
    return text.left(units);
}

std::atomic<int> g_connectionCounter{0};

} // namespace

bool AccessibleRef::isNull() const {
    return service.isEmpty() || path.isEmpty() || path == nullPath;
}

size_t qHash(const AccessibleRef& ref, size_t seed) {
    return ::qHash(ref.service, seed) ^ ::qHash(ref.path, seed + 1);
}

QList<AccessibleFacts> AccessibilityBus::facts(const QList<FactsRead>& reads) {
    QList<AccessibleFacts> answers;
    answers.reserve(reads.size());
    for (const auto& [object, wanted] : reads) {
        AccessibleFacts answer;
        if (wanted & fact::states)
            answer.states = states(object);
        if (wanted & fact::role)
            answer.role = role(object);
        if (wanted & fact::extents)
            answer.extents = extents(object);
        if (wanted & fact::name)
            answer.name = name(object);
        if (wanted & fact::description)
            answer.description = description(object);
        if (wanted & fact::childCount)
            answer.childCount = childCount(object);
        answers.append(answer);
    }
    return answers;
}

QList<QList<AccessibleRef>> AccessibilityBus::children(const QList<ChildrenRead>& reads) {
    QList<QList<AccessibleRef>> answers;
    answers.reserve(reads.size());
    for (const ChildrenRead& read : reads)
        answers.append(read.count > 0 ? children(read.object, read.limit) : QList<AccessibleRef>());
    return answers;
}

AtspiAccessibilityBus::AtspiAccessibilityBus(QString address) : m_fixedAddress(std::move(address)) {}

AtspiAccessibilityBus::~AtspiAccessibilityBus() {
    if (m_connection)
        QDBusConnection::disconnectFromBus(m_connectionName);
}

QString AtspiAccessibilityBus::busAddress() {
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        return {};
    const QDBusMessage message =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    // The launcher may start the bus on this first request, which takes longer than an ordinary message.
    const QDBusMessage reply = session.call(message, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().toString();
}

std::optional<QDBusConnection> AtspiAccessibilityBus::connection() {
    std::lock_guard lock(m_mutex);
    if (m_connection && m_connection->isConnected())
        return m_connection;
    // A missing bus is asked for again at most once a second, so a capture loop cannot hammer the session bus.
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    if (m_lastAttemptMs >= 0 && nowMs - m_lastAttemptMs < 1000)
        return std::nullopt;
    m_lastAttemptMs = nowMs;
    if (m_connection) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_connection.reset();
        m_serviceOfPid.clear();
    }
    const QString address = m_fixedAddress.isEmpty() ? busAddress() : m_fixedAddress;
    if (address.isEmpty())
        return std::nullopt;
    m_connectionName = QStringLiteral("tavrine-atspi-%1").arg(++g_connectionCounter);
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        return std::nullopt;
    }
    m_connection = bus;
    return m_connection;
}

bool AtspiAccessibilityBus::isConnected() {
    return connection().has_value();
}

AtspiAccessibilityBus::Traffic AtspiAccessibilityBus::traffic() const {
    return Traffic{m_messages.load(), m_waits.load()};
}

std::optional<QList<QVariant>> AtspiAccessibilityBus::call(const AccessibleRef& object, const QString& interface,
                                                           const QString& method, const QList<QVariant>& arguments) {
    return send(methodCall(object, interface, method, arguments));
}

std::optional<QList<QVariant>> AtspiAccessibilityBus::send(const QDBusMessage& message) {
    if (AccessibleRef{message.service(), message.path()}.isNull())
        return std::nullopt;
    auto bus = connection();
    if (!bus)
        return std::nullopt;
    m_messages += 1;
    m_waits += 1;
    const QDBusMessage reply = bus->call(message, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply.arguments();
}

std::vector<std::optional<QList<QVariant>>> AtspiAccessibilityBus::callAll(const QList<QDBusMessage>& messages) {
    std::vector<std::optional<QList<QVariant>>> replies(size_t(messages.size()));
    const auto sendable = [](const QDBusMessage& message) {
        return !AccessibleRef{message.service(), message.path()}.isNull();
    };
    if (std::none_of(messages.begin(), messages.end(), sendable))
        return replies;
    auto bus = connection();
    if (!bus)
        return replies;
    m_waits += 1;
    // The answers come back in the order sent: the oldest message on its way is always the next one answered.
    std::deque<std::pair<qsizetype, QDBusPendingCall>> inFlight;
    qsizetype next = 0;
    while (next < messages.size() || !inFlight.empty()) {
        for (; next < messages.size() && inFlight.size() < size_t(messagesInFlight); ++next) {
            if (!sendable(messages.at(next)))
                continue;
            m_messages += 1;
            inFlight.emplace_back(next, bus->asyncCall(messages.at(next), timeoutMs));
        }
        if (inFlight.empty())
            continue;
        auto [index, pending] = std::move(inFlight.front());
        inFlight.pop_front();
        pending.waitForFinished();
        const QDBusMessage reply = pending.reply();
        if (reply.type() == QDBusMessage::ReplyMessage) {
            replies[size_t(index)] = reply.arguments();
        } else if (const QDBusError::ErrorType error = pending.error().type();
                   error == QDBusError::NoReply || error == QDBusError::Timeout || error == QDBusError::TimedOut ||
                   error == QDBusError::Disconnected) {
            // The application stopped answering: what is not sent yet would wait as long, one time-out after the
            // other. A batch costs one time-out, as a single read does.
            next = messages.size();
        }
    }
    return replies;
}

std::optional<QVariant> AtspiAccessibilityBus::property(const AccessibleRef& object, const QString& interface,
                                                        const QString& name) {
    return propertyValue(send(propertyCall(object, interface, name)));
}

std::optional<qint32> AtspiAccessibilityBus::servicePid(const QDBusConnection& bus, const QString& service) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
    message.setArguments({service});
    const QDBusMessage reply = bus.call(message, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    bool ok = false;
    const uint pid = reply.arguments().constFirst().toUInt(&ok);
    if (!ok || pid == 0 || pid > 0x7fffffffU)
        return std::nullopt;
    return qint32(pid);
}

std::optional<AccessibleRef> AtspiAccessibilityBus::application(qint32 pid) {
    auto bus = connection();
    if (!bus || pid <= 0)
        return std::nullopt;
    QString known;
    {
        std::lock_guard lock(m_mutex);
        known = m_serviceOfPid.value(pid);
    }
    // Bus names are never reused while the bus runs: a known name that still belongs to the pid is the answer.
    if (!known.isEmpty() && servicePid(*bus, known) == pid)
        return AccessibleRef{known, rootPath};
    const auto reply =
        call(AccessibleRef{registryService, rootPath}, accessibleInterface, QStringLiteral("GetChildren"));
    if (!reply || reply->isEmpty())
        return std::nullopt;
    for (const AccessibleRef& app : readRefList(reply->constFirst())) {
        if (servicePid(*bus, app.service) == pid) {
            std::lock_guard lock(m_mutex);
            m_serviceOfPid.insert(pid, app.service);
            return AccessibleRef{app.service, rootPath};
        }
    }
    return std::nullopt;
}

QList<AccessibleRef> AtspiAccessibilityBus::children(const AccessibleRef& object, int limit) {
    if (limit <= 0)
        return {};
    const auto count = childCount(object);
    if (!count || *count <= 0)
        return {};
    return children(QList<ChildrenRead>{{object, *count, limit}}).constFirst();
}

std::optional<int> AtspiAccessibilityBus::childCount(const AccessibleRef& object) {
    return readCount(send(childCountCall(object)));
}

QList<QList<AccessibleRef>> AtspiAccessibilityBus::children(const QList<ChildrenRead>& reads) {
    // A container with more children than the caller can use (a table, a long list) is read one child at a time,
    // only as far as the caller can use; any other in one message.
    const auto byIndex = [](const ChildrenRead& read) { return read.count > read.limit; };
    QList<QDBusMessage> messages;
    for (const ChildrenRead& read : reads) {
        if (read.count <= 0 || read.limit <= 0)
            continue;
        if (!byIndex(read)) {
            messages.append(childrenCall(read.object));
            continue;
        }
        for (int index = 0; index < read.limit; ++index)
            messages.append(childAtCall(read.object, index));
    }
    const auto replies = callAll(messages);
    QList<QList<AccessibleRef>> answers;
    answers.reserve(reads.size());
    size_t reply = 0;
    for (const ChildrenRead& read : reads) {
        QList<AccessibleRef> refs;
        if (read.count > 0 && read.limit > 0 && !byIndex(read)) {
            if (const auto list = firstArgument(replies.at(reply++))) {
                refs = readRefList(*list);
                if (refs.size() > read.limit)
                    refs.resize(read.limit);
            }
        } else if (read.count > 0 && read.limit > 0) {
            // The children up to the first that cannot be read.
            bool readable = true;
            for (int index = 0; index < read.limit; ++index, ++reply) {
                const auto child = firstArgument(replies.at(reply));
                readable = readable && child.has_value();
                if (!readable)
                    continue;
                if (auto ref = readRef(*child))
                    refs.append(*ref);
            }
        }
        answers.append(refs);
    }
    return answers;
}

QList<AccessibleFacts> AtspiAccessibilityBus::facts(const QList<FactsRead>& reads) {
    // The messages of one object follow each other, in the order of the fact bits.
    const std::pair<quint32, QDBusMessage (*)(const AccessibleRef&)> asked[] = {
        {fact::states, statesCall},           {fact::role, roleCall},
        {fact::extents, extentsCall},         {fact::name, nameCall},
        {fact::description, descriptionCall}, {fact::childCount, childCountCall},
    };
    QList<QDBusMessage> messages;
    for (const auto& [object, wanted] : reads) {
        for (const auto& [bit, make] : asked) {
            if (wanted & bit)
                messages.append(make(object));
        }
    }
    const auto replies = callAll(messages);
    QList<AccessibleFacts> answers;
    answers.reserve(reads.size());
    size_t reply = 0;
    for (const auto& [object, wanted] : reads) {
        AccessibleFacts answer;
        if (wanted & fact::states)
            answer.states = readStates(replies.at(reply++));
        if (wanted & fact::role)
            answer.role = readRole(replies.at(reply++));
        if (wanted & fact::extents)
            answer.extents = readExtents(replies.at(reply++));
        if (wanted & fact::name)
            answer.name = stringValue(propertyValue(replies.at(reply++)));
        if (wanted & fact::description)
            answer.description = stringValue(propertyValue(replies.at(reply++)));
        if (wanted & fact::childCount)
            answer.childCount = readCount(replies.at(reply++));
        answers.append(answer);
    }
    return answers;
}

std::optional<AccessibleRef> AtspiAccessibilityBus::parent(const AccessibleRef& object) {
    const auto value = property(object, accessibleInterface, QStringLiteral("Parent"));
    if (!value)
        return std::nullopt;
    return readRef(*value);
}

std::optional<quint32> AtspiAccessibilityBus::role(const AccessibleRef& object) {
    return readRole(send(roleCall(object)));
}

QString AtspiAccessibilityBus::roleName(const AccessibleRef& object) {
    const auto reply = call(object, accessibleInterface, QStringLiteral("GetRoleName"));
    if (!reply || reply->isEmpty())
        return {};
    return reply->constFirst().toString();
}

std::optional<AccessibleStates> AtspiAccessibilityBus::states(const AccessibleRef& object) {
    return readStates(send(statesCall(object)));
}

std::optional<QString> AtspiAccessibilityBus::name(const AccessibleRef& object) {
    return stringValue(propertyValue(send(nameCall(object))));
}

std::optional<QString> AtspiAccessibilityBus::description(const AccessibleRef& object) {
    return stringValue(propertyValue(send(descriptionCall(object))));
}

std::optional<QString> AtspiAccessibilityBus::text(const AccessibleRef& object, int limit) {
    const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
    // GetText's second argument is an end offset. GTK clamps one past the end, Firefox answers "" for it: ask
    // for no more than the characters there are. Every Text object tells its length; one that does not has no
    // text to read.
    const auto count = property(object, textInterface, QStringLiteral("CharacterCount"));
    bool ok = false;
    const int characters = count ? count->toInt(&ok) : 0;
    if (!ok || characters < 0)
        return std::nullopt;
    const int end = limit < 0 ? characters : std::min(limit, characters);
    if (end == 0)
        return QString();
    const auto reply = call(object, textInterface, QStringLiteral("GetText"), {0, end});
    if (!reply || reply->isEmpty() || reply->constFirst().userType() != QMetaType::QString)
        return std::nullopt;
    // A text that grew between the two calls is still cut to the limit.
    QString content = limit < 0 ? reply->constFirst().toString() : firstCharacters(reply->constFirst().toString(), end);
    // Embedded objects stand in the text as U+FFFC; they carry no words of their own.
    content.replace(QChar(0xFFFC), QLatin1Char(' '));
    return content;
}

std::optional<QRect> AtspiAccessibilityBus::extents(const AccessibleRef& object) {
    return readExtents(send(extentsCall(object)));
}

std::optional<QHash<QString, QString>> AtspiAccessibilityBus::attributes(const AccessibleRef& object) {
    const auto reply = call(object, accessibleInterface, QStringLiteral("GetAttributes"));
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return readStringMap(reply->constFirst());
}

std::optional<QHash<QString, QString>> AtspiAccessibilityBus::documentAttributes(const AccessibleRef& object) {
    const auto reply = call(object, QStringLiteral("org.a11y.atspi.Document"), QStringLiteral("GetAttributes"));
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return readStringMap(reply->constFirst());
}

std::optional<QStringList> AtspiAccessibilityBus::actionNames(const AccessibleRef& object) {
    const auto reply = call(object, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("GetActions"));
    if (!reply || reply->isEmpty() || !reply->constFirst().canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = reply->constFirst().value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::ArrayType)
        return std::nullopt;
    QStringList names;
    argument.beginArray();
    while (!argument.atEnd()) {
        QString actionName;
        QString actionDescription;
        QString keyBinding;
        argument.beginStructure();
        argument >> actionName >> actionDescription >> keyBinding;
        argument.endStructure();
        names.append(actionName);
    }
    argument.endArray();
    return names;
}

std::optional<bool> AtspiAccessibilityBus::doAction(const AccessibleRef& object, int index) {
    const auto reply = call(object, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), {index});
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return reply->constFirst().toBool();
}

} // namespace tavrine::platform
