#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

typedef struct _GKeyFile GKeyFile;

namespace tavrine::platform {

// The "[Desktop Entry]" group of one desktop file, read as the desktop reads it: by GLib's key-file reader, with
// the key file's escapes (\s, \n, \t, \r, \\) undone, booleans as GLib takes them, and localised values
// ("Name[de]") chosen for the user's languages. (No key read here is a list; GLib would split one at unescaped ";".)
// It parses bytes only, never a path: whoever has a file's bytes read them through the checks that keep FIFOs,
// devices, links and huge files out (DesktopEntries::readSmallFile).
class DesktopFile {
public:
    // None when the bytes are not a key file with a "[Desktop Entry]" group. Lines longer than `maximumLineBytes`
    // are passed over (no key read here is that long, and a runaway line is never decoded), as are lines GLib
    // cannot read (a NUL anywhere, a value with a backslash at its end); reading stops after `maximumLines` lines.
    static std::optional<DesktopFile> parse(const QByteArray& bytes);

    static constexpr qsizetype maximumLineBytes = 32 * 1024;
    static constexpr int maximumLines = 4000;

    // A value with the escapes undone; none when the key is absent or its value is not UTF-8.
    std::optional<QString> string(const char* key) const;
    // The value for the user's languages (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), else the unlocalised one.
    std::optional<QString> localeString(const char* key) const;
    // "true" or "false" (or 1 and 0), as GLib reads a boolean; none for anything else.
    std::optional<bool> boolean(const char* key) const;

    // Why the lines read are not the whole file (the first line passed over, or the lines after the last one
    // read); empty when they are.
    const QString& linesLeftOut() const { return m_linesLeftOut; }

    // The whole file again with `key` set to `rawValue`, written as it stands (escapes already applied); every other
    // group, key, comment and translation is kept. Made from the lines read, so none when those are not the whole
    // file (`linesLeftOut`): a rewrite never drops what the reader passed over.
    std::optional<QByteArray> withValue(const char* key, const QByteArray& rawValue) const;

private:
    DesktopFile(std::shared_ptr<GKeyFile> file, QByteArray lines, QString linesLeftOut)
        : m_file(std::move(file)), m_lines(std::move(lines)), m_linesLeftOut(std::move(linesLeftOut)) {}
    std::shared_ptr<GKeyFile> m_file;
    // The lines read, as GLib was given them.
    QByteArray m_lines;
    QString m_linesLeftOut;
};

} // namespace tavrine::platform
