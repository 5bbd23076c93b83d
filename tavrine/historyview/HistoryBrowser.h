#pragma once

#include "tavrine/historystore/StoredSession.h"
#include "tavrine/historyview/HistoryListModel.h"
#include "tavrine/historyview/TimelineModel.h"

#include <QObject>
#include <QPointer>
#include <QUuid>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace tavrine {

class Clock;
class SessionHistory;

// The History window's state: the list, the selected session with its detail texts and timeline, and the
// deletions. The selection changes only by a click in the list, by ensureSelection and by a deletion; the
// detail's segment selection starts empty for every session shown.
class HistoryBrowser : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made with the History window")
    Q_PROPERTY(tavrine::HistoryListModel* listModel READ listModel CONSTANT)
    Q_PROPERTY(tavrine::TimelineModel* timeline READ timeline CONSTANT)
    Q_PROPERTY(QString selection READ selection NOTIFY selectionChanged)
    Q_PROPERTY(int selectedRow READ selectedRow NOTIFY selectionChanged)
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY selectionChanged)
    Q_PROPERTY(bool isEmpty READ isEmpty NOTIFY isEmptyChanged)
    Q_PROPERTY(QString placeholderTitle READ placeholderTitle NOTIFY isEmptyChanged)
    Q_PROPERTY(QString placeholderText READ placeholderText NOTIFY isEmptyChanged)
    Q_PROPERTY(QString storeNotice READ storeNotice NOTIFY storeNoticeChanged)
    Q_PROPERTY(QString detailTitle READ detailTitle NOTIFY detailChanged)
    Q_PROPERTY(QString detailSubtitle READ detailSubtitle NOTIFY detailChanged)
    Q_PROPERTY(QString focusedValue READ focusedValue NOTIFY detailChanged)
    Q_PROPERTY(QString streakValue READ streakValue NOTIFY detailChanged)
    Q_PROPERTY(QString detoursValue READ detoursValue NOTIFY detailChanged)
    Q_PROPERTY(bool hasActivity READ hasActivity NOTIFY detailChanged)
    Q_PROPERTY(int segmentSelection READ segmentSelection WRITE setSegmentSelection NOTIFY segmentSelectionChanged)

public:
    HistoryBrowser(SessionHistory* history, Clock& clock, QObject* parent = nullptr);
    ~HistoryBrowser() override;

    HistoryListModel* listModel() const { return m_list; }
    TimelineModel* timeline() const { return m_timeline; }

    QString selection() const;
    std::optional<QUuid> selectedID() const { return m_selection; }
    int selectedRow() const;
    bool hasSelection() const { return m_detail.has_value(); }
    bool isEmpty() const;
    QString placeholderTitle() const;
    QString placeholderText() const;
    // What is wrong with the history file, in one line; empty when all is well.
    QString storeNotice() const { return m_storeNotice; }

    QString detailTitle() const;
    QString detailSubtitle() const;
    QString focusedValue() const;
    QString streakValue() const;
    QString detoursValue() const;
    bool hasActivity() const;
    int segmentSelection() const { return m_segmentSelection; }
    void setSegmentSelection(int id);

    // A click on a row.
    Q_INVOKABLE void select(const QString& sessionID);
    // Keeps the selection while its session exists, else selects the newest (nothing in an empty history).
    Q_INVOKABLE void ensureSelection();
    // The window opens: its view state starts afresh, as a new window's would, on the newest session. The browser
    // outlives the window, and a selection kept from before (made by a click, or by ensureSelection before newer
    // sessions were stored) is not what the user opened the window to see.
    Q_INVOKABLE void open();
    // Deletes one session, clearing the selection first when it is the selected one; no confirmation.
    Q_INVOKABLE void deleteSession(const QString& sessionID);
    Q_INVOKABLE void deleteSelected();

signals:
    void selectionChanged();
    void isEmptyChanged();
    void detailChanged();
    void segmentSelectionChanged();
    void storeNoticeChanged();

private:
    void setSelection(std::optional<QUuid> selection);
    void refreshDetail();
    void refreshStoreNotice();
    bool isChecking() const;

    QPointer<SessionHistory> m_history;
    HistoryListModel* m_list;
    TimelineModel* m_timeline;
    std::optional<QUuid> m_selection;
    std::optional<StoredSession> m_detail;
    int m_segmentSelection = -1;
    bool m_wasEmpty = true;
    QString m_storeNotice;
};

} // namespace tavrine
