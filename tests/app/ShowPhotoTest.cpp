// How photos reach the window: the command-line argument, showing a photo and filling the three lists and
// the report, Open Image, Open Folder and the folder scan, the strip's click, First/Prior/Next/Last and
// Close All.
#include "AppTestSupport.h"
#include "CommentDialog.h"
#include "DropSupport.h"
#include "FileNames.h"
#include "PictureDecoder.h"
#include "PictureOps.h"
#include "PictureView.h"
#include "Prefetch.h"
#include "ThumbnailList.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QTableWidget>

#include <cstdio>
#include <unistd.h>

using namespace apptest;
using namespace quillmark;

namespace {

// A folder of three small photos and a few things that are not.
struct PhotoFolder {
    QTemporaryDir dir;
    QString path;
    PhotoFolder() : path(dir.path()) {
        WriteBytes(File("b.jpg"), ExifJpeg(40, 30));
        WriteBytes(File("C.JPG"), ExifJpeg(30, 40));
        WriteBytes(File("a.jpg"), PlainJpeg(20, 20));
        WriteBytes(File("notes.txt"), QByteArray("not a photo"));
        WriteBytes(File("d.xmp"), QByteArray("<?xpacket begin?><x:xmpmeta/>"));
    }
    QString File(const char* name) const { return path + QLatin1Char('/') + QString::fromLatin1(name); }
};

} // namespace

