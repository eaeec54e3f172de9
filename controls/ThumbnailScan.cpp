#include "ThumbnailScan.h"

#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace quillmark {

namespace {

// Thumbnails handed over in one go before the scan's thread goes back to its events.
constexpr size_t kFilesPerHandOver = 16;

} // namespace

// What the workers and the scan share. The workers hold it too, so it outlives any of them.
struct TThumbnailScan::Shared {
    QStringList files;
    QSize bound;
    std::mutex mutex;
    std::vector<std::optional<TThumbnailLoad>> results; // guarded by mutex
    std::atomic<bool> cancelled{false};
    // A hand-over is already on its way to the scan's thread: workers that finish meanwhile need not post
    // another, the one on its way takes their results too.
    std::atomic<bool> deliveryPosted{false};
};

TThumbnailScan::TThumbnailScan(QStringList files, QSize deviceBound, int threads, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
    shared_->files = std::move(files);
    shared_->bound = deviceBound;
    shared_->results.resize(static_cast<size_t>(shared_->files.size()));
    pool_.setMaxThreadCount(threads > 0 ? threads : std::max(1, QThread::idealThreadCount()));
}

TThumbnailScan::~TThumbnailScan() {
    shared_->cancelled = true;
    pool_.clear();
    pool_.waitForDone();
}

bool TThumbnailScan::IsCancelled() const {
    return shared_->cancelled;
}

int TThumbnailScan::FileCount() const {
    return static_cast<int>(shared_->files.size());
}

void TThumbnailScan::Start() {
    if (started_) return;
    started_ = true;
    if (shared_->files.isEmpty()) {
        Finish();
        return;
    }
    // The pool takes the files in the order they are queued, so they finish close to that order and the
    // hand-over seldom waits on a file behind the others.
    for (int index = 0; index < FileCount(); ++index) {
        pool_.start([shared = shared_, index, scan = this] {
            if (shared->cancelled) return;
            TThumbnailLoad load = PrepareThumbnailLoad(shared->files.at(index), shared->bound);
            {
                const std::lock_guard<std::mutex> lock(shared->mutex);
                if (shared->cancelled) return;
                shared->results[static_cast<size_t>(index)] = std::move(load);
            }
            // The scan is alive here: its destructor waits for every worker before it goes.
            if (!shared->deliveryPosted.exchange(true))
                QMetaObject::invokeMethod(
                    scan, [scan] { scan->Deliver(); }, Qt::QueuedConnection);
        });
    }
}

void TThumbnailScan::Deliver() {
    // Cleared before the results are taken: a worker finishing after this posts a new hand-over.
    shared_->deliveryPosted = false;
    std::vector<std::pair<int, TThumbnailLoad>> ready;
    bool more = false;
    {
        const std::lock_guard<std::mutex> lock(shared_->mutex);
        while (next_ < FileCount() && shared_->results[static_cast<size_t>(next_)]) {
            if (ready.size() == kFilesPerHandOver) {
                more = true;
                break;
            }
            auto& slot = shared_->results[static_cast<size_t>(next_)];
            ready.emplace_back(next_, std::move(*slot));
            slot.reset();
            ++next_;
        }
    }
    for (const auto& [index, load] : ready) {
        // OnReady may cancel the scan (or a command run meanwhile may): nothing is handed over after that.
        if (shared_->cancelled || done_) return;
        ++delivered_;
        if (OnReady) OnReady(index, load);
    }
    if (shared_->cancelled || done_) return;
    if (delivered_ == FileCount()) {
        Finish();
    } else if (more && !shared_->deliveryPosted.exchange(true)) {
        // The rest comes after the events waiting meanwhile: a command given now is not held up by a
        // thousand thumbnails that happen to be ready at once.
        QMetaObject::invokeMethod(
            this, [this] { Deliver(); }, Qt::QueuedConnection);
    }
}

void TThumbnailScan::Cancel() {
    shared_->cancelled = true;
    pool_.clear();
    if (!done_) Finish();
}

void TThumbnailScan::Finish() {
    if (done_) return;
    done_ = true;
    if (OnDone) OnDone();
}

} // namespace quillmark
