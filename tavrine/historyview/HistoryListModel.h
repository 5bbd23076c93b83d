#pragma once

#include "tavrine/core/Cancellation.h"
#include "tavrine/historystore/StoredSession.h"

#include <QAbstractListModel>
#include <QDate>
#include <QLocale>
#include <QPointer>
#include <QTimeZone>
#include <QUuid>
#include <QtQml/qqmlregistration.h>

namespace tavrine {

class Clock;
class SessionHistory;

// The History window's list: every stored session, newest first, read from the store a page at a time as the
// list scrolls, never all at once. At most `keptPages` pages stay in memory; a change of the store (a recording,
// a deletion, new phrases) drops them all and counts again. Rows carry their local day as a key, so that the
// list's sections group adjacent sessions of one day.
class HistoryListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the History window's browser")
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QDate today READ today NOTIFY todayChanged)

public:
    enum Role { SessionIdRole = Qt::UserRole + 1, TitleRole, SubtitleRole, DayKeyRole };
    Q_ENUM(Role)

    static constexpr qint64 pageSize = 200;
    static constexpr int keptPages = 5;

    // Days, times and midnight are the `zone`'s: the system's, or the one a test pins.
    HistoryListModel(SessionHistory* history, Clock& clock, QObject* parent = nullptr,
                     const QTimeZone& zone = QTimeZone::systemTimeZone());
    ~HistoryListModel() override;

    void setLocale(const QLocale& locale) { m_locale = locale; }

    int count() const { return int(m_count); }
    // The local day that counts as today; moves on at the next local midnight.
    QDate today() const { return m_today; }
    // "Today", "Yesterday" or the date, for a row's day key; `today` is passed so that a binding follows it.
    Q_INVOKABLE QString dayTitle(const QString& dayKey, const QDate& today) const;

    // The session at a row without its segments, read from its page (loading it when it is not kept).
    std::optional<StoredSession> sessionAt(int row) const;
    // The row of a session among the pages kept in memory, or -1.
    int rowOf(const QUuid& sessionID) const;
    // Pages in memory now (at most keptPages).
    int keptPageCount() const { return int(m_pages.size()); }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();
    void todayChanged();

private:
    struct Page {
        qint64 number;
        QList<StoredSession> sessions;
    };
    const StoredSession* load(int row) const;
    void reload();
    void watchMidnight();

    QPointer<SessionHistory> m_history;
    Clock& m_clock;
    QLocale m_locale;
    QTimeZone m_zone;
    qint64 m_count = 0;
    QDate m_today;
    // Most recently used first.
    mutable QList<Page> m_pages;
    CancellationSource m_alive;
};

} // namespace tavrine