class ShowPhotoTest : public apptest::TViewerTestCase {
    Q_OBJECT

private slots:
    void startsWithAFileArgument() {
        PhotoFolder folder;
        Viewer viewer({folder.File("b.jpg"), folder.File("C.JPG")});
        TForm1& form = viewer.form();
        QCOMPARE(form.CurrentFile, folder.File("b.jpg"));
        QCOMPARE(viewer.StripCount(), 1);
        QCOMPARE(viewer.StripFile(0), folder.File("b.jpg"));
        QCOMPARE(form.ThumbnailList1->Thumbnails().ThumbnailAt(0)->Caption(), QStringLiteral("b.jpg"));
        QCOMPARE(form.ThumbnailList1->SelectedIndex(), -1);
        QVERIFY(!form.PictureView1->Picture().IsEmpty());
        QCOMPARE(form.Label1->text(), QStringLiteral("Folder: ") + folder.path + QLatin1Char('/'));
        QCOMPARE(form.Label2->text(), QStringLiteral("Filename: b.jpg"));
        QVERIFY(viewer.Column(form.ValueListEditor1, 1).contains(QStringLiteral("Quillmark")));
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    void startsWithAFolderArgument() {
        PhotoFolder folder;
        Viewer viewer({folder.path});
        TForm1& form = viewer.form();
        // Every ".jpg" in any letter case, sorted by name as people read it; the first photo is shown.
        QCOMPARE(viewer.StripCount(), 3);
        QCOMPARE(viewer.StripFile(0), folder.File("a.jpg"));
        QCOMPARE(viewer.StripFile(1), folder.File("b.jpg"));
        QCOMPARE(viewer.StripFile(2), folder.File("C.JPG"));
        QCOMPARE(form.ThumbnailList1->RowCount(), 3);
        QCOMPARE(form.ThumbnailList1->SelectedIndex(), 0);
        QCOMPARE(form.CurrentFile, folder.File("a.jpg"));
        QVERIFY(!form.PictureView1->Picture().IsEmpty());
        QCOMPARE(form.Label2->text(), QStringLiteral("Filename: a.jpg"));
        QVERIFY(form.ProgressBar1->isHidden());
    }

    void startsWithNeitherAndSaysSo() {
        Viewer viewer({QStringLiteral("/no/such/photo.jpg")});
        QCOMPARE(viewer.StripCount(), 0);
        QVERIFY(viewer.form().CurrentFile.isEmpty());
        QCOMPARE(TestPlatform().Messages, QStringList{"There is no photo or folder /no/such/photo.jpg."});
    }

    void showsACameraPhotoInTheThreeListsAndTheReport() {
        Viewer viewer;
        TForm1& form = viewer.form();
        const QString sample = SamplePath("Canon_PowerShot_S40.jpg");
        form.ShowPhoto(sample, false);

        for (QTableWidget* list :
             {form.ValueListEditor1, form.ValueListEditor2, form.ValueListEditor3, form.ValueListEditor4}) {
            QCOMPARE(list->columnCount(), 2);
            QCOMPARE(list->horizontalHeaderItem(0)->text(), QStringLiteral("Item"));
            QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("Details"));
            QCOMPARE(list->columnWidth(0), 150);
            // The values take what the list has past the items, 141 pixels at the least.
            QVERIFY(list->columnWidth(1) >= 141);
            QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
            QVERIFY(!list->isSortingEnabled());
        }

        const QStringList exifItems = viewer.Column(form.ValueListEditor1, 0);
        const QStringList exifDetails = viewer.Column(form.ValueListEditor1, 1);
        QCOMPARE(exifItems.mid(0, 3), (QStringList{"Make", "Model", "Orientation"}));
        QCOMPARE(exifDetails.mid(0, 3), (QStringList{"Canon", "Canon PowerShot S40", "Normal"}));
        QCOMPARE(exifItems.last(), QStringLiteral("Focal Length in 35mm Film"));
        QCOMPARE(exifDetails.last(), QStringLiteral("103.72"));

        const QStringList makerItems = viewer.Column(form.ValueListEditor2, 0);
        QCOMPARE(makerItems.first(), QStringLiteral("Macro mode"));
        QCOMPARE(makerItems.last(), QStringLiteral("OwnerName"));
        QCOMPARE(viewer.Column(form.ValueListEditor2, 1).last(), QStringLiteral("\"Andreas Huggel\""));

        QCOMPARE(viewer.Column(form.ValueListEditor3, 0),
                 (QStringList{"Make", "Model", "Title", "Subject", "Keywords", "Comments", "Author",
                              "Copyright", "FNumber", "ISO", "Flash", "White Balance", "Max Aperture",
                              "Shutter Speed", "Mettering Mode", "Lens", "Rating"}));
        QCOMPARE(viewer.Column(form.ValueListEditor3, 1),
                 (QStringList{"Canon", "Canon PowerShot S40", "", "", "", "", "", "", "F4.9", "",
                              "Off, auto mode", "Auto", "F2.8", "0.0020 sec (1/501)", "Center", "", ""}));
        // No XMP in this photo: the fourth list stays empty.
        QCOMPARE(form.ValueListEditor4->rowCount(), 0);

        // The report: the EXIF lines, then the maker's, the thumbnail's and the two summaries, in order.
        const QStringList memo = viewer.MemoLines();
        QCOMPARE(memo.first(), QStringLiteral("Make = Canon"));
        QCOMPARE(memo.count(QStringLiteral(" -- Maker Specific Data ---- ")), 1);
        const auto at = [&memo](const char* line) { return memo.indexOf(QString::fromLatin1(line)); };
        QVERIFY(at("Focal Length in 35mm Film = 103.72") < at(" -- Maker Specific Data ---- "));
        QVERIFY(at(" -- Maker Specific Data ---- ") < at(" -- Thumbnail Data ---- "));
        QCOMPARE(memo.at(at(" -- Thumbnail Data ---- ") + 1), QStringLiteral("Thumbnail Start = 1470"));
        QVERIFY(at(" -- Thumbnail Data ---- ") < at(" -- EXIF Summary -(short)--- "));
        QVERIFY(at(" -- EXIF Summary -(short)--- ") < at(" -- EXIF Summary -(long)---- "));
        QCOMPARE(memo.last(), QStringLiteral("Flash: No"));
        QVERIFY(form.Memo1->isHidden());
        QCOMPARE(form.CurrentFile, sample);
        QCOMPARE(viewer.StripCount(), 0);
    }

