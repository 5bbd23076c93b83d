#include "tavrine/historyview/HistoryListModel.h"

#include "tavrine/core/Clock.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryText.h"

#include <QCoro/QCoroTask>
#include <algorithm>

namespace tavrine {

namespace {

// A long sleep could overshoot midnight by the time the computer slept; waking every few minutes bounds that.
constexpr double longestWait = 300.0;

QCoro::Task<void> followMidnight(QPointer<HistoryListModel> model, Clock& clock, QTimeZone zone,
                                 CancellationToken token, std::function<void()> tick) {
    try {
        while (!token.isCancelled()) {
            const QDateTime now = clock.date();
            // The next day's first moment in the list's zone: where a clock change skips midnight, the day starts
            // later, and a midnight that does not exist must not be waited for again and again.
            const QDateTime nextDay = now.toTimeZone(zone).date().addDays(1).startOfDay(zone);
            const double untilNextDay = std::max(0.5, double(now.msecsTo(nextDay)) / 1000.0 + 0.5);
            co_await clock.sleep(std::min(untilNextDay, longestWait), token);
            if (!model || token.isCancelled())
                co_return;
            tick();
        }
    } catch (...) {
        // Cancelled with the model; nothing else can fail here.
    }
}

} // namespace

HistoryListModel::HistoryListModel(SessionHistory* history, Clock& clock, QObject* parent, const QTimeZone& zone)
    : QAbstractListModel(parent), m_history(history), m_clock(clock), m_zone(zone) {
    m_today = sessionDay(m_clock.date(), m_zone);
    if (m_history) {
        m_count = m_history->sessionCount();
        connect(m_history, &SessionHistory::changed, this, &HistoryListModel::reload);
    }
    watchMidnight();
}

HistoryListModel::~HistoryListModel() {
    m_alive.cancel();
}

void HistoryListModel::watchMidnight() {
    QPointer<HistoryListModel> self(this);
    followMidnight(self, m_clock, m_zone, m_alive.token(), [self] {
        if (!self)
            return;
        const QDate today = sessionDay(self->m_clock.date(), self->m_zone);
        if (today != self->m_today) {
            self->m_today = today;
            emit self->todayChanged();
        }
    });
}

QString HistoryListModel::dayTitle(const QString& dayKey, const QDate& today) const {
    return tavrine::dayTitle(QDate::fromString(dayKey, Qt::ISODate), today.isValid() ? today : m_today, m_locale);
}

void HistoryListModel::reload() {
    beginResetModel();
    m_pages.clear();
    const qint64 before = m_count;
    m_count = m_history ? m_history->sessionCount() : 0;
    endResetModel();
    if (before != m_count)
        emit countChanged();
}

const StoredSession* HistoryListModel::load(int row) const {
    if (row < 0 || row >= m_count || !m_history)
        return nullptr;
    const qint64 number = row / pageSize;
    auto found =
        std::find_if(m_pages.begin(), m_pages.end(), [number](const Page& page) { return page.number == number; });
    if (found == m_pages.end()) {
        // A row shows the session alone; its segments are read when it is selected.
        m_pages.prepend({number, m_history->sessionsWithoutSegments(number * pageSize, pageSize)});
        while (m_pages.size() > keptPages)
            m_pages.removeLast();
    } else if (found != m_pages.begin()) {
        Page page = std::move(*found);
        m_pages.erase(found);
        m_pages.prepend(std::move(page));
    }
    const Page& page = m_pages.first();
    const qint64 offset = row - number * pageSize;
    // The store can hold fewer rows than counted when it changed behind our back; `changed` follows.
    return offset < page.sessions.size() ? &page.sessions[offset] : nullptr;
}

std::optional<StoredSession> HistoryListModel::sessionAt(int row) const {
    const StoredSession* session = load(row);
    return session ? std::optional<StoredSession>(*session) : std::nullopt;
}

int HistoryListModel::rowOf(const QUuid& sessionID) const {
    // The newest page is read when nothing is kept: right after a change the selection is most often there.
    if (m_pages.isEmpty())
        load(0);
    for (const Page& page : m_pages)
        for (qsizetype i = 0; i < page.sessions.size(); ++i)
            if (page.sessions[i].sessionID == sessionID)
                return int(page.number * pageSize + i);
    return -1;
}

int HistoryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_count);
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const {
    const StoredSession* session = index.isValid() ? load(index.row()) : nullptr;
    if (!session)
        return {};
    switch (role) {
    case SessionIdRole:
        return session->sessionID.toString(QUuid::WithoutBraces);
    case TitleRole:
        return sessionTitle(*session);
    case SubtitleRole:
        return rowSubtitle(*session, m_locale, m_zone);
    case DayKeyRole:
        return sessionDay(session->startedAt, m_zone).toString(Qt::ISODate);
    default:
        return {};
    }
}

QHash<int, QByteArray> HistoryListModel::roleNames() const {
    return {{SessionIdRole, "sessionId"}, {TitleRole, "title"}, {SubtitleRole, "subtitle"}, {DayKeyRole, "dayKey"}};
}

} // namespace tavrine
