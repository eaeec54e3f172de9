// TPrefetch: decodes the photos the user is likely to show next, on a worker thread, at the size of the view.
//
// After a photo is shown, its neighbours in the strip are read and decoded for the fitted view
// (DecodePictureForView) while the user looks at it; stepping to one of them then shows pictures already in
// hand. At most two are held. Asking for other photos drops what is held and not asked for again, and a
// decode already running for a photo no longer wanted leaves nothing behind when it ends. Every format is
// decoded ahead but GIF, whose frames the view steps through itself. Whatever else the shown photo needs from
// the file (the window's metadata lists) is made on the same worker from the same bytes, by a function the
// owner gives.
#pragma once

#include "PictureDecoder.h"

#include <QByteArray>
#include <QDateTime>
#include <QSize>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quillmark {

// A photo decoded ahead: its bytes as read, and its picture for the view.
struct TPrefetched {
    QString File;
    qint64 Size = -1;
    QDateTime Modified;
    QSize Bound;
    QByteArray Bytes;
    std::shared_ptr<const DecodedPicture> Picture;
    // What the owner's read-also function made of the file; none without one.
    std::shared_ptr<void> Also;
};

// Makes more of a photo on the worker, right after its picture, from the bytes read for it (the whole file,
// as it was at `modified`), so the file is read once; must not throw.
using TReadAlso = std::function<std::shared_ptr<void>(const QString& file, const QByteArray& bytes,
                                                      const QDateTime& modified)>;

class TPrefetch {
public:
    // The most photos held or on their way.
    static constexpr int kMostHeld = 2;

    explicit TPrefetch(TReadAlso readAlso = {});
    // Waits for a decode in flight to end, and keeps nothing of it.
    ~TPrefetch();
    TPrefetch(const TPrefetch&) = delete;
    TPrefetch& operator=(const TPrefetch&) = delete;

    // The photos to have ready next (the first kMostHeld of them) for a view of bound device pixels.
    // Held photos among them are kept; every other one is dropped, and a decode running for one no longer
    // wanted is thrown away when it ends.
    void Request(const QStringList& files, QSize bound);
    // Drops everything held and wanted: the folder is closed, or the program ends.
    void Cancel();
    // The picture decoded ahead for file and bound, taken out; none when there is none, or when the file
    // has changed (size or time of modification) since it was read.
    std::optional<TPrefetched> Take(const QString& file, QSize bound);

    // Photos held now.
    int HeldCount() const;
    // Waits until nothing is wanted that is not held (tests and measurements).
    void WaitUntilIdle();

private:
    void Run();

    const TReadAlso readAlso_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    QStringList wanted_;
    QSize bound_;
    std::vector<TPrefetched> held_;
    std::deque<QString> queue_;
    // The photo being decoded, and for which view.
    QString inFlight_;
    QSize inFlightBound_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread worker_;
};

} // namespace quillmark
