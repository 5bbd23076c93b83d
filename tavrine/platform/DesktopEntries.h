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
    // The first entry (in id order) whose Exec starts `program` (a name as `programOf` gives it).
    std::optional<DesktopEntry> findByProgram(const QString& program) const;

    // The program a command line runs, by its file name: the first word's (after `env` and its settings), or
    // for an interpreter (python3.11, perl, sh, wish, ...) the script's it runs, so that
    // "/usr/bin/python3.11 /usr/bin/idle-python3.11" runs "idle-python3.11"; "" for an empty command line.
    static QString programOf(const QStringList& arguments);

    // Reads one desktop file; none when it is not a readable desktop entry. Only regular files of at most
    // `maximumFileBytes` are read, without blocking.
    static std::optional<DesktopEntry> readFile(const QString& path, const QString& id);
    // The entry of a desktop file's bytes; none without a "[Desktop Entry]" group. Lines longer than
    // `maximumLineBytes` are passed over; reading stops after `maximumLines` lines.
    static std::optional<DesktopEntry> parse(const QByteArray& bytes, const QString& id);

    static constexpr qint64 maximumFileBytes = 1024 * 1024;
    static constexpr qsizetype maximumLineBytes = 32 * 1024;
    static constexpr int maximumLines = 4000;

private:
    QHash<QString, DesktopEntry> m_entries;
    QHash<QString, QString> m_byWmClass;
    QHash<QString, QString> m_byFoldedId;
    QHash<QString, QString> m_byProgram;
};

} // namespace tavrine::platform