    void showsXmpInTheFourthList() {
        Viewer viewer;
        TForm1& form = viewer.form();
        // No EXIF: the XMP alone, its extension joined to the main packet.
        form.ShowPhoto(SamplePath("ExtendedXMP.jpg"), false);
        const QStringList items = viewer.Column(form.ValueListEditor4, 0);
        const QStringList details = viewer.Column(form.ValueListEditor4, 1);
        QCOMPARE(items.first(), QStringLiteral("xmpNote:HasExtendedXMP"));
        QVERIFY(items.contains(QStringLiteral("pdf:Title")));
        QCOMPARE(details.at(items.indexOf(QStringLiteral("pdf:Title"))), QStringLiteral("PDF Title"));
        QCOMPARE(viewer.Column(form.ValueListEditor1, 0), QStringList{"No Exif data in photo!"});
        QCOMPARE(form.ValueListEditor3->rowCount(), 17);
    }

    void showsACommentOnlyPhoto() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("note.jpg"));
        WriteBytes(path, CommentOnlyJpeg("First line\r\nsecond line"));
        Viewer viewer;
        TForm1& form = viewer.form();
        form.ShowPhoto(SamplePath("Canon_PowerShot_S40.jpg"), false);
        form.ShowPhoto(path, true);

        QCOMPARE(viewer.Column(form.ValueListEditor1, 0), QStringList{"No Exif data in photo!"});
        QCOMPARE(viewer.Column(form.ValueListEditor1, 1), QStringList{""});
        QCOMPARE(form.ValueListEditor2->rowCount(), 0);
        QCOMPARE(form.ValueListEditor3->rowCount(), 0);
        QCOMPARE(viewer.MemoLines(), (QStringList{"No Thumbnail", " ", " Comment Segment Available",
                                                  "First line", "second line"}));
        QCOMPARE(viewer.windows.frmComment().Memo1->toPlainText(), QStringLiteral("First line\nsecond line"));

        // A photo without a comment empties the dialog: it never shows another photo's comment.
        const QString plain = dir.filePath(QStringLiteral("plain.jpg"));
        WriteBytes(plain, PlainJpeg(8, 8));
        form.ShowPhoto(plain, false);
        QCOMPARE(viewer.Column(form.ValueListEditor1, 0), QStringList{"No Exif data in photo!"});
        QCOMPARE(form.Memo1->toPlainText(), QString());
        QCOMPARE(viewer.windows.frmComment().Memo1->toPlainText(), QString());
    }

    void missingFileChangesNothing() {
        Viewer viewer;
        TForm1& form = viewer.form();
        form.ShowPhoto(SamplePath("Canon_PowerShot_S40.jpg"), false);
        const int rows = form.ValueListEditor1->rowCount();
        form.ShowPhoto(QStringLiteral("/no/such.jpg"), true);
        QCOMPARE(TestPlatform().Messages, QStringList{"File does not exists: /no/such.jpg"});
        QCOMPARE(form.ValueListEditor1->rowCount(), rows);
        QCOMPARE(form.CurrentFile, SamplePath("Canon_PowerShot_S40.jpg"));
        QCOMPARE(viewer.StripCount(), 0);
    }

    void opensImagesThroughTheDialog() {
        PhotoFolder folder;
        Viewer viewer;
        TForm1& form = viewer.form();
        TestPlatform().OpenAnswers << folder.File("b.jpg") << folder.File("b.jpg") << QString();
        viewer.Trigger("OpenImage1");
        viewer.Click("ToolButton1");
        viewer.Trigger("OpenImage1"); // cancelled

        QCOMPARE(int(TestPlatform().OpenRequests.size()), 3);
        const TFileDialogRequest& request = TestPlatform().OpenRequests.front();
        // Nothing shown yet: the home folder; then the shown photo's folder.
        QCOMPARE(request.Folder, QDir::homePath());
        QCOMPARE(TestPlatform().OpenRequests.at(1).Folder, folder.path);
        // Every type the viewer shows, and nothing it cannot show.
        QCOMPARE(int(request.Filters.size()), 13);
        const QStringList every = request.Filters.front().Patterns;
        QVERIFY(request.Filters.front().Caption.startsWith(QStringLiteral("All pictures (*.jpg;*.jpeg;")));
        for (const char* pattern : {"*.jpg", "*.jpeg", "*.png", "*.webp", "*.heic", "*.avif", "*.jxl",
                                    "*.tif", "*.gif", "*.bmp", "*.cr3", "*.nef", "*.dng", "*.psd", "*.psb"})
            QVERIFY2(every.contains(QLatin1String(pattern)), pattern);
        for (const char* pattern : {"*.pcx", "*.ani", "*.emf", "*.wmf"})
            QVERIFY2(!every.contains(QLatin1String(pattern)), pattern);
        QCOMPARE(request.Filters[1].Caption, QStringLiteral("JPEG (*.jpg;*.jpeg;*.jpe;*.jfif)"));

        // The same file opened twice is in the strip twice; the fitted view leaves nothing to pan.
        QCOMPARE(viewer.StripCount(), 2);
        QCOMPARE(form.LastOpenedImage, folder.File("b.jpg"));
        QCOMPARE(form.CurrentFile, folder.File("b.jpg"));
        QCOMPARE(form.PanLimitX, 0);
        QCOMPARE(form.PanLimitY, 0);
        QVERIFY(TestPlatform().BusyTimes > 0);
    }

    void opensAFolderThroughThePicker() {
        PhotoFolder folder;
        QTemporaryDir other;
        WriteBytes(other.filePath(QStringLiteral("x.jpg")), PlainJpeg(10, 10));
        Viewer viewer;
        TForm1& form = viewer.form();

        // Nothing opened yet: the picker starts in the home folder.
        TestPlatform().FolderAnswers << QString();
        viewer.Click("ToolButton3");
        QCOMPARE(TestPlatform().FolderTitles, QStringList{"Select a folder of photos"});
        QCOMPARE(TestPlatform().FolderStarts, QStringList{QDir::homePath()});

        // After Open Image it starts in that photo's folder; choosing a folder refills the strip and
        // shows its first photo, with its lists.
        TestPlatform().OpenAnswers << other.filePath(QStringLiteral("x.jpg"));
        viewer.Trigger("OpenImage1");
        TestPlatform().FolderAnswers << folder.path;
        viewer.Trigger("OpenFolder1");
        QCOMPARE(TestPlatform().FolderStarts.last(), other.path());
        QCOMPARE(viewer.StripCount(), 3);
        QCOMPARE(viewer.StripFile(0), folder.File("a.jpg"));
        QCOMPARE(form.CurrentFile, folder.File("a.jpg"));
        QCOMPARE(form.Label2->text(), QStringLiteral("Filename: a.jpg"));
        QVERIFY(!form.PictureView1->Picture().IsEmpty());

        // Cancelling changes nothing.
        TestPlatform().FolderAnswers << QString();
        viewer.Trigger("OpenFolder1");
        QCOMPARE(viewer.StripCount(), 3);

        // The picker starts in the shown photo's folder; a folder that has gone away is not offered.
        TestPlatform().FolderAnswers << QString();
        viewer.Trigger("OpenFolder1");
        QCOMPARE(TestPlatform().FolderStarts.last(), folder.path);
        const QString gone = other.path();
        other.remove();
        viewer.Trigger("CloseAll1");
        TestPlatform().FolderAnswers << QString();
        viewer.Trigger("OpenFolder1");
        QCOMPARE(TestPlatform().FolderStarts.last(), QDir::homePath());
        QVERIFY2(!gone.isEmpty(), "the folder had a name");
    }

    void scanListsFoldersThatLookLikePhotos() {
        PhotoFolder folder;
        QVERIFY(QDir(folder.path).mkdir(QStringLiteral("album.jpg")));
        WriteBytes(folder.File(".hidden.jpg"), PlainJpeg(6, 6));
        QCOMPARE(TForm1::CountMatches(folder.path, QStringLiteral("*.jpg")), 4);
        QCOMPARE(TForm1::CountMatches(folder.path + QLatin1Char('/'), QStringLiteral("*.txt")), 1);
        QCOMPARE(TForm1::CountMatches(folder.path, QStringLiteral("*.gif")), 0);

        Viewer viewer;
        viewer.form().ScanFolder(folder.path);
        QCOMPARE(viewer.StripCount(), 5);
        QCOMPARE(viewer.StripFile(0), folder.File(".hidden.jpg"));
        QCOMPARE(viewer.StripFile(1), folder.File("a.jpg"));
        QCOMPARE(viewer.StripFile(2), folder.File("album.jpg"));
        QVERIFY(viewer.form().ThumbnailList1->Thumbnails().ThumbnailAt(2)->Picture().IsEmpty());
        QVERIFY(!viewer.form().ThumbnailList1->Thumbnails().ThumbnailAt(1)->Picture().IsEmpty());
        QVERIFY(viewer.form().ProgressBar1->isHidden());

        // Next and Prior pass over the folder; First and Last find the photos at the ends.
        TForm1& form = viewer.form();
        for (const auto& [button, shown] :
             {std::pair{"ToolButton26", "C.JPG"}, std::pair{"ToolButton5", "b.jpg"},
              std::pair{"ToolButton5", "a.jpg"}, std::pair{"ToolButton6", "b.jpg"},
              std::pair{"ToolButton10", ".hidden.jpg"}}) {
            viewer.Click(button);
            QCOMPARE(form.CurrentFile, folder.File(shown));
        }
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    void namesThatAreNotUtf8AreListedAndOpen() {
        QTemporaryDir dir;
        const QByteArray name = QByteArray("caf\xE9 ") + QByteArray::number(7) + ".jpg";
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
        {
            FILE* raw = std::fopen(path.constData(), "wb");
            QVERIFY(raw);
            const std::string bytes = ExifJpeg(40, 30);
            QCOMPARE(std::fwrite(bytes.data(), 1, bytes.size(), raw), bytes.size());
            std::fclose(raw);
        }
        WriteBytes(dir.filePath(QStringLiteral("plain.jpg")), PlainJpeg(8, 8));
        {
            // Named on the command line, or dropped on the window, the file opens under its real name.
            const char* argv[] = {"quillmark", "--", path.constData()};
            const QStringList given = ArgumentPaths({QFile::decodeName(path)}, 3, argv);
            QCOMPARE(FileNameBytes(given.value(0)), path);
            QMimeData dropped;
            dropped.setData(QStringLiteral("text/uri-list"),
                            "file://" + path.toPercentEncoding("/") + "\r\n");
            const TDroppedItems items = ReadDrop(&dropped);
            QCOMPARE(items.Photos.size(), 1);
            QCOMPARE(FileNameBytes(items.Photos.value(0)), path);
            Viewer fromLine(given);
            QCOMPARE(fromLine.form().PictureView1->Picture().PixelWidth(), 40);
            QCOMPARE(fromLine.form().Label2->text(), QString::fromUtf8("Filename: caf\uFFFD 7.jpg"));
        }
        Viewer viewer({dir.path()});
        TForm1& form = viewer.form();
        QCOMPARE(viewer.StripCount(), 2);
        viewer.Click("ToolButton10");
        QCOMPARE(form.ThumbnailList1->Thumbnails().ThumbnailAt(0)->Caption(),
                 QString::fromUtf8("caf\uFFFD 7.jpg"));
        QVERIFY(!form.PictureView1->Picture().IsEmpty());
        QCOMPARE(form.PictureView1->Picture().PixelWidth(), 40);
        QVERIFY(viewer.Column(form.ValueListEditor1, 1).contains(QStringLiteral("Quillmark")));
        QVERIFY(TestPlatform().Messages.isEmpty());
        // Recycled, the file itself goes (to the test home's trash).
        TestPlatform().ConfirmAnswers.push_back(true);
        viewer.Click("ToolButton22");
        QVERIFY(!QFile::exists(QFile::decodeName(path)) && ::access(path.constData(), F_OK) != 0);
        QCOMPARE(viewer.StripCount(), 1);
    }

    // A large photo is shown from a reduced decode; whatever works on its pixels gets the full ones, upright
    // as its orientation tag says: the same as a whole decode gives.
    void aReducedDecodeTurnsSavesAndCopiesTheFullPixels() {
        namespace craft = quillmark::craft;
        craft::TiffBlock tiff(false);
        tiff.Short(0, 0x0112, {6});
        craft::JpegFile file;
        file.Soi().Exif(tiff).Image(2400, 1600, 90);
        QTemporaryDir dir;
        const QString photo = dir.filePath(QStringLiteral("big.jpg"));
        WriteBytes(photo, file.Bytes());
        const QImage whole =
            DecodePicture(ReadAll(photo)).picture->Image().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(whole.size(), QSize(1600, 2400));

        Viewer viewer;
        TForm1& form = viewer.form();
        form.ShowPhoto(photo, false);
        const TPictureHolder& picture = form.PictureView1->Picture();
        const auto shown = picture.Decoded();
        QVERIFY(shown->FullDecodePending());
        QVERIFY(shown->KeptPixelSize().width() * 2 <= 1600);
        QCOMPARE(shown->SourceSize(), QSize(1600, 2400));
        QCOMPARE(picture.PixelWidth(), MulDiv(1600, form.PictureView1->logicalDpiX(), kDecoderDpi));

        viewer.Trigger("Copyimagetoclipboard1");
        QCOMPARE(int(TestPlatform().Clipboard.size()), 1);
        QCOMPARE(TestPlatform().Clipboard.front().convertToFormat(QImage::Format_RGB32), whole);

        form.ShowPhoto(photo, false);
        QVERIFY(picture.Decoded()->FullDecodePending());
        viewer.Trigger("RotateRight1");
        const QString png = dir.filePath(QStringLiteral("turned.png"));
        const QString jpg = dir.filePath(QStringLiteral("turned.jpg"));
        TestPlatform().SaveAnswers << png << jpg;
        viewer.Trigger("Saveas1");
        viewer.Trigger("Saveas1");
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32), RotateQuarterTurns(whole, 90));
        QCOMPARE(QImage(jpg).size(), QSize(2400, 1600));
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    void stepsThroughTheStrip() {
        PhotoFolder folder;
        Viewer viewer({folder.path});
        TForm1& form = viewer.form();
        TThumbnailList* strip = form.ThumbnailList1;

        // The folder opens on its first photo; no step wraps around.
        QCOMPARE(strip->SelectedIndex(), 0);
        QCOMPARE(form.CurrentFile, folder.File("a.jpg"));
        viewer.Click("ToolButton6");
        viewer.Click("ToolButton6");
        QCOMPARE(form.CurrentFile, folder.File("C.JPG"));
        viewer.Click("ToolButton6");
        QCOMPARE(strip->SelectedIndex(), 2);
        QCOMPARE(form.CurrentFile, folder.File("C.JPG"));
        viewer.Click("ToolButton5");
        QCOMPARE(strip->SelectedIndex(), 1);
        QCOMPARE(form.CurrentFile, folder.File("b.jpg"));
        viewer.Click("ToolButton10");
        QCOMPARE(strip->SelectedIndex(), 0);
        viewer.Click("ToolButton5");
        QCOMPARE(strip->SelectedIndex(), 0);
        QCOMPARE(form.CurrentFile, folder.File("a.jpg"));
        viewer.Click("ToolButton26");
        QCOMPARE(strip->SelectedIndex(), 2);
        QCOMPARE(form.CurrentFile, folder.File("C.JPG"));
        QCOMPARE(viewer.StripCount(), 3);
        QVERIFY(TestPlatform().Messages.isEmpty());

        // A click on a thumbnail shows its photo without adding one.
        QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, strip->CellRect(1).center());
        QCOMPARE(strip->SelectedIndex(), 1);
        QCOMPARE(form.CurrentFile, folder.File("b.jpg"));
        QCOMPARE(viewer.StripCount(), 3);

        // Next and Prior pass over a photo that has gone, and where nothing is left to go to they do
        // nothing, silently.
        QVERIFY(QFile::remove(folder.File("C.JPG")));
        viewer.Click("ToolButton6");
        QCOMPARE(strip->SelectedIndex(), 1);
        QVERIFY(QFile::remove(folder.File("a.jpg")));
        viewer.Click("ToolButton5");
        QCOMPARE(strip->SelectedIndex(), 1);
        QCOMPARE(form.CurrentFile, folder.File("b.jpg"));
        QVERIFY(TestPlatform().Messages.isEmpty());
    }

    // Next and Prior show the neighbours decoded ahead, and their metadata read ahead, without reading them
    // again; Close All lets go of them.
    void stepsShowTheNeighboursDecodedAhead() {
        PhotoFolder folder;
        Viewer viewer({folder.path});
        TForm1& form = viewer.form();
        const TPictureHolder& picture = form.PictureView1->Picture();
        QVERIFY(form.Prefetch);
        for (const char* button : {"ToolButton6", "ToolButton5"}) {
            form.Prefetch->WaitUntilIdle();
            // The first photo has none before it.
            QCOMPARE(form.Prefetch->HeldCount(), button[10] == '6' ? 1 : 2);
            const int decodes = picture.DecodeCount();
            viewer.Click(button);
            QCOMPARE(picture.DecodeCount(), decodes);
            QCOMPARE(form.CurrentFile, folder.File(button[10] == '6' ? "b.jpg" : "a.jpg"));
        }
        form.Prefetch->WaitUntilIdle();
        // The lists of a photo whose metadata was read ahead are those of the photo read anew.
        viewer.Click("ToolButton6");
        form.Prefetch->WaitUntilIdle();
        const TimgData* shownData = form.ImageData.get();
        viewer.Click("ToolButton6");
        QVERIFY(form.ImageData.get() != shownData);
        QCOMPARE(form.CurrentFile, folder.File("C.JPG"));
        QStringList ahead;
        for (QTableWidget* list : {form.ValueListEditor1, form.ValueListEditor2, form.ValueListEditor3})
            ahead << viewer.Column(list, 0) << viewer.Column(list, 1);
        form.Prefetch->Cancel();
        form.ShowPhoto(form.CurrentFile, false);
        QStringList anew;
        for (QTableWidget* list : {form.ValueListEditor1, form.ValueListEditor2, form.ValueListEditor3})
            anew << viewer.Column(list, 0) << viewer.Column(list, 1);
        QVERIFY(ahead.size() > 10);
        QCOMPARE(ahead, anew);
        form.Prefetch->WaitUntilIdle();
        viewer.Trigger("CloseAll1");
        QCOMPARE(form.Prefetch->HeldCount(), 0);
    }

    void stepsOnAnEmptyStripDoNothing() {
        Viewer viewer;
        for (const char* button : {"ToolButton10", "ToolButton26", "ToolButton6", "ToolButton5"})
            viewer.Click(button);
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_PageDown, Qt::Key_PageUp})
            QTest::keyClick(viewer.form().windowHandle(), key);
        QVERIFY(TestPlatform().Messages.isEmpty());
        QVERIFY(viewer.form().isVisible());
    }

    void closeAllEmptiesViewStripListsAndBar() {
        PhotoFolder folder;
        Viewer viewer({folder.File("b.jpg")});
        TForm1& form = viewer.form();
        QVERIFY(form.ValueListEditor1->rowCount() > 0);
        viewer.Trigger("CloseAll1");
        QCOMPARE(viewer.StripCount(), 0);
        QVERIFY(form.PictureView1->Picture().IsEmpty());
        for (QTableWidget* list : {form.ValueListEditor1, form.ValueListEditor2, form.ValueListEditor3})
            QCOMPARE(list->rowCount(), 0);
        QCOMPARE(form.CurrentFile, QString());
        QCOMPARE(form.Label2->text(), QStringLiteral("Filename:"));
        QCOMPARE(form.Label1->text(), QStringLiteral("Folder:"));
    }
};

QUILLMARK_APP_TEST_MAIN(ShowPhotoTest)
#include "ShowPhotoTest.moc"
