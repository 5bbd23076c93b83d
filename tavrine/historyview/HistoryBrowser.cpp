#include "tavrine/historyview/HistoryBrowser.h"

#include "tavrine/history/SessionActivityLog.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryListModel.h"
#include "tavrine/historyview/HistoryText.h"
#include "tavrine/historyview/TimelineModel.h"

namespace tavrine {

HistoryBrowser::HistoryBrowser(SessionHistory* history, Clock& clock, QObject* parent)
    : QObject(parent), m_history(history), m_list(new HistoryListModel(history, clock, this)),
      m_timeline(new TimelineModel(this)) {
    m_timeline->setExpandsSelection(true);
    m_wasEmpty = isEmpty();
    // Every change of the store: the selected session may be gone, or may have new phrases.
    connect(m_list, &QAbstractItemModel::modelReset, this, [this] {
        if (m_wasEmpty != isEmpty()) {
            m_wasEmpty = isEmpty();
            emit isEmptyChanged();
        }
        ensureSelection();
        refreshDetail();
        emit selectionChanged(); // the selected row may have moved
        refreshStoreNotice();
    });
    if (m_history) {
        connect(m_history, &SessionHistory::availabilityChanged, this, [this] {
            emit isEmptyChanged(); // the placeholder's words follow the check of the file
            refreshStoreNotice();
        });
        connect(m_history, &SessionHistory::waitingChanged, this, &HistoryBrowser::refreshStoreNotice);
    }
    ensureSelection();
    refreshStoreNotice();
}

HistoryBrowser::~HistoryBrowser() = default;

QString HistoryBrowser::selection() const {
    return m_selection ? m_selection->toString(QUuid::WithoutBraces) : QString();
}

int HistoryBrowser::selectedRow() const {
    return m_selection ? m_list->rowOf(*m_selection) : -1;
}

bool HistoryBrowser::isEmpty() const {
    return m_list->count() == 0;
}

bool HistoryBrowser::isChecking() const {
    return m_history && m_history->availability() == SessionHistory::Availability::Checking;
}

QString HistoryBrowser::placeholderTitle() const {
    if (isEmpty() && isChecking())
        return tr("Reading your history…");
    return isEmpty() ? tr("No sessions yet") : tr("Pick a session");
}

QString HistoryBrowser::placeholderText() const {
    return isEmpty() && !isChecking() ? tr("A session you finish shows up here with its timeline.") : QString();
}

void HistoryBrowser::refreshStoreNotice() {
    const QString notice = m_history ? tavrine::storeNotice(*m_history) : QString();
    if (notice == m_storeNotice)
        return;
    m_storeNotice = notice;
    emit storeNoticeChanged();
}

QString HistoryBrowser::detailTitle() const {
    return m_detail ? sessionTitle(*m_detail) : QString();
}

QString HistoryBrowser::detailSubtitle() const {
    return m_detail ? tavrine::detailSubtitle(*m_detail) : QString();
}

QString HistoryBrowser::focusedValue() const {
    return m_detail ? QString::number(m_detail->focusedMinutes()) + tr(" min") : QString();
}

QString HistoryBrowser::streakValue() const {
    return m_detail ? SessionActivityLog::formatDuration(m_detail->longestStreak) : QString();
}

QString HistoryBrowser::detoursValue() const {
    return m_detail ? tavrine::detoursValue(*m_detail) : QString();
}

bool HistoryBrowser::hasActivity() const {
    return m_timeline->hasActivity();
}

void HistoryBrowser::setSegmentSelection(int id) {
    id = id < 0 ? -1 : id;
    if (id == m_segmentSelection)
        return;
    m_segmentSelection = id;
    emit segmentSelectionChanged();
}

void HistoryBrowser::select(const QString& sessionID) {
    const QUuid id = QUuid::fromString(sessionID);
    setSelection(id.isNull() ? std::nullopt : std::optional<QUuid>(id));
}

void HistoryBrowser::ensureSelection() {
    if (m_selection && m_history && m_history->find(*m_selection))
        return;
    const std::optional<StoredSession> newest = m_list->sessionAt(0);
    setSelection(newest ? std::optional<QUuid>(newest->sessionID) : std::nullopt);
}

void HistoryBrowser::open() {
    const std::optional<StoredSession> newest = m_list->sessionAt(0);
    setSelection(newest ? std::optional<QUuid>(newest->sessionID) : std::nullopt);
    // The same session selected again is a new detail all the same: its timeline starts unselected.
    setSegmentSelection(-1);
}

void HistoryBrowser::deleteSession(const QString& sessionID) {
    const QUuid id = QUuid::fromString(sessionID);
    if (id.isNull() || !m_history)
        return;
    // The store's `changed` resets the list, which selects the newest remaining session when the selected one is
    // gone. A refused delete changes nothing here: the session stays, selected if it was, and the store's notice
    // says why.
    m_history->deleteSession(id);
}

void HistoryBrowser::deleteSelected() {
    if (m_selection && m_history && m_history->find(*m_selection))
        deleteSession(selection());
}

void HistoryBrowser::setSelection(std::optional<QUuid> selection) {
    if (selection == m_selection)
        return;
    m_selection = selection;
    setSegmentSelection(-1);
    refreshDetail();
    emit selectionChanged();
}

void HistoryBrowser::refreshDetail() {
    std::optional<StoredSession> detail;
    if (m_selection && m_history)
        detail = m_history->find(*m_selection);
    if (detail == m_detail)
        return;
    m_detail = std::move(detail);
    if (m_detail)
        m_timeline->setTimeline(m_detail->timeline(), m_detail->startedAt.toLocalTime());
    else
        m_timeline->setTimeline({}, {});
    emit detailChanged();
}

} // namespace tavrine
