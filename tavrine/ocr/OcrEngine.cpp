#include "tavrine/ocr/OcrEngine.h"

#include "tavrine/ocr/LruCache.h"
#include "tavrine/ocr/PageReader.h"
#include "tavrine/ocr/PixelKey.h"

#include "tavrine/core/Error.h"

#include <QCoreApplication>
#include <QHash>
#include <QMetaObject>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tavrine {

namespace {

// Waiters resume through the application's event queue. Once the application is going away nothing more is
// posted to it: a waiter left then is never resumed, as with any coroutine suspended at exit.
std::mutex g_applicationMutex;
QCoreApplication* g_application = nullptr;

void forgetApplication() {
    std::lock_guard lock(g_applicationMutex);
    g_application = nullptr;
}

void watchApplication() {
    QCoreApplication* app = QCoreApplication::instance();
    std::lock_guard lock(g_applicationMutex);
    if (app && g_application != app) {
        g_application = app;
        qAddPostRoutine(&forgetApplication);
    }
}

// Called with the job's mutex held.
void scheduleResume(OcrJob& job) {
    if (!job.waiter || job.resumeScheduled)
        return;
    job.resumeScheduled = true;
    std::lock_guard lock(g_applicationMutex);
    if (!g_application)
        return;
    QMetaObject::invokeMethod(
        g_application, [handle = job.waiter] { handle.resume(); }, Qt::QueuedConnection);
}

// How much of the page beside a line is read with it, in the line's heights on either side.
constexpr double lineContext = 2.0;
// A run of ink along a row at least this many of the line's heights long is a rule (a field's edge), not
// writing.
constexpr double ruleLength = 6.0;
// How far from the line's ground a pixel is ink.
constexpr int inkContrast = 40;
constexpr std::size_t readLineCapacity = 16;

bool cancelRequested(void* flag, int) {
    return static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed);
}

// The line in `box` as it is read: the rows of the box, widened by the page's own pixels on either side, with
// blank rows of the line's ground above and below (the rows of the page there may hold a field's edges), no rules,
// and its ink `inkGain` times as far from the ground. `origin` is where its top left lies on the page.
QImage lineImage(const QImage& page, const QRect& box, double inkGain, QPoint& origin) {
    const int side = int(std::lround(box.height() * lineContext));
    const QRect across =
        QRect(box.left() - side, box.top(), box.width() + 2 * side, box.height()).intersected(page.rect());
    if (across.isEmpty())
        return QImage();
    std::array<int, 256> histogram{};
    for (int y = across.top(); y <= across.bottom(); ++y) {
        const uchar* row = page.constScanLine(y);
        for (int x = across.left(); x <= across.right(); ++x)
            ++histogram[row[x]];
    }
    const int ground = int(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
    const int padding = std::max(2, box.height() / 4);
    QImage line(across.width(), across.height() + 2 * padding, QImage::Format_Grayscale8);
    line.fill(uint(ground));
    const int longest = std::max(1, int(std::lround(box.height() * ruleLength)));
    for (int y = 0; y < across.height(); ++y) {
        uchar* row = line.scanLine(padding + y);
        std::memcpy(row, page.constScanLine(across.top() + y) + across.left(), size_t(across.width()));
        // The page is prepared as dark writing on a light ground: ink lies below the ground. Darkened before the
        // rules are looked for: a faint edge of a field would come out of it as a dark one.
        if (inkGain > 1.0) {
            for (int x = 0; x < across.width(); ++x) {
                const int depth = ground - int(row[x]);
                if (depth > 0)
                    row[x] = uchar(std::max(0, ground - int(std::lround(depth * inkGain))));
            }
        }
        int start = -1;
        for (int x = 0; x <= across.width(); ++x) {
            const bool ink = x < across.width() && std::abs(int(row[x]) - ground) > inkContrast;
            if (ink && start < 0)
                start = x;
            if (!ink && start >= 0) {
                if (x - start >= longest)
                    std::fill(row + start, row + x, uchar(ground));
                start = -1;
            }
        }
    }
    origin = QPoint(across.left(), across.top() - padding);
    return line;
}

// The recognizer of lines read in a limited alphabet, and the words of the lines it read (on the line image's
// pixels, by their key and the alphabet's).
struct LineReader {
    std::unique_ptr<tesseract::TessBaseAPI> api;
    bool failed = false;
    LruCache<PixelKey, QList<OcrWord>> lines{readLineCapacity};

    bool ensureApi() {
        if (api || failed)
            return bool(api);
        auto made = std::make_unique<tesseract::TessBaseAPI>();
        if (made->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0) {
            failed = true;
            return false;
        }
        made->SetVariable("debug_file", "/dev/null");
        // Lines come from a prepared page, dark themes already inverted.
        made->SetVariable("tessedit_do_invert", "0");
        api = std::move(made);
        return true;
    }

    std::optional<QList<OcrWord>> read(const QImage& line, const QString& alphabet,
                                       const std::atomic<bool>& cancelled) {
        PixelKey key = PixelKey::of(line, line.rect());
        key.second ^= quint64(qHash(alphabet)) * 0x9e3779b97f4a7c15ULL;
        if (auto known = lines.find(key))
            return known;
        if (!ensureApi())
            return std::nullopt;
        // A blank parts the words; without it in the alphabet, the recognizer runs them together.
        api->SetVariable("tessedit_char_whitelist", (QStringLiteral(" ") + alphabet).toUtf8().constData());
        api->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
        api->SetImage(line.constBits(), line.width(), line.height(), 1, int(line.bytesPerLine()));
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = &cancelRequested;
        monitor.cancel_this = const_cast<std::atomic<bool>*>(&cancelled);
        const int failedRecognition = api->Recognize(&monitor);
        QList<OcrWord> words;
        if (failedRecognition == 0 && !cancelled.load()) {
            std::unique_ptr<tesseract::ResultIterator> it(api->GetIterator());
            if (it) {
                do {
                    std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
                    int left = 0, top = 0, right = 0, bottom = 0;
                    if (text && it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
                        words.append(
                            {QString::fromUtf8(text.get()), QRect(QPoint(left, top), QPoint(right - 1, bottom - 1))});
                } while (it->Next(tesseract::RIL_WORD));
            }
        }
        api->Clear();
        if (cancelled.load() || failedRecognition != 0)
            return std::nullopt;
        lines.insert(key, words);
        return words;
    }
};

} // namespace

OcrEngine& OcrEngine::instance() {
    static OcrEngine engine;
    return engine;
}

OcrEngine::OcrEngine() : m_thread([this] { run(); }) {}

OcrEngine::~OcrEngine() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_running)
            m_running->cancelled = true;
        for (const auto& job : m_queue)
            job->cancelled = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

