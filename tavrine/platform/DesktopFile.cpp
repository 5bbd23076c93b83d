#include "tavrine/platform/DesktopFile.h"

#include <glib.h>

#include <cstring>

namespace tavrine::platform {

namespace {

constexpr const char* mainGroup = "Desktop Entry";

struct GFreeDeleter {
    void operator()(void* data) const { g_free(data); }
};
using OwnedText = std::unique_ptr<char, GFreeDeleter>;

std::optional<QString> taken(char* value) {
    const OwnedText owned(value);
    if (!owned)
        return std::nullopt;
    return QString::fromUtf8(owned.get());
}

// Why GLib (2.74) cannot read a line; none when it can. GLib's reading of a line stops at a NUL, so that what stands
// before it is read as the whole line (a text file holds none), and a value that ends in an unpaired backslash is
// refused; after an unknown escape GLib also warns on stderr about its own error handling. The line is passed over,
// as a runaway one is: the key is absent.
const char* unreadableLine(const QByteArray& bytes, qsizetype begin, qsizetype end) {
    // GLib drops the "\r" of a line that ends in "\r\n".
    if (end > begin && bytes.at(end - 1) == '\r')
        --end;
    if (std::memchr(bytes.constData() + begin, 0, size_t(end - begin)))
        return "holds a NUL";
    if (end == begin || bytes.at(begin) == '#' || bytes.at(begin) == '[')
        return nullptr;
    const qsizetype equals = bytes.indexOf('=', begin);
    if (equals < 0 || equals >= end)
        return nullptr;
    for (qsizetype i = equals + 1; i < end; ++i) {
        if (bytes.at(i) != '\\')
            continue;
        if (i + 1 == end)
            return "ends in a backslash";
        ++i;
    }
    return nullptr;
}

} // namespace

std::optional<DesktopFile> DesktopFile::parse(const QByteArray& bytes) {
    QByteArray kept;
    kept.reserve(bytes.size());
    QString leftOut;
    qsizetype position = 0;
    int lines = 0;
    for (; position < bytes.size() && lines < maximumLines; ++lines) {
        qsizetype end = bytes.indexOf('\n', position);
        if (end < 0)
            end = bytes.size();
        const bool runaway = end - position > maximumLineBytes;
        const char* unreadable = runaway ? nullptr : unreadableLine(bytes, position, end);
        if (!runaway && !unreadable) {
            kept.append(bytes.constData() + position, end - position);
            kept.append('\n');
        } else if (leftOut.isEmpty()) {
            leftOut = runaway ? QStringLiteral("line %1 is over %2 bytes").arg(lines + 1).arg(maximumLineBytes)
                              : QStringLiteral("line %1 %2").arg(lines + 1).arg(QLatin1String(unreadable));
        }
        position = end + 1;
    }
    if (position < bytes.size() && leftOut.isEmpty())
        leftOut = QStringLiteral("the lines after line %1 are not read").arg(lines);
    std::shared_ptr<GKeyFile> file(g_key_file_new(), &g_key_file_free);
    if (!g_key_file_load_from_data(file.get(), kept.constData(), gsize(kept.size()), G_KEY_FILE_NONE, nullptr) ||
        !g_key_file_has_group(file.get(), mainGroup))
        return std::nullopt;
    return DesktopFile(std::move(file), std::move(kept), std::move(leftOut));
}

std::optional<QString> DesktopFile::string(const char* key) const {
    return taken(g_key_file_get_string(m_file.get(), mainGroup, key, nullptr));
}

std::optional<QString> DesktopFile::localeString(const char* key) const {
    return taken(g_key_file_get_locale_string(m_file.get(), mainGroup, key, nullptr, nullptr));
}

std::optional<bool> DesktopFile::boolean(const char* key) const {
    GError* error = nullptr;
    const gboolean value = g_key_file_get_boolean(m_file.get(), mainGroup, key, &error);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    return value != FALSE;
}

std::optional<QByteArray> DesktopFile::withValue(const char* key, const QByteArray& rawValue) const {
    // From the lines the reader took, every comment and translation included, and only when they are the whole
    // file: given a line it cannot read, GLib keeps only the lines before it.
    if (!m_linesLeftOut.isEmpty())
        return std::nullopt;
    const std::unique_ptr<GKeyFile, void (*)(GKeyFile*)> whole(g_key_file_new(), &g_key_file_free);
    if (!g_key_file_load_from_data(whole.get(), m_lines.constData(), gsize(m_lines.size()),
                                   GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS), nullptr))
        return std::nullopt;
    g_key_file_set_value(whole.get(), mainGroup, key, rawValue.constData());
    gsize length = 0;
    const OwnedText data(g_key_file_to_data(whole.get(), &length, nullptr));
    return QByteArray(data.get(), qsizetype(length));
}

} // namespace tavrine::platform
