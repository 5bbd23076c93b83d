#include "tavrine/historyview/RecapViewModel.h"

#include "tavrine/core/Log.h"
#include "tavrine/historystore/SessionHistory.h"
#include "tavrine/historyview/HistoryText.h"
#include "tavrine/platform/PortalSaveFileChooser.h"
#include "tavrine/session/FocusSession.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QMimeData>
#include <QQmlEngine>
#include <QSaveFile>
#include <QStandardPaths>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

namespace tavrine {

RecapViewModel::RecapViewModel(FocusSession* session, QQmlEngine* engine, QObject* parent)
    : QObject(parent), m_session(session), m_engine(engine), m_card(new RecapCardModel(this)),
      m_timeline(new TimelineModel(this)) {
    m_timeline->setShowsCluesOverTimeline(true);
    m_timeline->setHeight(180);
    m_shareSettle.setSingleShot(true);
    m_shareSettle.setInterval(settleMs);
    connect(&m_shareSettle, &QTimer::timeout, this, [this] {
        if (m_shareWindow && m_shareWindow->isVisible())
            refreshShareImage();
    });
    if (m_session) {
        connect(m_session, &FocusSession::summaryChanged, this, [this] { setSummary(m_session->summary()); });
        setSummary(m_session->summary());
    }
}

RecapViewModel::~RecapViewModel() = default;

void RecapViewModel::setSelectedSegment(int id) {
    id = id < 0 ? -1 : id;
    if (id == m_selectedSegment)
        return;
    m_selectedSegment = id;
    emit selectedSegmentChanged();
}

void RecapViewModel::setSummary(const std::optional<SessionSummary>& summary) {
    if (summary == m_summary)
        return;
    const bool sameSession = summary && m_summary && summary->startedAt == m_summary->startedAt;
    m_summary = summary;
    if (m_summary)
        showOnCard(*m_summary);
    else if (m_hasActivity) {
        m_hasActivity = false;
        emit activityChanged();
    }
    if (!sameSession) {
        setSelectedSegment(-1);
        setShareNote({});
    }
    refreshStoreNotice();
    emit summaryChanged();
    // The image follows the summary: the view asks for the new one once it has drawn it, but a changed phrase
    // must not leave an image of the old one on offer meanwhile.
    if (m_shareImage && m_imageSummary != m_summary) {
        m_shareImage.reset();
        m_imageSummary.reset();
        emit shareImageChanged();
    }
}

void RecapViewModel::showRunningSessionAhead() {
    if (!m_summary && m_session && m_session->isActive())
        showOnCard(m_session->summarySoFar());
}

void RecapViewModel::showOnCard(const SessionSummary& summary) {
    m_card->setSummary(summary);
    m_timeline->setTimeline(summary.timeline, summary.startedAt.toLocalTime());
    const bool activity = timelineHasActivity(summary.timeline);
    if (activity != m_hasActivity) {
        m_hasActivity = activity;
        emit activityChanged();
    }
}

void RecapViewModel::setHistory(SessionHistory* history) {
    if (m_history)
        disconnect(m_history, nullptr, this, nullptr);
    m_history = history;
    if (m_history) {
        for (auto signal : {&SessionHistory::availabilityChanged, &SessionHistory::waitingChanged})
            connect(m_history, signal, this, &RecapViewModel::refreshStoreNotice);
    }
    refreshStoreNotice();
}

void RecapViewModel::refreshStoreNotice() {
    QString notice;
    if (m_history && m_summary)
        notice = recapStoreNotice(m_history->status(), m_history->unsavedReason(m_summary->startedAt));
    if (notice == m_storeNotice)
        return;
    m_storeNotice = notice;
    emit storeNoticeChanged();
}

void RecapViewModel::refreshShareImage() {
    if (!m_summary || !m_engine)
        return;
    if (m_imageSummary == m_summary)
        return; // the image already shows this very summary (or failed for it)
    m_imageSummary = m_summary;
    const quint64 ticket = ++m_shareTicket;
    const std::optional<QImage> card = renderShareCard(*m_summary, *m_engine);
    ++m_imagesMade;
    if (!card) {
        m_shareImage.reset();
        emit shareImageChanged();
        return;
    }
    using Encoded = std::optional<RecapShareImage>;
    auto* encoding = new QFutureWatcher<Encoded>(this);
    connect(encoding, &QFutureWatcherBase::finished, this, [this, encoding, ticket] {
        encoding->deleteLater();
        // A newer summary's image is on its way, or the summary is gone: this one shows nothing of it.
        if (ticket != m_shareTicket || !m_summary || m_imageSummary != m_summary)
            return;
        m_shareImage = encoding->result();
        emit shareImageChanged();
    });
    encoding->setFuture(QtConcurrent::run([image = *card] { return shareImageOf(image); }));
}

void RecapViewModel::refreshShareImageWhenShown(QQuickWindow* window) {
    if (!window)
        return;
    if (window != m_shareWindow) {
        disconnect(m_shareFrames);
        m_shareWindow = window;
        // Emitted on the render thread; the wait starts again here, after the frame.
        m_shareFrames = connect(
            window, &QQuickWindow::frameSwapped, this,
            [this] {
                if (m_summary && m_imageSummary != m_summary)
                    m_shareSettle.start(settleMs);
            },
            Qt::QueuedConnection);
    }
    // Every frame from now on starts the wait anew; a window that draws none at all (a change it does not show)
    // waits longer, so that a recap whose first frame is slow is never beaten to it.
    if (m_summary && m_imageSummary != m_summary)
        m_shareSettle.start(unshownLimitMs);
}

bool RecapViewModel::saveImage(const QUrl& file) {
    if (!m_shareImage) {
        setSaveError(tr("Could not save the image."));
        return false;
    }
    const QString path = file.isLocalFile() ? file.toLocalFile() : file.toString();
    QSaveFile out(path);
    // QSaveFile writes beside the target and renames only on commit: a failure leaves no partial file.
    if (!out.open(QIODevice::WriteOnly) || out.write(m_shareImage->png) != m_shareImage->png.size() || !out.commit()) {
        const QString reason = out.errorString();
        out.cancelWriting();
        qCWarning(logHistory) << "Share image not saved:" << reason;
        setSaveError(tr("Could not save the image.") + QLatin1Char('\n') + reason);
        return false;
    }
    setSaveError({});
    setShareNote(tr("Saved as %1").arg(QFileInfo(path).fileName()));
    emit shared();
    return true;
}

void RecapViewModel::chooseImageFile(QWindow* parent) {
    if (m_choosing || !m_shareImage)
        return;
    if (!m_chooser) {
        m_ownChooser = std::make_unique<platform::PortalSaveFileChooser>();
        m_chooser = m_ownChooser.get();
    }
    platform::SaveFileRequest request;
    request.title = tr("Save image");
    request.acceptLabel = tr("Save");
    request.folder = saveFolder().toLocalFile();
    request.fileName = suggestedFileName();
    request.filterName = tr("PNG images");
    request.patterns = {QStringLiteral("*.png")};
    request.parent = parent;
    m_choosing = true;
    m_chooser->choose(request, [alive = QPointer<RecapViewModel>(this)](const std::optional<QString>& path) {
        if (!alive)
            return;
        alive->m_choosing = false;
        if (path)
            alive->saveImage(QUrl::fromLocalFile(*path));
    });
}

bool RecapViewModel::copyImage() {
    if (!m_shareImage)
        return false;
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/png"), m_shareImage->png);
    mime->setImageData(m_shareImage->preview);
    QGuiApplication::clipboard()->setMimeData(mime);
    setSaveError({});
    setShareNote(tr("Copied to the clipboard"));
    emit shared();
    return true;
}

void RecapViewModel::clearSaveError() {
    setSaveError({});
}

QUrl RecapViewModel::saveFolder() const {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QUrl::fromLocalFile(folder);
}

void RecapViewModel::again() {
    if (m_session)
        m_session->clearSummary();
    emit againRequested();
}

void RecapViewModel::showHistory() {
    emit historyRequested();
}

void RecapViewModel::setSaveError(const QString& error) {
    if (!error.isEmpty())
        setShareNote({}); // a failure is not confirmed by an older success
    if (error == m_saveError)
        return;
    m_saveError = error;
    emit saveErrorChanged();
}

void RecapViewModel::setShareNote(const QString& note) {
    if (note == m_shareNote)
        return;
    m_shareNote = note;
    emit shareNoteChanged();
}

} // namespace tavrine
