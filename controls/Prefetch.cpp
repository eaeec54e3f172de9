#include "Prefetch.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace quillmark {

namespace {

struct FileStamp {
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const QString& file) {
    const QFileInfo info(file);
    if (!info.isFile()) return {};
    return {info.size(), info.lastModified()};
}

// Reads and decodes one photo for the view, exactly as the view would; none for a file that cannot be read
// or decoded, or that changed while it was read, and none for a GIF, whose frames the view steps through
// itself. Never throws: it runs on the worker.
std::optional<TPrefetched> DecodeAhead(const QString& fileName, QSize bound, const TReadAlso& readAlso) {
    try {
        const FileStamp before = StampOf(fileName);
        if (before.size < 0) return std::nullopt;
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError || bytes.startsWith("GIF8")) return std::nullopt;
        file.close();
        DecodeResult result = DecodePictureForView(bytes, bound);
        if (result.status != DecodeStatus::Decoded || !result.picture) return std::nullopt;
        std::shared_ptr<void> also = readAlso ? readAlso(fileName, bytes, before.modified) : nullptr;
        // Both were made from the file as it was when it was read.
        if (StampOf(fileName) != before) return std::nullopt;
        return TPrefetched{fileName,       before.size,      before.modified,
                           bound,          std::move(bytes), std::move(result.picture),
                           std::move(also)};
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

TPrefetch::TPrefetch(TReadAlso readAlso) : readAlso_(std::move(readAlso)), worker_([this] { Run(); }) {}

TPrefetch::~TPrefetch() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
        held_.clear();
        wanted_.clear();
    }
    wake_.notify_all();
    idle_.notify_all();
    worker_.join();
}

void TPrefetch::Request(const QStringList& files, QSize bound) {
    {
        std::lock_guard lock(mutex_);
        wanted_ = files.mid(0, kMostHeld);
        if (bound != bound_) held_.clear();
        bound_ = bound;
        std::erase_if(held_, [&](const TPrefetched& held) { return !wanted_.contains(held.File); });
        queue_.clear();
        for (const QString& file : std::as_const(wanted_)) {
            // One on its way for this view is not decoded twice.
            const bool coming = busy_ && file == inFlight_ && bound == inFlightBound_;
            if (!coming && std::none_of(held_.begin(), held_.end(),
                                        [&](const TPrefetched& h) { return h.File == file; }))
                queue_.push_back(file);
        }
    }
    wake_.notify_all();
}

void TPrefetch::Cancel() {
    std::lock_guard lock(mutex_);
    wanted_.clear();
    queue_.clear();
    held_.clear();
    idle_.notify_all();
}

std::optional<TPrefetched> TPrefetch::Take(const QString& file, QSize bound) {
    std::optional<TPrefetched> taken;
    {
        std::lock_guard lock(mutex_);
        const auto at = std::find_if(held_.begin(), held_.end(), [&](const TPrefetched& h) {
            return h.File == file && h.Bound == bound;
        });
        if (at == held_.end()) return std::nullopt;
        taken = std::move(*at);
        held_.erase(at);
    }
    if (StampOf(file) != FileStamp{taken->Size, taken->Modified}) return std::nullopt;
    return taken;
}

int TPrefetch::HeldCount() const {
    std::lock_guard lock(mutex_);
    return int(held_.size());
}

void TPrefetch::WaitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return stop_ || (queue_.empty() && !busy_); });
}

void TPrefetch::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        const QString file = queue_.front();
        queue_.pop_front();
        const QSize bound = bound_;
        busy_ = true;
        inFlight_ = file;
        inFlightBound_ = bound;
        lock.unlock();
        std::optional<TPrefetched> decoded = DecodeAhead(file, bound, readAlso_);
        lock.lock();
        busy_ = false;
        inFlight_.clear();
        // Kept only when it is still wanted, for the same view, and not already in hand.
        if (decoded && !stop_ && bound == bound_ && wanted_.contains(file) &&
            std::none_of(held_.begin(), held_.end(), [&](const TPrefetched& h) { return h.File == file; }))
            held_.push_back(std::move(*decoded));
        decoded.reset(); // a picture no longer wanted goes now, not at the next request
        if (queue_.empty()) idle_.notify_all();
    }
}

} // namespace quillmark
