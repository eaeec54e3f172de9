// Photos and folders dropped on the window, delivered as the window system delivers them: a drag that
// enters the window, moves over one of its parts and is dropped there.
#include "AppTestSupport.h"
#include "DropSupport.h"
#include "FileNames.h"
#include "PictureView.h"
#include "ThumbnailList.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollArea>
#include <QUrl>
#include <QWindow>

using namespace apptest;
using namespace quillmark;

namespace {

// A folder with three photos, a text file and a sub-folder of two more photos.
struct DropFolder {
    QTemporaryDir dir;
    QString path;
    DropFolder() : path(dir.path()) {
        WriteBytes(File("b.jpg"), ExifJpeg(40, 30));
        WriteBytes(File("C.JPG"), ExifJpeg(30, 40));
        WriteBytes(File("a.png"), Png(DistinctPixels(8, 6)));
        WriteBytes(File("notes.txt"), QByteArray("not a photo"));
        QDir(path).mkdir(QStringLiteral("trip"));
        WriteBytes(File("trip/z.jpg"), PlainJpeg(20, 20));
        WriteBytes(File("trip/y.JPG"), ExifJpeg(16, 16));
        WriteBytes(File("trip/readme.txt"), QByteArray("a text"));
    }
    QString File(const char* name) const { return path + QLatin1Char('/') + QString::fromLatin1(name); }
};

QList<QUrl> Urls(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    return urls;
}

struct DropResult {
    bool entered = false; // the window accepted the drag
    bool dropped = false; // and the drop
};

// Drags data over the window to the middle of one of its parts and drops it there, then lets the window
// open what it took.
DropResult DropOn(TForm1& form, QWidget* part, const QMimeData& data) {
    QWindow* window = form.windowHandle();
    const QPointF at = QPointF(part->mapTo(&form, part->rect().center()));
    DropResult result;
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                          Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    result.entered = enter.isAccepted();
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    if (!result.entered || !move.isAccepted()) {
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(window, &leave);
        return result;
    }
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    result.dropped = drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    QCoreApplication::processEvents();
    return result;
}

DropResult DropFiles(TForm1& form, QWidget* part, const QStringList& paths) {
    QMimeData data;
    data.setUrls(Urls(paths));
    return DropOn(form, part, data);
}

} // namespace

class DropTest : public apptest::TViewerTestCase {
    Q_OBJECT

private slots:
    void cleanup() {
        // No dialog is ever asked for, and the busy cursor is always given back.
        CheckCleanEnd();
        QVERIFY(TestPlatform().OpenRequests.empty());
        QVERIFY(TestPlatform().FolderTitles.isEmpty());
    }

