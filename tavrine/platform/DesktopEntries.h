#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavrine::platform {

// What Tavrine reads of one desktop file.
struct DesktopEntry {
    // The desktop-file id: its path below "applications/" with "/" as "-", without ".desktop".
    QString id;
    QString name;
    QString startupWmClass;
    // The program its Exec line starts, as `DesktopEntries::programOf` names it; "" without one.
    QString program;
};

// The desktop files of the XDG data folders, read once. The first folder that holds an id wins, as the XDG
// menu rules say ($XDG_DATA_HOME before $XDG_DATA_DIRS).
class DesktopEntries {
public:
    // Reads "<folder>/applications" of each folder, in order.
    explicit DesktopEntries(const QStringList& dataFolders);
    // The folders of the environment: $XDG_DATA_HOME (else ~/.local/share), then $XDG_DATA_DIRS (else
    // /usr/local/share and /usr/share).
    static QStringList standardDataFolders();

    std::optional<DesktopEntry> find(const QString& id) const;
    // The first entry (in id order) whose StartupWMClass equals `windowClass` exactly.
    std::optional<DesktopEntry> findByStartupWmClass(const QString& windowClass) const;
    // The first entry (in id order) whose id equals `id` ignoring case: a window class is often the id with
    // other capitals ("Xfce4-terminal" for xfce4-terminal.desktop).
    std::optional<DesktopEntry> findIgnoringCase(const QString& id) const;
    // The first entry (in id order) whose Exec starts `program` (as `programOf` gives it). A script known by its
    // path is also found by an entry that starts it by name, never by one that starts another path.
    std::optional<DesktopEntry> findByProgram(const QString& program) const;

    // The program a command line runs: the first word's file name (after `env` with its options and settings),
    // or for an interpreter (python3.11, perl, sh, wish, ...) the script it runs, by its whole path where the
    // command line gives one ("/usr/bin/python3.11 /opt/quay/main.py" runs "/opt/quay/main.py") and else by its
    // name; "" for an empty command line.
    static QString programOf(const QStringList& arguments);

    // The Exec value that starts `arguments`, quoted as desktop entries require (with "%" doubled and the key
    // file's escapes applied).
    static QString execValue(const QStringList& arguments);
    // The words of an Exec value as the key file's reader gives it (its escapes undone), with the quoting and the
    // doubled "%" undone; field codes (%f, %U, ...) stay as words.
    static QStringList execArguments(const QString& value);

    // Whether a symbolic link at the path is read through to its target.
    enum class Links { Follow, Refuse };
    // The bytes of a small regular file, read without blocking. None when there is nothing at the path (then
    // `refusal` stays empty) or when what is there is not read: a FIFO, a device, a folder, a file over
    // `maximumFileBytes`, a link that is not to be followed; `refusal` then says why in a few words.
    static std::optional<QByteArray> readSmallFile(const QString& path, Links links, QString* refusal = nullptr);
    // Reads one desktop file; none when it is not a readable desktop entry. Only regular files of at most
    // `maximumFileBytes` are read, without blocking.
    static std::optional<DesktopEntry> readFile(const QString& path, const QString& id);
    // The entry of a desktop file's bytes, read by DesktopFile; none when they are not a key file with a
    // "[Desktop Entry]" group.
    static std::optional<DesktopEntry> parse(const QByteArray& bytes, const QString& id);

    static constexpr qint64 maximumFileBytes = 1024 * 1024;

private:
    QHash<QString, DesktopEntry> m_entries;
    QHash<QString, QString> m_byWmClass;
    QHash<QString, QString> m_byFoldedId;
    QHash<QString, QString> m_byProgram;
};

} // namespace tavrine::platform
