// Filling the strip from a folder on worker threads: the same strip as loading one file after another, the
// progress bar and the window's events meanwhile, and scans stopped by Close All, by another folder and by
// closing the window.
#include "AppTestSupport.h"

#include "ExifThumbnailFiles.h"
#include "PictureView.h"

#include <QLoggingCategory>
#include <QProgressBar>
#include <QTimer>

using namespace apptest;
using namespace exifthumbs;

namespace {

// A folder of every kind of entry a scan meets: photos with and without EXIF thumbnails (big ones first,
// so that the workers finish out of order), upper-case names, a hidden photo, a PNG and a damaged file under
// photo names, a folder whose name looks like a photo, and a file that is no photo.
struct ScanFolderFiles {
    QTemporaryDir dir;
    QString path;
    explicit ScanFolderFiles(int photos = 12) : path(dir.path()) {
        const QColor colors[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
        for (int i = 0; i < photos; ++i) {
            const QColor color = colors[i % 4];
            const std::string bytes =
                i % 2 ? PhotoWithThumbnail(Solid(1600, 1200, Qt::gray), Halves(160, 120, color, Qt::black))
                      : PhotoWithoutThumbnail(Halves(1600 - 40 * i, 1200, color, Qt::white));
            WriteBytes(File(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'))), bytes);
        }
        WriteBytes(File("UPPER.JPG"),
                   PhotoWithThumbnail(Solid(800, 600, Qt::gray), Solid(160, 120, Qt::cyan)));
        WriteBytes(File(".hidden.jpg"), PlainJpeg(20, 10));
        WriteBytes(File("png.jpg"), Png(DistinctPixels(30, 20)));
        WriteBytes(File("damaged.jpg"), QByteArray("\xFF\xD8\xFF\xE1\x00\x10garbage", 13));
        WriteBytes(File("notes.txt"), QByteArray("not a photo"));
        QDir(path).mkdir(QStringLiteral("album.jpg"));
    }
    QString File(const QString& name) const { return dir.filePath(name); }
    QString File(const char* name) const { return File(QString::fromLatin1(name)); }
};

struct Item {
    QString caption, file;
    bool empty = true, fromThumbnail = false;
    QSize display;
    QImage image;
    bool operator==(const Item& o) const {
        return caption == o.caption && file == o.file && empty == o.empty &&
               fromThumbnail == o.fromThumbnail && display == o.display && image == o.image;
    }
};

std::vector<Item> Items(const TThumbnails& strip) {
    std::vector<Item> items;
    for (int i = 0; i < strip.ThumbnailCount(); ++i) {
        const TThumbnail& t = *strip.ThumbnailAt(i);
        items.push_back({t.Caption(), t.Filename(), t.Picture().IsEmpty(), t.Picture().FromExifThumbnail(),
                         QSize(t.Picture().DisplayWidth(), t.Picture().DisplayHeight()),
                         t.Picture().ToImage()});
    }
    return items;
}

// The strip a scan that loads one file after another, as the window once did, leaves.
std::vector<Item> SerialStrip(const QString& folder, QSize bound) {
    TThumbnails strip;
    QStringList names = QDir(folder).entryList(
        {QStringLiteral("*.jpg")}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDir::Name);
    // In the strip's order: names as people read them.
    std::stable_sort(names.begin(), names.end(),
                     [](const QString& a, const QString& b) { return TForm1::CompareNames(a, b) < 0; });
    for (const QString& name : names) {
        TThumbnail* item = strip.AddThumbnail();
        item->Picture().SetDecodeBound(bound);
        item->Picture().LoadFile(folder + QLatin1Char('/') + name);
        item->SetCaption(name);
        item->SetFilename(folder + QLatin1Char('/') + name);
    }
    return Items(strip);
}

// Runs `action` once, from the event loop as a command the user gives, when the progress bar first reaches
// `at`.
void WhenProgressReaches(QProgressBar* bar, int at, std::function<void()> action) {
    auto fired = std::make_shared<bool>(false);
    QObject::connect(bar, &QProgressBar::valueChanged, bar, [bar, at, action, fired](int value) {
        if (value < at || *fired) return;
        *fired = true;
        QTimer::singleShot(0, bar, action);
    });
}

} // namespace

class ScanTest : public apptest::TViewerTestCase {
    Q_OBJECT

private slots:
    void initTestCase() {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
    }

    void fillsTheStripAsLoadingEachFileWould() {
        ScanFolderFiles folder;
        Viewer viewer;
        TForm1& form = viewer.form();
        const std::vector<Item> expected =
            SerialStrip(folder.path, form.ThumbnailList1->PictureDecodeBound());
        QCOMPARE(int(expected.size()), 12 + 5);

        QList<int> positions;
        bool barShownWhileScanning = false;
        connect(form.ProgressBar1, &QProgressBar::valueChanged, this, [&](int value) {
            positions << value;
            barShownWhileScanning = barShownWhileScanning || (value > 0 && form.ProgressBar1->isVisible());
        });
        // The window handles events while the scan runs.
        bool eventWhileScanning = false;
        QTimer::singleShot(0, [&] { eventWhileScanning = form.IsScanning(); });
        form.ScanFolder(folder.path);

        QVERIFY(eventWhileScanning);
        QVERIFY(!form.IsScanning());
        const std::vector<Item> strip = Items(form.ThumbnailList1->Thumbnails());
        QCOMPARE(int(strip.size()), int(expected.size()));
        for (size_t i = 0; i < strip.size(); ++i)
            QVERIFY2(strip[i] == expected[i], qPrintable(expected[i].caption));
        const auto upper =
            std::find_if(strip.begin(), strip.end(), [](const Item& i) { return i.caption == "UPPER.JPG"; });
        QVERIFY(upper != strip.end() && upper->fromThumbnail);
        QVERIFY(!strip[0].fromThumbnail && strip[0].image.width() > 0);
        QVERIFY(std::find_if(strip.begin(), strip.end(), [](const Item& i) {
                    return i.caption == "album.jpg";
                })->empty);

        // The bar counted the files (not the folder, whose item goes past the bar's end and leaves it full)
        // and moved through every position, then went.
        QCOMPARE(form.ProgressBar1->maximum(), 12 + 4);
        QVERIFY(barShownWhileScanning);
        QList<int> counted;
        for (int k = 1; k <= 12 + 4; ++k)
            counted << k;
        counted << 0;
        QCOMPARE(positions.mid(positions.indexOf(1)), counted);
        QVERIFY(form.ProgressBar1->isHidden());
        QCOMPARE(form.ProgressBar1->value(), 0);
        // Every row was there from the start; the first photo is shown and selected, the busy cursor gone.
        QCOMPARE(form.ThumbnailList1->FillDepth(), 0);
        QCOMPARE(form.ThumbnailList1->RowCount(), int(expected.size()));
        QCOMPARE(form.ThumbnailList1->SelectedIndex(), 0);
        QCOMPARE(form.CurrentFile, folder.File(".hidden.jpg"));
        QCOMPARE(TestPlatform().BusyDepth, 0);

        // An empty folder adds nothing and says so.
        QTemporaryDir empty;
        QVERIFY(!form.ScanFolder(empty.path()));
        QCOMPARE(viewer.StripCount(), int(expected.size()));
        QVERIFY(form.ProgressBar1->isHidden());
        QCOMPARE(TestPlatform().Messages.size(), 1);
    }

    void closeAllStopsTheScan() {
        ScanFolderFiles folder(40);
        Viewer viewer;
        TForm1& form = viewer.form();
        int countAtClose = -1;
        WhenProgressReaches(form.ProgressBar1, 2, [&] {
            viewer.Trigger("CloseAll1");
            countAtClose = viewer.StripCount();
        });
        form.ScanFolder(folder.path);
        QCOMPARE(countAtClose, 0);
        // Nothing of the scan comes after Close All, not even later.
        QTest::qWait(200);
        QCOMPARE(viewer.StripCount(), 0);
        QCOMPARE(form.ThumbnailList1->RowCount(), 0);
        QCOMPARE(form.ThumbnailList1->FillDepth(), 0);
        QVERIFY(form.ProgressBar1->isHidden());
        QVERIFY(!form.IsScanning());
        QCOMPARE(TestPlatform().BusyDepth, 0);
        // The window goes on: the same folder scans in full.
        form.ScanFolder(folder.path);
        QCOMPARE(viewer.StripCount(), 40 + 5);
    }

    void anotherFolderReplacesTheScan() {
        ScanFolderFiles first(40);
        ScanFolderFiles second(3);
        Viewer viewer;
        TForm1& form = viewer.form();
        const std::vector<Item> expected =
            SerialStrip(second.path, form.ThumbnailList1->PictureDecodeBound());
        TestPlatform().FolderAnswers << second.path;
        WhenProgressReaches(form.ProgressBar1, 2, [&] { viewer.Trigger("OpenFolder1"); });
        form.ScanFolder(first.path);
        QTest::qWait(200);
        // Only the second folder's thumbnails, in its order.
        const std::vector<Item> strip = Items(form.ThumbnailList1->Thumbnails());
        QCOMPARE(int(strip.size()), int(expected.size()));
        for (size_t i = 0; i < strip.size(); ++i)
            QVERIFY2(strip[i] == expected[i], qPrintable(expected[i].caption));
        QCOMPARE(form.ThumbnailList1->RowCount(), int(expected.size()));
        QCOMPARE(form.ThumbnailList1->FillDepth(), 0);
        QVERIFY(form.ProgressBar1->isHidden());
        QCOMPARE(TestPlatform().BusyDepth, 0);
    }

    void photosOpenedMeanwhileFollowTheFolder() {
        ScanFolderFiles folder(40);
        QTemporaryDir other;
        const QString photo = other.filePath(QStringLiteral("opened.jpg"));
        WriteBytes(photo, ExifJpeg(64, 48));
        Viewer viewer;
        TForm1& form = viewer.form();
        TestPlatform().OpenAnswers << photo;
        int countWhenOpened = -1;
        WhenProgressReaches(form.ProgressBar1, 3, [&] {
            countWhenOpened = viewer.StripCount();
            viewer.Trigger("OpenImage1");
        });
        form.ScanFolder(folder.path);
        // It is shown at once, and its thumbnail stands where it would after a scan that held the window.
        QVERIFY2(countWhenOpened > 0 && countWhenOpened < 40 + 5 + 1,
                 qPrintable(QString::number(countWhenOpened)));
        QCOMPARE(form.CurrentFile, photo);
        QCOMPARE(viewer.StripCount(), 40 + 5 + 1);
        QCOMPARE(viewer.StripFile(40 + 5), photo);
        QCOMPARE(viewer.StripFile(0), folder.File(".hidden.jpg"));
        QCOMPARE(form.ThumbnailList1->RowCount(), 40 + 5 + 1);
    }

    // Last: it runs the application's own event loop, which cannot be run twice in one test program.
    void closingTheWindowStopsTheScanAndQuits() {
        ScanFolderFiles folder(40);
        // Started with a folder, as from the command line: the scan runs before the application's loop.
        auto viewer = std::make_unique<TViewerWindows>(QStringList{folder.path});
        TForm1& form = viewer->Form1();
        WhenProgressReaches(form.ProgressBar1, 2, [&] { form.close(); });
        // The window is shown first; the folder is scanned from the application's loop, which the closed
        // window ends.
        form.show();
        QVERIFY(form.isVisible());
        QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!form.isVisible());
        QVERIFY(!form.IsScanning());
        int made = 0;
        const TThumbnails& strip = form.ThumbnailList1->Thumbnails();
        for (int i = 0; i < strip.ThumbnailCount(); ++i)
            made += strip.ThumbnailAt(i)->Picture().IsEmpty() ? 0 : 1;
        QVERIFY(made < 40 + 5);
        QCOMPARE(form.ThumbnailList1->FillDepth(), 0);
        viewer.reset();
    }
};

QUILLMARK_APP_TEST_MAIN(ScanTest)
#include "ScanTest.moc"