QCoro::Task<void> OcrEngine::perform(std::shared_ptr<OcrJob> job, CancellationToken cancel) {
    cancel.throwIfCancelled();
    const CancellationSubscription subscription = cancel.onCancel([job] { OcrEngine::cancel(job); });
    instance().submit(job);
    // A named awaiter: GCC 12 destroys some temporaries of a co_await expression twice.
    Awaiter awaiter{job};
    co_await awaiter;
    // A result finished just before the cancellation still counts as cancelled: the caller gave up on it.
    cancel.throwIfCancelled();
}

QCoro::Task<void> OcrEngine::perform(std::function<void(PageReader&)> work) {
    auto job = std::make_shared<OcrJob>();
    job->work = [work = std::move(work)](PageReader& reader, const std::atomic<bool>&) { work(reader); };
    co_await perform(job);
}

QList<OcrWord> OcrEngine::readLineIn(const QImage& page, const QRect& box, const QString& alphabet,
                                     const std::atomic<bool>& cancelled, double inkGain) {
    if (std::this_thread::get_id() != instance().m_thread.get_id() || cancelled.load())
        return {};
    if (page.format() != QImage::Format_Grayscale8 || box.height() < 1)
        return {};
    // Lives and ends with the OCR thread.
    thread_local LineReader reader;
    QPoint origin;
    const QImage line = lineImage(page, box, inkGain, origin);
    if (line.isNull())
        return {};
    std::optional<QList<OcrWord>> words = reader.read(line, alphabet, cancelled);
    if (!words)
        return {};
    for (OcrWord& word : *words)
        word.box.translate(origin);
    return *words;
}

void OcrEngine::submit(std::shared_ptr<OcrJob> job) {
    watchApplication();
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void OcrEngine::cancel(const std::shared_ptr<OcrJob>& job) {
    job->cancelled = true;
    std::lock_guard lock(job->mutex);
    scheduleResume(*job);
}

bool OcrEngine::Awaiter::await_suspend(std::coroutine_handle<> handle) {
    std::lock_guard lock(job->mutex);
    if (job->finished || job->cancelled)
        return false;
    job->waiter = handle;
    return true;
}

void OcrEngine::run() {
    // Tesseract's recognizer asks OpenMP for four threads in its inner loops (a num_threads clause, which the
    // thread-count setting alone does not override). Spread over threads, one page costs about four times the
    // CPU for the same wall time; allowing no nested team keeps all of it on this thread. Only Tesseract uses
    // OpenMP in this process.
    omp_set_num_threads(1);
    omp_set_max_active_levels(0);
    PageReader reader;
    for (;;) {
        std::shared_ptr<OcrJob> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = job;
        }
        if (!job->cancelled) {
            try {
                job->work(reader, job->cancelled);
            } catch (...) {
                // A failed recognition reads as no text; the job's result stays empty.
            }
        }
        {
            std::lock_guard lock(m_mutex);
            m_running.reset();
        }
        std::lock_guard lock(job->mutex);
        job->finished = true;
        scheduleResume(*job);
    }
}

} // namespace tavrine