    void oneFileIsShownAndAddedLikeOpenImage() {
        DropFolder folder;
        Viewer viewer({folder.File("C.JPG")});
        TForm1& form = viewer.form();
        const DropResult result = DropFiles(form, form.PictureView1, {folder.File("b.jpg")});
        QVERIFY(result.entered);
        QVERIFY(result.dropped);

        QCOMPARE(form.CurrentFile, folder.File("b.jpg"));
        QCOMPARE(form.LastOpenedImage, folder.File("b.jpg")); // Open Folder starts next to it
        QCOMPARE(viewer.StripCount(), 2);
        QCOMPARE(viewer.StripFile(1), folder.File("b.jpg"));
        QCOMPARE(form.ThumbnailList1->Thumbnails().ThumbnailAt(1)->Caption(), QStringLiteral("b.jpg"));
        QCOMPARE(form.ThumbnailList1->SelectedIndex(), -1);
        QCOMPARE(form.Label2->text(), QStringLiteral("Filename: b.jpg"));
        QCOMPARE(viewer.Column(form.ValueListEditor1, 1).first(), QStringLiteral("Quillmark"));
        QVERIFY(!form.PictureView1->Picture().IsEmpty());
        // The pan limits are those Open Image sets: the client area less the view.
        QCOMPARE(form.PanLimitX, form.ScrollBox1->viewport()->width() - form.PictureView1->width());
        QCOMPARE(form.PanLimitY, form.ScrollBox1->viewport()->height() - form.PictureView1->height());

        // The same photo again is added again, as Open Image would add it.
        QVERIFY(DropFiles(form, form.PictureView1, {folder.File("b.jpg")}).dropped);
        QCOMPARE(viewer.StripCount(), 3);
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    void severalFilesAreAddedInDropOrderAndTheFirstShown() {
        DropFolder folder;
        Viewer viewer;
        TForm1& form = viewer.form();
        // Dropped on the metadata list: the drop reaches the window whichever part is under the pointer.
        const DropResult result = DropFiles(
            form, form.ValueListEditor1, {folder.File("C.JPG"), folder.File("a.png"), folder.File("b.jpg")});
        QVERIFY(result.dropped);
        QCOMPARE(viewer.StripCount(), 3);
        QCOMPARE(viewer.StripFile(0), folder.File("C.JPG"));
        QCOMPARE(viewer.StripFile(1), folder.File("a.png"));
        QCOMPARE(viewer.StripFile(2), folder.File("b.jpg"));
        QCOMPARE(form.ThumbnailList1->Thumbnails().ThumbnailAt(2)->Caption(), QStringLiteral("b.jpg"));
        QCOMPARE(form.ThumbnailList1->RowCount(), 3);
        QCOMPARE(form.CurrentFile, folder.File("C.JPG"));
        QCOMPARE(form.Label2->text(), QStringLiteral("Filename: C.JPG"));
        // The added photos have their thumbnails; only the first is shown.
        QVERIFY(form.ThumbnailList1->Thumbnails().ThumbnailAt(1)->Picture().HasDecodedPicture());
        QCOMPARE(form.PictureView1->Picture().PixelWidth(), 30);

        // Next steps from the first photo through the dropped ones, as through a scanned folder.
        viewer.Click("ToolButton6");
        QCOMPARE(form.CurrentFile, folder.File("a.png"));
        viewer.Click("ToolButton6");
        QCOMPARE(form.CurrentFile, folder.File("b.jpg"));
    }

    void aFolderFillsTheStripLikeOpenFolder() {
        DropFolder folder;
        Viewer viewer({folder.File("b.jpg")});
        TForm1& form = viewer.form();
        const DropResult result = DropFiles(form, form.ThumbnailList1, {folder.File("trip")});
        QVERIFY(result.dropped);
        // The strip is emptied and filled with the folder's photos, sorted by name, and the first of them
        // is shown with its lists and labels, as after Open Folder.
        QCOMPARE(viewer.StripCount(), 2);
        QCOMPARE(viewer.StripFile(0), folder.File("trip/y.JPG"));
        QCOMPARE(viewer.StripFile(1), folder.File("trip/z.jpg"));
        QCOMPARE(form.ThumbnailList1->SelectedIndex(), 0);
        QVERIFY(!form.PictureView1->Picture().IsEmpty());
        QCOMPARE(form.CurrentFile, folder.File("trip/y.JPG"));
        QCOMPARE(form.Label2->text(), QStringLiteral("Filename: y.JPG"));
        QVERIFY(form.ProgressBar1->isHidden());

        // A folder URL with a trailing slash is the same folder.
        QMimeData data;
        data.setUrls({QUrl(QUrl::fromLocalFile(folder.path).toString() + QLatin1Char('/'))});
        QVERIFY(DropOn(form, form.ThumbnailList1, data).dropped);
        QCOMPARE(viewer.StripCount(), 3);
        QCOMPARE(viewer.StripFile(0), folder.File("a.png"));
        QCOMPARE(viewer.StripFile(1), folder.File("b.jpg"));
        QCOMPARE(viewer.StripFile(2), folder.File("C.JPG"));
    }

    void foldersListPicturesByContent() {
        QTemporaryDir dir;
        const auto file = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
        WriteBytes(file("a.JPEG"), PlainJpeg(8, 8));
        WriteBytes(file("b-no-extension"), PlainJpeg(8, 8));
        WriteBytes(file("c.png.bak"), Png(DistinctPixels(4, 4)));
        WriteBytes(file("notes.txt"), QByteArray("not a photo"));
        WriteBytes(file("sidecar.xmp"), QByteArray("<x:xmpmeta/>"));
        for (const char* sample : {"iPhone_11_Pro.heic", "Canon_EOS_70D.avif", "CanonRaw.cr3", "DNG.dng",
                                   "Nikon_COOLPIX_P7000.webp", "JXL2.jxl", "FujiFilm.raf"})
            QVERIFY(QFile::copy(SamplePath(sample), file(sample)));
        QStringList listed;
        for (const TFolderEntry& entry : ListPictureEntries(dir.path() + QLatin1Char('/')))
            listed << entry.Caption;
        QCOMPARE(listed, QStringList({"CanonRaw.cr3", "Canon_EOS_70D.avif", "DNG.dng", "FujiFilm.raf",
                                      "JXL2.jxl", "Nikon_COOLPIX_P7000.webp", "a.JPEG", "b-no-extension",
                                      "c.png.bak", "iPhone_11_Pro.heic"}));
    }

    void photosWinOverFoldersDroppedWithThem() {
        DropFolder folder;
        Viewer viewer({folder.File("C.JPG")});
        TForm1& form = viewer.form();
        QVERIFY(DropFiles(form, form.PictureView1,
                          {folder.File("trip"), folder.File("notes.txt"), folder.File("b.jpg")})
                    .dropped);
        // The strip keeps what it had; the folder is left alone, and so is the text file.
        QCOMPARE(viewer.StripCount(), 2);
        QCOMPARE(viewer.StripFile(0), folder.File("C.JPG"));
        QCOMPARE(viewer.StripFile(1), folder.File("b.jpg"));
        QCOMPARE(form.CurrentFile, folder.File("b.jpg"));
    }

    void refusesWhatItCannotOpen() {
        DropFolder folder;
        Viewer viewer({folder.File("C.JPG")});
        TForm1& form = viewer.form();
        const auto unchanged = [&] {
            QCOMPARE(viewer.StripCount(), 1);
            QCOMPARE(form.CurrentFile, folder.File("C.JPG"));
        };

        QMimeData text;
        text.setText(folder.File("b.jpg")); // a path as text, not as a file
        QVERIFY(!DropOn(form, form.PictureView1, text).entered);
        QMimeData web;
        web.setUrls({QUrl(QStringLiteral("https://quillmark.example.org/photo.jpg"))});
        QVERIFY(!DropOn(form, form.PictureView1, web).entered);
        QVERIFY(!DropFiles(form, form.PictureView1, {folder.File("notes.txt")}).entered);
        QVERIFY(!DropFiles(form, form.PictureView1, {folder.File("gone.jpg")}).entered);
        unchanged();

        // A photo that disappears while it is being dragged: the drop is refused when it lands.
        QMimeData late;
        late.setUrls(Urls({folder.path + QStringLiteral("/late.jpg")}));
        WriteBytes(folder.path + QStringLiteral("/late.jpg"), PlainJpeg(8, 8));
        const QPoint at = form.PictureView1->mapTo(&form, form.PictureView1->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &late, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.windowHandle(), &enter);
        QVERIFY(enter.isAccepted());
        QVERIFY(QFile::remove(folder.path + QStringLiteral("/late.jpg")));
        QDropEvent drop(QPointF(at), Qt::CopyAction, &late, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.windowHandle(), &drop);
        QVERIFY(!drop.isAccepted());
        QCoreApplication::processEvents();
        unchanged();
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    void aDamagedPhotoIsOpenedWithoutHarm() {
        DropFolder folder;
        Viewer viewer;
        TForm1& form = viewer.form();
        // JPEG markers and then nothing that decodes; and an empty file under a photo's name.
        WriteBytes(folder.File("broken.jpg"), QByteArray::fromHex("FFD8FFE10008457869660000FFD9"));
        WriteBytes(folder.File("empty.tif"), QByteArray());
        QVERIFY(DropFiles(form, form.PictureView1, {folder.File("broken.jpg"), folder.File("empty.tif")})
                    .dropped);
        QCOMPARE(viewer.StripCount(), 2);
        QCOMPARE(form.CurrentFile, folder.File("broken.jpg"));
        QVERIFY(form.PictureView1->Picture().IsEmpty());
        QVERIFY(!form.ThumbnailList1->Thumbnails().ThumbnailAt(1)->Picture().HasDecodedPicture());
    }

    void sortsADropsUrls() {
        DropFolder folder;
        QVERIFY(ReadDrop(nullptr).IsEmpty());
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(folder.File("trip")), QUrl::fromLocalFile(folder.File("b.jpg")),
                      QUrl(QStringLiteral("https://example.org/x.jpg")), QUrl::fromLocalFile(folder.path),
                      QUrl::fromLocalFile(folder.File("notes.txt")),
                      QUrl::fromLocalFile(folder.File("C.JPG")),
                      QUrl::fromLocalFile(folder.File("trip/../a.png"))});
        const TDroppedItems items = ReadDrop(&data);
        QCOMPARE(items.Photos,
                 QStringList({folder.File("b.jpg"), folder.File("C.JPG"), folder.File("a.png")}));
        QCOMPARE(items.Folder, folder.File("trip")); // the first folder of the drop

        for (const char* name :
             {"x.jpg", "X.JPEG", "scan.TIF", "scan.tiff", "raw.NEF", "a.gif", "a.png", "a.bmp", "favicon.ico",
              "photo.webp", "IMG_1.HEIC", "a.avif", "a.jxl", "IMG_2.CR3", "a.dng", "a.arw", "a.raf"})
            QVERIFY2(IsPictureFileName(QString::fromLatin1(name)), name);
        // Types the viewer cannot show are not offered.
        for (const char* name : {"notes.txt", "photo.jpg.xmp", "jpg", "photo.", "archive.zip", "old.pcx",
                                 "cursor.ani", "clip.emf", "clip.wmf"})
            QVERIFY2(!IsPictureFileName(QString::fromLatin1(name)), name);
    }
};

QUILLMARK_APP_TEST_MAIN(DropTest)
#include "DropTest.moc"
