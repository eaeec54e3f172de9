// Browsing a folder as a photographer does: held keys, Recycle and Next, the wheel and pinch, the fitted and
// full-screen views, the strip's order, the slideshow and the key list, and the messages due where nothing
// else would say what happened.
#include "AppTestSupport.h"
#include "CommentDialog.h"
#include "PictureView.h"

#include <QLabel>
#include <QMenuBar>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QWheelEvent>

using namespace apptest;
using namespace quillmark;

namespace {

// A folder of photos named p1.jpg ... pN.jpg.
struct Folder {
    QTemporaryDir dir;
    explicit Folder(int count, int width = 24, int height = 16) {
        for (int i = 1; i <= count; ++i)
            WriteBytes(File(i), ExifJpeg(width, height));
    }
    QString File(int i) const { return dir.filePath(QStringLiteral("p%1.jpg").arg(i)); }
};

void PostKey(TForm1& form, Qt::Key key, int times) {
    for (int i = 0; i < times; ++i)
        QCoreApplication::postEvent(form.windowHandle(),
                                    new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(), i > 0));
}

void Wheel(QWidget* on, QPoint at, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWheelEvent event(at, on->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(on, &event);
}

// The photo under a point of the view port, as a fraction of the picture.
QPointF PictureFraction(TForm1& form, QPoint at) {
    const QRect view = form.PictureView1->geometry();
    return QPointF(double(at.x() - view.x()) / view.width(), double(at.y() - view.y()) / view.height());
}

} // namespace

class BrowsingTest : public apptest::TViewerTestCase {
    Q_OBJECT

private slots:
    // Held keys queue while a photo is shown: every press counts, the view goes where they lead, and it
    // shows that photo once, with its lists. Showing a photo never pumps the window's events.
    void heldKeysAllCountAndTheLatestWins() {
        Folder folder(12);
        Viewer viewer({folder.dir.path()});
        TForm1& form = viewer.form();
        QCOMPARE(form.CurrentFile, folder.File(1));
        const struct {
            Qt::Key key;
            int presses;
            int shown; // 1-based
        } steps[] = {{Qt::Key_PageDown, 7, 8},
                     {Qt::Key_PageUp, 3, 5},
                     {Qt::Key_PageDown, 30, 12},
                     {Qt::Key_Home, 2, 1},
                     {Qt::Key_End, 1, 12}};
        for (const auto& step : steps) {
            const int64_t before = form.NavigationPresses();
            PostKey(form, step.key, step.presses);
            QTRY_VERIFY(form.NavigationPresses() == before + step.presses && !form.NavigationPending());
            QCOMPARE(form.CurrentFile, folder.File(step.shown));
            QCOMPARE(form.ThumbnailList1->SelectedIndex(), step.shown - 1);
            QCOMPARE(form.Label2->text(), QStringLiteral("Filename: p%1.jpg").arg(step.shown));
            QVERIFY(form.ValueListEditor1->rowCount() > 0);
        }
        QCOMPARE(TestPlatform().Pumps, 0);
    }

    // A folder shows its first photo and a place for every photo before the first thumbnail is made; the
    // thumbnails then come one by one.
    void aFolderOpensAtOnce() {
        Folder folder(8, 640, 480);
        Viewer viewer;
        TForm1& form = viewer.form();
        int rows = -1, made = -1;
        QString shown;
        bool visible = false;
        connect(form.ProgressBar1, &QProgressBar::valueChanged, this, [&](int value) {
            if (value != 1) return;
            rows = form.ThumbnailList1->RowCount();
            shown = form.CurrentFile;
            visible = form.isVisible();
            made = 0;
            const TThumbnails& strip = form.ThumbnailList1->Thumbnails();
            for (int i = 0; i < strip.ThumbnailCount(); ++i)
                made += strip.ThumbnailAt(i)->Picture().IsEmpty() ? 0 : 1;
        });
        QVERIFY(form.ScanFolder(folder.dir.path()));
        QCOMPARE(rows, 8);
        QCOMPARE(shown, folder.File(1));
        QVERIFY(visible);
        QCOMPARE(made, 1);
    }

    // After Recycle, Next shows the photo that followed the recycled one and Prior the one before it.
    void recycleThenStepFromTheGap() {
        for (const auto& [button, shown] : {std::pair{"ToolButton6", 4}, std::pair{"ToolButton5", 2}}) {
            Folder folder(6);
            Viewer viewer({folder.dir.path()});
            TForm1& form = viewer.form();
            form.ThumbnailList1->SetSelectedIndex(2);
            viewer.form().ShowPhoto(folder.File(3), false);
            TestPlatform().ConfirmAnswers.push_back(true);
            // Delete recycles as Ctrl+Delete does.
            QTest::keyClick(form.windowHandle(), Qt::Key_Delete);
            QVERIFY(!QFile::exists(folder.File(3)));
            QVERIFY(form.CurrentFile.isEmpty());
            viewer.Click(button);
            QCOMPARE(form.CurrentFile, folder.File(shown));
        }
    }

