// Opening photos and folders, the folder scan that fills the strip, and moving through the strip.
#include "MainView.h"

#include "FileNames.h"
#include "ImageInfo.h"
#include "MainViewParts.h"
#include "PictureOps.h"
#include "PictureView.h"
#include "Prefetch.h"
#include "ThumbnailList.h"
#include "ThumbnailScan.h"
#include "platform/Platform.h"

#include <QAction>
#include <QApplication>
#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
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
    request.Folder = DialogFolder();
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
    QString start = DialogFolder();
    if (!QFileInfo(start).isDir()) start.clear();
    const QString chosen = Platform().ChooseFolder(this, tr(kFolderPickerTitle), start);
    if (chosen.isEmpty()) return;
    OpenFolderPath(chosen);
}

void TForm1::OpenFolderPath(const QString& chosen) {
    CancelScan();
    if (Prefetch) Prefetch->Cancel();
    ClearShownPhoto();
    ThumbnailList1->Thumbnails().ClearThumbnails();
    UpdateCommandStates();
    ScanFolder(chosen);
}

int32_t TForm1::CountMatches(QString folder, const QString& pattern) {
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    return int32_t(dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System).size());
}

bool TForm1::ScanFolder(QString folder) {
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    // One scan fills the strip at a time: one still running adds nothing more from here on.
    CancelScan();
    const QFileInfo place(folder);
    if (!place.isDir() || !place.isReadable() || !place.isExecutable()) {
        Platform().ShowMessage(this, tr("The folder %1 cannot be read.").arg(DisplayPath(folder)));
        return false;
    }
    TBusyCursor busy;
    // Names match in any letter case (cameras write ".JPG"). Folders whose names match are listed too
    // (Next and Prior pass over them), and so are names that are not valid UTF-8.
    std::vector<TFolderEntry> entries = ListJpegEntries(folder);
    if (entries.empty()) {
        Platform().ShowMessage(this, tr("The folder %1 holds no photos.").arg(DisplayPath(folder)));
        return false;
    }
    SortEntries(entries);
    // The bar counts the files; a folder's entry goes past its end and leaves it full.
    const auto files = std::count_if(entries.begin(), entries.end(), [](const TFolderEntry& entry) {
        return !QFileInfo(entry.Path).isDir();
    });
    struct BarGuard {
        QProgressBar* bar;
        ~BarGuard() {
            bar->setValue(0);
            bar->setVisible(false);
        }
    } guard{ProgressBar1};
    ProgressBar1->setRange(0, int(files));
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(true);
    QStringList paths;
    paths.reserve(qsizetype(entries.size()));
    for (const TFolderEntry& entry : entries)
        paths << entry.Path;

    // Every photo has its place in the strip at once, a placeholder until its thumbnail is made: the
    // first photo is shown and the user can move through the folder while the thumbnails come. Photos
    // opened meanwhile are appended behind the folder's.
    TThumbnails& strip = ThumbnailList1->Thumbnails();
    const int first = strip.ThumbnailCount();
    ThumbnailList1->BeginFill();
    try {
        for (const TFolderEntry& entry : entries) {
            TThumbnail* thumbnail = strip.AddThumbnail();
            thumbnail->SetCaption(entry.Caption);
            thumbnail->SetFilename(entry.Path);
        }
    } catch (...) {
        ThumbnailList1->EndFill();
        throw;
    }
    ThumbnailList1->EndFill();
    setWindowTitle(TitleText());

    // The files are read and decoded on worker threads, one per core, while this thread puts each
    // thumbnail in its place as it comes, moves the progress bar and goes on handling the window's events.
    // Each thumbnail is what loading its file here would make, so the strip is the same either way.
    TThumbnailScan scan(paths, ThumbnailList1->PictureDecodeBound());
    int32_t k = 0;
    QEventLoop loop;
    std::exception_ptr failure;
    scan.OnReady = [&](int index, const TThumbnailLoad& load) {
        try {
            // The placeholder is found where it was put, unless Recycle has taken photos out since.
            const QString& path = paths.at(index);
            int at = first + index;
            if (at >= strip.ThumbnailCount() || strip.ThumbnailAt(at)->Filename() != path) {
                at = -1;
                for (int i = std::min(first + index, strip.ThumbnailCount() - 1); i >= 0 && at < 0; --i)
                    if (strip.ThumbnailAt(i)->Filename() == path) at = i;
            }
            if (at >= 0) strip.ThumbnailAt(at)->Picture().LoadPrepared(path, load);
            ProgressBar1->setValue(++k); // repaints the bar whenever what it shows changes
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
    // The first photo before the workers start: it is what the user waits for.
    if (CurrentFile.isEmpty()) ShowStripPhoto(NextReadable(first - 1, 1));
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
    return true;
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
    // A photo shown now replaces one a key was leading to.
    pendingIndex_ = -1;
    ThumbnailList1->SetSelectedIndex(index);
    ShowPhoto(ThumbnailList1->Thumbnails().ThumbnailAt(index)->Filename(), false);
}

void TForm1::ThumbnailList1Click() {
    pendingIndex_ = -1;
    ShowPhoto(ThumbnailList1->Thumbnails().ThumbnailAt(ThumbnailList1->SelectedIndex())->Filename(), false);
}

int TForm1::NavigationTarget(int which) const {
    const int count = ThumbnailList1->Thumbnails().ThumbnailCount();
    if (which == 0) return NextReadable(-1, 1);
    if (which == 3) return NextReadable(count, -1);
    // Where Prior and Next count from: the photo a key leads to, the shown photo's place, the gap a
    // recycled photo left, or the selected thumbnail.
    int here = pendingIndex_;
    if (here < 0 && !CurrentFile.isEmpty()) here = StripIndexOf(CurrentFile);
    if (here < 0 && CurrentFile.isEmpty() && gapAt_ >= 0) {
        const int gap = std::min(gapAt_, count);
        return which == 1 ? NextReadable(gap, -1) : NextReadable(gap - 1, 1);
    }
    if (here < 0 && CurrentFile.isEmpty()) here = ThumbnailList1->SelectedIndex();
    if (which == 1) return here <= 0 ? -1 : NextReadable(here, -1);
    return NextReadable(std::max(here, -1), 1);
}

void TForm1::QueueNavigation(int which) {
    ++navigationPresses_;
    const int target = NavigationTarget(which);
    if (target < 0) return; // the end of the strip: nothing happens
    // The frame moves at once; the photo follows once every key already waiting has been counted, so a
    // held key goes as far as it was held and no further.
    pendingIndex_ = target;
    ThumbnailList1->SetSelectedIndex(target);
    if (pendingShowPosted_) return;
    pendingShowPosted_ = true;
    QMetaObject::invokeMethod(
        this, [this] { ShowPendingPhoto(); }, Qt::QueuedConnection);
}

void TForm1::ShowPendingPhoto() {
    pendingShowPosted_ = false;
    const int index = pendingIndex_;
    if (index < 0) return;
    RunCommand([this, index] { ShowStripPhoto(index); });
}

void TForm1::FirstPhoto() {
    ShowStripPhoto(NavigationTarget(0));
}

void TForm1::PriorPhoto() {
    ShowStripPhoto(NavigationTarget(1));
}

void TForm1::NextPhoto() {
    ShowStripPhoto(NavigationTarget(2));
}

void TForm1::LastPhoto() {
    ShowStripPhoto(NavigationTarget(3));
}

void TForm1::CloseAll() {
    CancelScan();
    if (Prefetch) Prefetch->Cancel();
    ClearShownPhoto();
    ThumbnailList1->Thumbnails().ClearThumbnails();
    UpdateCommandStates();
}

QString TForm1::DialogFolder() const {
    for (const QString& file : {CurrentFile, LastOpenedImage.trimmed()})
        if (!file.isEmpty()) {
            const QString folder = QFileInfo(file).absolutePath();
            if (QFileInfo(folder).isDir()) return folder;
        }
    return QDir::homePath();
}

int TForm1::CompareNames(const QString& a, const QString& b) {
    // Names as people read them: IMG_2 before IMG_10, and letter case does not matter. A collator's numeric
    // mode needs ICU and a locale other than C, which a desktop session may lack: the runs of digits are
    // compared by value here, and the rest by the user's collation without letter case.
    static const QCollator collator = [] {
        QCollator made(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
        made.setNumericMode(true);
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    const auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digits = isDigit(a[i]);
        qsizetype ei = i, ej = j;
        while (ei < a.size() && isDigit(a[ei]) == digits)
            ++ei;
        while (ej < b.size() && isDigit(b[ej]) == isDigit(b[j]))
            ++ej;
        if (digits != isDigit(b[j])) {
            // Digits before letters, as in a listing sorted by number.
            return digits ? -1 : 1;
        }
        const QStringView x = QStringView(a).sliced(i, ei - i), y = QStringView(b).sliced(j, ej - j);
        int order = 0;
        if (digits) {
            // By value, however many digits: leading zeros aside, the longer number is the larger.
            qsizetype zx = 0, zy = 0;
            while (zx + 1 < x.size() && x[zx] == QLatin1Char('0'))
                ++zx;
            while (zy + 1 < y.size() && y[zy] == QLatin1Char('0'))
                ++zy;
            const QStringView vx = x.sliced(zx), vy = y.sliced(zy);
            order = vx.size() != vy.size() ? (vx.size() < vy.size() ? -1 : 1) : vx.compare(vy);
        } else {
            order = collator.compare(x, y);
            if (order == 0) order = x.compare(y, Qt::CaseInsensitive);
        }
        if (order != 0) return order < 0 ? -1 : 1;
        i = ei;
        j = ej;
    }
    if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
    // The same but for case or zeros: a fixed order all the same.
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

void TForm1::SortEntries(std::vector<TFolderEntry>& entries) const {
    const auto byName = [](const TFolderEntry& a, const TFolderEntry& b) {
        return CompareNames(a.Caption, b.Caption) < 0;
    };
    if (sortOrder_ == TSortOrder::Name) {
        std::stable_sort(entries.begin(), entries.end(), byName);
        return;
    }
    // Times as "yyyy:MM:dd HH:mm:ss", which sort as text: the EXIF original date, or the file's time.
    std::vector<std::pair<std::string, TFolderEntry>> keyed;
    keyed.reserve(entries.size());
    for (TFolderEntry& entry : entries) {
        std::string key;
        if (sortOrder_ == TSortOrder::DateTaken) {
            TimgData data(0);
            if (data.ProcessFile(ToFileName(entry.Path)) && data.ExifReader &&
                data.ExifReader->DateTimeOriginalPos != 0 && data.ExifReader->DateTimeText.size() >= 19)
                key = data.ExifReader->DateTimeText.substr(0, 19);
        }
        if (key.empty())
            key = QFileInfo(entry.Path)
                      .lastModified()
                      .toString(QStringLiteral("yyyy:MM:dd HH:mm:ss"))
                      .toStdString();
        keyed.emplace_back(std::move(key), std::move(entry));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&byName](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : byName(a.second, b.second);
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        entries[i] = std::move(keyed[i].second);
}

void TForm1::SetSortOrder(TSortOrder order) {
    sortOrder_ = order;
    for (const auto& [name, value] :
         {std::pair{"SortByName1", TSortOrder::Name}, std::pair{"SortByDate1", TSortOrder::DateTaken},
          std::pair{"SortByFileTime1", TSortOrder::FileTime}})
        if (auto* action = findChild<QAction*>(QString::fromLatin1(name))) {
            action->setCheckable(true);
            action->setChecked(value == order);
        }
    // The strip takes the new order; the shown photo stays shown and selected.
    TThumbnails& strip = ThumbnailList1->Thumbnails();
    if (strip.ThumbnailCount() < 2 || scan_) return;
    std::vector<TFolderEntry> entries;
    for (int i = 0; i < strip.ThumbnailCount(); ++i)
        entries.push_back({strip.ThumbnailAt(i)->Filename(), strip.ThumbnailAt(i)->Caption()});
    SortEntries(entries);
    TThumbnails sorted;
    for (const TFolderEntry& entry : entries)
        for (int i = 0; i < strip.ThumbnailCount(); ++i)
            if (strip.ThumbnailAt(i)->Filename() == entry.Path) {
                sorted.AddThumbnail()->Assign(*strip.ThumbnailAt(i));
                break;
            }
    ThumbnailList1->SetThumbnails(sorted);
    ThumbnailList1->SetSelectedIndex(StripIndexOf(CurrentFile));
    setWindowTitle(TitleText());
}

void TForm1::SortByName() {
    SetSortOrder(TSortOrder::Name);
}

void TForm1::SortByDateTaken() {
    SetSortOrder(TSortOrder::DateTaken);
}

void TForm1::SortByFileTime() {
    SetSortOrder(TSortOrder::FileTime);
}

} // namespace quillmark
