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

// Whether GLib (2.74) cannot read a line's value: one that ends in an unpaired backslash, or holds a NUL (GLib's
// reading stops there). When an unknown escape comes before such an end, GLib also warns on stderr about its own
// error handling. The line is passed over, as a runaway one is: the key is absent.
bool valueUnreadable(const QByteArray& bytes, qsizetype begin, qsizetype end) {
    // GLib drops the "\r" of a line that ends in "\r\n".
    if (end > begin && bytes.at(end - 1) == '\r')
        --end;
    // GLib's reading of a value stops at a NUL, so that what stands before it is read as the whole value; a text
    // file holds none.
    if (std::memchr(bytes.constData() + begin, 0, size_t(end - begin)))
        return true;
    if (end == begin || bytes.at(begin) == '#' || bytes.at(begin) == '[')
        return false;
    const qsizetype equals = bytes.indexOf('=', begin);
    if (equals < 0 || equals >= end)
        return false;
    for (qsizetype i = equals + 1; i < end; ++i) {
        if (bytes.at(i) != '\\')
            continue;
        if (i + 1 == end)
            return true;
        ++i;
    }
    return false;
}

} // namespace

std::optional<DesktopFile> DesktopFile::parse(const QByteArray& bytes) {
    QByteArray kept;
    kept.reserve(bytes.size());
    qsizetype position = 0;
    for (int lines = 0; position < bytes.size() && lines < maximumLines; ++lines) {
        qsizetype end = bytes.indexOf('\n', position);
        if (end < 0)
            end = bytes.size();
        if (end - position <= maximumLineBytes && !valueUnreadable(bytes, position, end)) {
            kept.append(bytes.constData() + position, end - position);
            kept.append('\n');
        }
        position = end + 1;
    }
    std::shared_ptr<GKeyFile> file(g_key_file_new(), &g_key_file_free);
    if (!g_key_file_load_from_data(file.get(), kept.constData(), gsize(kept.size()), G_KEY_FILE_NONE, nullptr) ||
        !g_key_file_has_group(file.get(), mainGroup))
        return std::nullopt;
    return DesktopFile(std::move(file), bytes);
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

QByteArray DesktopFile::withValue(const char* key, const QByteArray& rawValue) const {
    // From the bytes as they were, every line, comment and translation included: a rewrite loses nothing.
    std::unique_ptr<GKeyFile, void (*)(GKeyFile*)> whole(g_key_file_new(), &g_key_file_free);
    g_key_file_load_from_data(whole.get(), m_bytes.constData(), gsize(m_bytes.size()),
                              GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS), nullptr);
    g_key_file_set_value(whole.get(), mainGroup, key, rawValue.constData());
    gsize length = 0;
    const OwnedText data(g_key_file_to_data(whole.get(), &length, nullptr));
    return QByteArray(data.get(), qsizetype(length));
}

} // namespace tavrine::platform