    // Where nothing would otherwise happen without a word, a message says why; a step past the end says
    // nothing.
    void messagesWhereSilenceWouldMislead() {
        QTemporaryDir empty;
        Viewer viewer;
        TForm1& form = viewer.form();
        TestPlatform().FolderAnswers << empty.path();
        viewer.Trigger("OpenFolder1");
        QCOMPARE(TestPlatform().Messages, QStringList{"The folder " + empty.path() + "/ holds no photos."});
        form.OpenFolderPath(empty.filePath(QStringLiteral("gone")));
        QCOMPARE(TestPlatform().Messages.last(), "The folder " + empty.path() + "/gone/ cannot be read.");
        TestPlatform().NoBrowser = true;
        QTest::keyClick(form.windowHandle(), Qt::Key_F1);
        QVERIFY(TestPlatform().Messages.last().startsWith(QStringLiteral("No web browser could open")));
        const auto said = TestPlatform().Messages.size();
        QTest::keyClick(form.windowHandle(), Qt::Key_PageDown);
        QCOMPARE(TestPlatform().Messages.size(), said);
    }

    // The wheel moves through the photos; Ctrl+wheel and a pinch zoom about the pointer.
    void wheelAndPinch() {
        Folder folder(3, 400, 300);
        Viewer viewer({folder.dir.path()});
        TForm1& form = viewer.form();
        QWidget* port = form.ScrollBox1->viewport();
        Wheel(port, QPoint(50, 50), -120);
        QTRY_COMPARE(form.CurrentFile, folder.File(2));
        Wheel(port, QPoint(50, 50), 120);
        QTRY_COMPARE(form.CurrentFile, folder.File(1));

        form.SetZoom(4);
        const QPoint at(form.PictureView1->geometry().center() + QPoint(-20, 10));
        const QPointF under = PictureFraction(form, at);
        Wheel(port, at, 120, Qt::ControlModifier);
        QCOMPARE(form.ZoomFactor(), 4 * TForm1::kZoomStep);
        QVERIFY(std::abs(PictureFraction(form, at).x() - under.x()) < 0.02);
        QVERIFY(std::abs(PictureFraction(form, at).y() - under.y()) < 0.02);
        QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, at, at,
                                  port->mapToGlobal(at), 1.0, QPointF());
        QCoreApplication::sendEvent(port, &pinch);
        QCOMPARE(form.ZoomFactor(), 8 * TForm1::kZoomStep);
        QCOMPARE(form.CurrentFile, folder.File(1));
    }

    // Fit centres the photo and never enlarges one smaller than the view; F11 shows the picture alone.
    void fitCentresAndFullScreenShowsThePictureAlone() {
        const std::vector<QRect> placed =
            PicturePlacement(800, 600, PictureSizes{100, 68, 100, 68}, bpCenter, smShrink);
        QCOMPARE(placed, std::vector<QRect>{QRect(350, 266, 100, 68)});
        QCOMPARE(PicturePlacement(800, 600, PictureSizes{1600, 1000, 1600, 1000}, bpCenter, smShrink),
                 std::vector<QRect>{QRect(0, 50, 800, 500)});

        Viewer viewer;
        TForm1& form = viewer.form();
        QWidget* parts[] = {form.menuBar(), form.ToolBar1, form.ThumbnailList1, form.PageControl2,
                            form.btnAbout};
        QTest::keyClick(form.windowHandle(), Qt::Key_F11);
        QVERIFY(form.isFullScreen());
        for (QWidget* part : parts)
            QVERIFY(!part->isVisible());
        QVERIFY(form.PictureView1->isVisible());
        QTest::keyClick(form.windowHandle(), Qt::Key_Escape);
        QVERIFY(!form.isFullScreen());
        for (QWidget* part : parts)
            QVERIFY(part->isVisible());

        // Widening the lists widens the value column.
        QTableWidget* list = form.ValueListEditor1;
        form.Splitter1->setSizes({144, 400, 600});
        QTRY_COMPARE(list->columnWidth(1), list->viewport()->width() - list->columnWidth(0));
    }

    // Names as people read them; dates taken, or the files' times.
    void sortOrders() {
        QTemporaryDir dir;
        const struct {
            const char* name;
            const char* taken;
            int minutesOld;
        } files[] = {{"IMG_10.jpg", "2021:05:01 10:00:00", 1},
                     {"IMG_2.jpg", "2021:05:03 10:00:00", 3},
                     {"Zebra.jpg", nullptr, 2},
                     {"apple.jpg", "2021:05:02 10:00:00", 4}};
        for (const auto& file : files) {
            namespace craft = quillmark::craft;
            craft::TiffBlock tiff(false);
            const int exif = tiff.AddIfd();
            tiff.Ascii(0, 0x010F, "Quillmark").Link(0, craft::kExifIfdTag, exif);
            if (file.taken) tiff.Ascii(exif, 0x9003, file.taken);
            craft::JpegFile jpeg;
            jpeg.Soi().Exif(tiff).Image(8, 8, 85);
            const QString path = dir.filePath(QString::fromLatin1(file.name));
            WriteBytes(path, jpeg.Bytes());
            QFile handle(path);
            QVERIFY(handle.open(QIODevice::ReadWrite));
            QVERIFY(handle.setFileTime(QDateTime::currentDateTime().addSecs(-60 * file.minutesOld),
                                       QFileDevice::FileModificationTime));
        }
        const struct {
            const char* a;
            const char* b;
        } before[] = {
            {"IMG_2", "IMG_10"}, {"apple", "Zebra"}, {"x9y", "x10"}, {"a007", "a8"}, {"a1b", "A1c"}};
        for (const auto& [a, b] : before) {
            QVERIFY2(TForm1::CompareNames(QString::fromLatin1(a), QString::fromLatin1(b)) < 0, a);
            QVERIFY2(TForm1::CompareNames(QString::fromLatin1(b), QString::fromLatin1(a)) > 0, b);
        }
        Viewer viewer({dir.path()});
        const auto order = [&viewer] {
            QStringList names;
            for (int i = 0; i < viewer.StripCount(); ++i)
                names << QFileInfo(viewer.StripFile(i)).fileName();
            return names;
        };
        QCOMPARE(order(), (QStringList{"apple.jpg", "IMG_2.jpg", "IMG_10.jpg", "Zebra.jpg"}));
        viewer.Trigger("SortByDate1");
        // Zebra has no date taken: its file's time (2 minutes ago) stands in, after 2021.
        QCOMPARE(order(), (QStringList{"IMG_10.jpg", "apple.jpg", "IMG_2.jpg", "Zebra.jpg"}));
        QVERIFY(viewer.form().findChild<QAction*>("SortByDate1")->isChecked());
        QCOMPARE(viewer.form().CurrentFile, dir.filePath(QStringLiteral("apple.jpg")));
        QCOMPARE(viewer.form().ThumbnailList1->SelectedIndex(), 1);
        viewer.Trigger("SortByFileTime1");
        QCOMPARE(order(), (QStringList{"apple.jpg", "IMG_2.jpg", "Zebra.jpg", "IMG_10.jpg"}));
    }

    // F5 runs the slideshow and Escape ends it; '?' lists the keys; the comment dialog only shows.
    void slideshowKeysAndComment() {
        Folder folder(3);
        Viewer viewer({folder.dir.path()});
        TForm1& form = viewer.form();
        QTest::keyClick(form.windowHandle(), Qt::Key_F5);
        QVERIFY(form.SlideshowRunning());
        QTest::keyClick(form.windowHandle(), Qt::Key_Escape);
        QVERIFY(!form.SlideshowRunning());
        QVERIFY(form.isVisible());
        TestPlatform().InputAnswers.push_back(QStringLiteral("2"));
        viewer.Trigger("SlideshowInterval1");
        QCOMPARE(form.SlideshowSeconds(), 2);

        QTest::keyClick(form.windowHandle(), '?');
        QVERIFY(form.KeysDialog() && form.KeysDialog()->isVisible());
        auto* list = form.KeysDialog()->findChild<QTableWidget*>("KeyList");
        QStringList rows;
        for (int row = 0; row < list->rowCount(); ++row)
            rows << list->item(row, 0)->text() + '=' + list->item(row, 1)->text();
        for (const char* expected : {"Next photo=PgDown, Down (in the strip)", "Recycle photo=Ctrl+Del, Del",
                                     "Slideshow=F5", "Keys=Ctrl+F1, ?"})
            QVERIFY2(rows.contains(QString::fromLatin1(expected)), qPrintable(rows.join('|')));
        form.KeysDialog()->close();
        QVERIFY(viewer.windows.frmComment().Memo1->isReadOnly());
    }
};

QUILLMARK_APP_TEST_MAIN(BrowsingTest)
#include "BrowsingTest.moc"
