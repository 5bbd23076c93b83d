#include "tavrine/platform/DesktopFile.h"

#include <glib.h>

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

} // namespace

std::optional<DesktopFile> DesktopFile::parse(const QByteArray& bytes) {
    QByteArray kept;
    kept.reserve(bytes.size());
    qsizetype position = 0;
    for (int lines = 0; position < bytes.size() && lines < maximumLines; ++lines) {
        qsizetype end = bytes.indexOf('\n', position);
        if (end < 0)
            end = bytes.size();
        if (end - position <= maximumLineBytes) {
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
