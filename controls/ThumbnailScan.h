// TThumbnailScan: reads and decodes the thumbnails of a list of files on worker threads, and hands them over
// on the thread that made the scan, one file after another in the list's order.
//
// A folder of camera photos takes seconds to decode even at a thumbnail's size; done here, the window that
// fills its strip goes on painting and taking input meanwhile, and each core decodes a photo of its own.
// What a worker makes is exactly what a thumbnail's LoadFile makes (PrepareThumbnailLoad), so a strip filled
// from a scan is the strip that loading the files one by one would give.
#pragma once

#include "PictureHolder.h"

#include <QObject>
#include <QSize>
#include <QStringList>
#include <QThreadPool>

#include <functional>
#include <memory>

namespace quillmark {

class TThumbnailScan : public QObject {
    Q_OBJECT

public:
    // deviceBound: the device pixels each picture is decoded for (TThumbnailList::PictureDecodeBound).
    // threads: the most workers at once; 0 takes one per core.
    TThumbnailScan(QStringList files, QSize deviceBound, int threads = 0, QObject* parent = nullptr);
    // Cancels the scan and waits for the workers still decoding (each finishes its one file).
    ~TThumbnailScan() override;

    // Queues every file. An empty list is done at once.
    void Start();
    // Stops handing over: nothing more reaches OnReady, files not yet begun are not read, and what the
    // workers still finish is dropped. OnDone follows at once, if the scan was not done already.
    void Cancel();

    bool IsDone() const { return done_; }
    bool IsCancelled() const;
    int FileCount() const;
    // Files handed over so far.
    int Delivered() const { return delivered_; }
    int Threads() const { return pool_.maxThreadCount(); }

    // Each file in the list's order, on this object's thread: its index in the list and what was found.
    std::function<void(int index, const TThumbnailLoad& load)> OnReady;
    // Once, after the last file was handed over, or when the scan was cancelled.
    std::function<void()> OnDone;

private:
    struct Shared;
    void Deliver();
    void Finish();

    std::shared_ptr<Shared> shared_;
    QThreadPool pool_;
    int next_ = 0; // guarded by the shared mutex
    int delivered_ = 0;
    bool started_ = false;
    bool done_ = false;
};

} // namespace quillmark
