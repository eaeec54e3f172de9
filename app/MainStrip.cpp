// Opening photos and folders, the folder scan that fills the strip, and moving through the strip.
#include "MainView.h"

#include "FileNames.h"
#include "MainViewParts.h"
#include "PictureOps.h"
#include "PictureView.h"
#include "Prefetch.h"
#include "ThumbnailList.h"
#include "ThumbnailScan.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressBar>
#include <QThread>

#include <algorithm>
#include <exception>
#include <utility>

namespace quillmark {

namespace {

// Runs a function when a window is asked to close, for as long as it lives.
class TCloseWatcher : public QObject {
public:
    TCloseWatcher(QObject* window, std::function<void()> onClose)
        : window_(window), onClose_(std::move(onClose)) {
        window_->installEventFilter(this);
    }
    ~TCloseWatcher() override { window_->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Close) onClose_();
        return false;
    }

private:
    QObject* window_;
    std::function<void()> onClose_;
};

bool AnyWindowVisible() {
    for (const QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) return true;
    return false;
}

} // namespace

void TForm1::OpenPhoto() {
    TFileDialogRequest request;
    request.Title = tr("Open Image");
    request.Folder = QStringLiteral(".");
    request.Filters = OpenImageFilters();
    const QString chosen = Platform().OpenFileName(this, request);
    if (chosen.isEmpty()) return;
    OpenImageFile(chosen);
}

void TForm1::OpenImageFile(const QString& chosen) {
    LastOpenedImage = chosen;
    TBusyCursor busy;
    ShowPhoto(chosen, true);
    SetPanLimits();
}

void TForm1::OpenFolder() {
    const QString last = LastOpenedImage.trimmed();
    QString start = last.isEmpty() ? QDir::homePath() : QFileInfo(last).path();
    if (!QFileInfo(start).isDir()) start.clear();
    const QString chosen = Platform().ChooseFolder(this, tr(kFolderPickerTitle), start);
    if (chosen.isEmpty()) return;
    OpenFolderPath(chosen);
}

void TForm1::OpenFolderPath(const QString& chosen) {
    CancelScan();
    if (Prefetch) Prefetch->Cancel();
    PictureView1->SetPicture(nullptr);
    Platform().ProcessEvents();
    ThumbnailList1->Thumbnails().ClearThumbnails();
    CurrentFile.clear();
    UpdateCommandStates();
    ScanFolder(chosen);
}

int32_t TForm1::CountMatches(QString folder, const QString& pattern) {
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    return int32_t(dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System).size());
}

void TForm1::ScanFolder(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    // One scan fills the strip at a time: one still running adds nothing more from here on.
    CancelScan();
    TBusyCursor busy;
    ThumbnailList1->BeginFill();
    // The strip shows its rows again however the scan ends.
    struct FillGuard {
        TThumbnailList* list;
        QProgressBar* bar;
        ~FillGuard() {
            list->EndFill();
            bar->setValue(0);
            bar->setVisible(false);
        }
    } guard{ThumbnailList1, ProgressBar1};

    // Names match in any letter case (cameras write ".JPG"); entries come sorted by name, so a folder
    // always fills the strip in the same order. Folders whose names match are listed too (Next and Prior
    // pass over them), and so are names that are not valid UTF-8.
    const std::vector<TFolderEntry> entries = ListJpegEntries(folder);
    // The bar counts the files; a folder's entry goes past its end and leaves it full.
    const auto files = std::count_if(entries.begin(), entries.end(), [](const TFolderEntry& entry) {
        return !QFileInfo(entry.Path).isDir();
    });
    ProgressBar1->setRange(0, int(files));
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(true);
    QStringList paths;
    paths.reserve(qsizetype(entries.size()));
    for (const TFolderEntry& entry : entries)
        paths << entry.Path;

    // The files are read and decoded on worker threads, one per core, while this thread adds their
    // thumbnails in the listing's order, moves the progress bar and goes on handling the window's events.
    // Each thumbnail is what loading its file here would make, so the strip is the same either way.
    TThumbnailScan scan(paths, ThumbnailList1->PictureDecodeBound());
    TThumbnails& strip = ThumbnailList1->Thumbnails();
    // Photos opened while the scan runs are appended behind the folder's, as they would have been had the
    // scan held the window until it was done.
    int insertAt = strip.ThumbnailCount();
    int32_t k = 0;
    QEventLoop loop;
    std::exception_ptr failure;
    scan.OnReady = [&](int index, const TThumbnailLoad& load) {
        try {
            insertAt = std::min(insertAt, strip.ThumbnailCount());
            TThumbnail* thumbnail = strip.InsertThumbnail(insertAt++);
            thumbnail->Picture().LoadPrepared(paths.at(index), load);
            thumbnail->SetCaption(entries.at(size_t(index)).Caption);
            thumbnail->SetFilename(paths.at(index));
            ProgressBar1->setValue(++k); // repaints the bar whenever what it shows changes
            setWindowTitle(TitleText());
        } catch (...) {
            failure = std::current_exception();
            scan.Cancel();
        }
    };
    scan.OnDone = [&loop] { loop.quit(); };
    // Closing the window stops the scan: nobody waits for the strip any more.
    bool closed = false;
    TCloseWatcher watcher(this, [&] {
        closed = true;
        scan.Cancel();
    });
    scan_ = &scan;
    scan.Start();
    // The loop ends when the scan is done or cancelled, and when the application quits, which cancels it.
    if (!scan.IsDone()) loop.exec();
    scan.Cancel();
    if (scan_ == &scan) scan_ = nullptr;
    // A scan of the folder given on the command line runs before the application's own loop, and a window
    // closed then would not end the application: its loop, once begun, would wait for a window that is gone.
    if (closed && QThread::currentThread()->loopLevel() == 0 && QGuiApplication::quitOnLastWindowClosed() &&
        !AnyWindowVisible())
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    setWindowTitle(TitleText());
    if (failure) std::rethrow_exception(failure);
}

