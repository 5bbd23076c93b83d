#pragma once

#include "tavrine/history/SessionSummary.h"
#include "tavrine/historyview/RecapCardModel.h"
#include "tavrine/historyview/RecapShareImage.h"
#include "tavrine/historyview/TimelineModel.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <QtQml/qqmlregistration.h>
#include <memory>
#include <optional>

class QQmlEngine;

namespace tavrine::platform {
class SaveFileChooser;
}

namespace tavrine {

class FocusSession;
class SessionHistory;

// The recap shown when a session ends: the card and timeline of the session's summary, the share image made
// for it (again only when the summary really changes), "Again", and the way to all sessions. Linux has no share
// sheet: the image is saved to a file, chosen in the desktop's save dialog, or copied to the clipboard; either is
// confirmed in a short line.
class RecapViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the main window")
    Q_PROPERTY(tavrine::RecapCardModel* card READ card CONSTANT)
    Q_PROPERTY(tavrine::TimelineModel* timeline READ timeline CONSTANT)
    Q_PROPERTY(bool hasSummary READ hasSummary NOTIFY summaryChanged)
    Q_PROPERTY(bool hasActivity READ hasActivity NOTIFY activityChanged)
    Q_PROPERTY(int selectedSegment READ selectedSegment WRITE setSelectedSegment NOTIFY selectedSegmentChanged)
    Q_PROPERTY(bool hasShareImage READ hasShareImage NOTIFY shareImageChanged)
    Q_PROPERTY(QImage sharePreview READ sharePreview NOTIFY shareImageChanged)
    Q_PROPERTY(QString saveError READ saveError NOTIFY saveErrorChanged)
    Q_PROPERTY(QString storeNotice READ storeNotice NOTIFY storeNoticeChanged)
    Q_PROPERTY(QUrl saveFolder READ saveFolder CONSTANT)
    Q_PROPERTY(QString suggestedFileName READ suggestedFileName CONSTANT)
    Q_PROPERTY(QString shareNote READ shareNote NOTIFY shareNoteChanged)

public:
    // `session` may be absent (a preview); then "Again" only says so through `againRequested`.
    RecapViewModel(FocusSession* session, QQmlEngine* engine, QObject* parent = nullptr);
    ~RecapViewModel() override;

    RecapCardModel* card() const { return m_card; }
    TimelineModel* timeline() const { return m_timeline; }
    bool hasSummary() const { return m_summary.has_value(); }
    bool hasActivity() const { return m_hasActivity; }
    int selectedSegment() const { return m_selectedSegment; }
    void setSelectedSegment(int id);

    // The store the session was recorded in; none when nothing is saved (then nothing is said about saving).
    void setHistory(SessionHistory* history);
    // Whether the session shown could be saved, or what is wrong with the history file; empty when all is well.
    QString storeNotice() const { return m_storeNotice; }

    // The summary shown; the session's own when there is one. A summary equal to the one shown changes nothing.
    void setSummary(const std::optional<SessionSummary>& summary);
    // The card and timeline show the running session as it would end now, for a recap drawn once out of sight
    // before it first shows: the End that shows it then changes what a later End changes, and no more. The
    // summary, its image and the notice stay as they are.
    Q_INVOKABLE void showRunningSessionAhead();
    // Makes the share image for the summary shown, unless the one there is for that very summary: renders the
    // card here and encodes its PNG on a worker thread, so `shareImageChanged` follows later.
    Q_INVOKABLE void refreshShareImage();
    // The view asks for the image once it is up in `window`: making it renders the card a second time and encodes
    // a large PNG, which would hold up the recap's own first frame. It is made once the window has drawn a frame
    // and then nothing more for `settleMs`, and only while the window shows.
    Q_INVOKABLE void refreshShareImageWhenShown(QQuickWindow* window);
    static constexpr int settleMs = 300;
    static constexpr int unshownLimitMs = 1500;
    const std::optional<RecapShareImage>& shareImage() const { return m_shareImage; }
    bool hasShareImage() const { return m_shareImage.has_value(); }
    QImage sharePreview() const { return m_shareImage ? m_shareImage->preview : QImage(); }
    // How many share images were made so far.
    int shareImagesMade() const { return m_imagesMade; }

    // Writes the PNG to `file` (replacing it only once complete); false with `saveError` set on failure.
    Q_INVOKABLE bool saveImage(const QUrl& file);
    // "Save image…": asks where to save in a dialog window of its own, above `parent`, suggesting the file name
    // in the pictures folder, then saves there. One dialog at a time.
    Q_INVOKABLE void chooseImageFile(QWindow* parent);
    // Replaces the desktop's save dialog (tests); the model does not own it.
    void setFileChooser(platform::SaveFileChooser* chooser) { m_chooser = chooser; }
    // Puts the PNG on the clipboard as "image/png", with the image itself for applications that want a bitmap.
    Q_INVOKABLE bool copyImage();
    QString saveError() const { return m_saveError; }
    Q_INVOKABLE void clearSaveError();
    // The line that confirms the last save or copy; empty before one, after a failure and for a new session.
    QString shareNote() const { return m_shareNote; }
    QUrl saveFolder() const;
    QString suggestedFileName() const { return RecapShareImage::fileName(); }

    // "Again": clears the session's summary, which ends the recap.
    Q_INVOKABLE void again();
    // "All sessions": the shell raises the History window, or opens it.
    Q_INVOKABLE void showHistory();

signals:
    void summaryChanged();
    void activityChanged();
    void selectedSegmentChanged();
    void shareImageChanged();
    void saveErrorChanged();
    void storeNoticeChanged();
    void shareNoteChanged();
    // A save or a copy went through: the share popup has done its job.
    void shared();
    void againRequested();
    void historyRequested();

private:
    void setSaveError(const QString& error);
    void refreshStoreNotice();
    void setShareNote(const QString& note);
    void showOnCard(const SessionSummary& summary);

    QPointer<FocusSession> m_session;
    QPointer<QQmlEngine> m_engine;
    QPointer<SessionHistory> m_history;
    RecapCardModel* m_card;
    TimelineModel* m_timeline;
    std::optional<SessionSummary> m_summary;
    std::optional<SessionSummary> m_imageSummary; // what the share image shows
    std::optional<RecapShareImage> m_shareImage;
    int m_selectedSegment = -1;
    bool m_hasActivity = false;
    int m_imagesMade = 0;
    QString m_saveError;
    QString m_storeNotice;
    QString m_shareNote;
    // The window the image waits for, and the wait itself: restarted by every frame it draws.
    QPointer<QQuickWindow> m_shareWindow;
    QMetaObject::Connection m_shareFrames;
    QTimer m_shareSettle;
    // Names the newest encoding: an older one that ends later is dropped.
    quint64 m_shareTicket = 0;
    std::unique_ptr<platform::SaveFileChooser> m_ownChooser;
    platform::SaveFileChooser* m_chooser = nullptr;
    bool m_choosing = false;
};

} // namespace tavrine