void TForm1::CancelScan() {
    if (scan_) scan_->Cancel();
    scan_ = nullptr;
}

int TForm1::StripIndexOf(const QString& fileName) const {
    const TThumbnails& strip = ThumbnailList1->Thumbnails();
    const int selected = ThumbnailList1->SelectedIndex();
    if (selected >= 0 && selected < strip.ThumbnailCount() &&
        strip.ThumbnailAt(selected)->Filename() == fileName)
        return selected;
    for (int i = 0; i < strip.ThumbnailCount(); ++i)
        if (strip.ThumbnailAt(i)->Filename() == fileName) return i;
    return -1;
}

int TForm1::NextReadable(int from, int step) const {
    const TThumbnails& strip = ThumbnailList1->Thumbnails();
    for (int i = from + step; i >= 0 && i < strip.ThumbnailCount(); i += step) {
        // A folder whose name looks like a photo's, or a file that is gone or may not be read, is passed
        // over rather than stopping the way.
        const QFileInfo entry(strip.ThumbnailAt(i)->Filename());
        if (entry.isFile() && entry.isReadable()) return i;
    }
    return -1;
}

void TForm1::ShowStripPhoto(int index) {
    // Nothing to go to (an empty strip, or the end of it) is no failure: nothing happens.
    if (index < 0 || index >= ThumbnailList1->Thumbnails().ThumbnailCount()) return;
    ThumbnailList1->SetSelectedIndex(index);
    ShowPhoto(ThumbnailList1->Thumbnails().ThumbnailAt(index)->Filename(), false);
}

void TForm1::ThumbnailList1Click() {
    ShowPhoto(ThumbnailList1->Thumbnails().ThumbnailAt(ThumbnailList1->SelectedIndex())->Filename(), false);
}

// Where Prior and Next count from: the shown photo's place, or the selected thumbnail's.
void TForm1::FirstPhoto() {
    ShowStripPhoto(NextReadable(-1, 1));
}

void TForm1::PriorPhoto() {
    const int here = CurrentFile.isEmpty() ? ThumbnailList1->SelectedIndex() : StripIndexOf(CurrentFile);
    if (here <= 0) return;
    ShowStripPhoto(NextReadable(here, -1));
}

void TForm1::NextPhoto() {
    const int here = CurrentFile.isEmpty() ? ThumbnailList1->SelectedIndex() : StripIndexOf(CurrentFile);
    ShowStripPhoto(NextReadable(std::max(here, -1), 1));
}

void TForm1::LastPhoto() {
    ShowStripPhoto(NextReadable(ThumbnailList1->Thumbnails().ThumbnailCount(), -1));
}

void TForm1::CloseAll() {
    CancelScan();
    if (Prefetch) Prefetch->Cancel();
    PictureView1->SetPicture(nullptr);
    ThumbnailList1->Thumbnails().ClearThumbnails();
    CurrentFile.clear();
    UpdateCommandStates();
}

} // namespace quillmark
