// The window on the screen: sharp on a high-density screen (run a second time with QT_SCALE_FACTOR=2, a
// device pixel ratio of 2), and its parts named for screen readers.
#include "AppTestSupport.h"
#include "PictureView.h"
#include "ThumbnailList.h"

#include <QAccessible>
#include <QPixmap>
#include <QProgressBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

using namespace apptest;
using namespace quillmark;

namespace {

// The ratio the test was started for: 2 under QT_SCALE_FACTOR=2, else whatever the screen has.
void CheckRatio(const QWidget& widget) {
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == QStringLiteral("2"))
        QCOMPARE(widget.devicePixelRatio(), 2.0);
}

} // namespace

class ScreenTest : public apptest::TViewerTestCase {
    Q_OBJECT

private slots:
    void thumbnailsAreDecodedForTheScreensPixels() {
        QTemporaryDir dir;
        WriteBytes(dir.filePath(QStringLiteral("camera.jpg")), ExifJpeg(1600, 1200));
        WriteBytes(dir.filePath(QStringLiteral("portrait.jpg")), ExifJpeg(900, 1200));
        Viewer viewer({dir.path()});
        TForm1& form = viewer.form();
        TThumbnailList* strip = form.ThumbnailList1;
        CheckRatio(*strip);
        const qreal ratio = strip->devicePixelRatio();
        QCOMPARE(viewer.StripCount(), 2);
        strip->grab(); // painted once, as on the screen

        for (int row = 0; row < 2; ++row) {
            const TPictureHolder& picture = strip->Thumbnails().ThumbnailAt(row)->Picture();
            // The rectangle the picture takes in its cell, in the window's (logical) pixels.
            const QRect shown = ThumbnailPictureRect(strip->CellRect(row), strip->CaptionHeight(),
                                                     picture.DisplayWidth(), picture.DisplayHeight());
            QVERIFY(!shown.isEmpty());
            const QSize decoded = picture.ToImage().size();
            QVERIFY2(decoded.width() >= qFloor(shown.width() * ratio) &&
                         decoded.height() >= qFloor(shown.height() * ratio),
                     qPrintable(QStringLiteral("row %1: %2 x %3 pixels for %4 x %5 at ratio %6")
                                    .arg(row)
                                    .arg(decoded.width())
                                    .arg(decoded.height())
                                    .arg(shown.width())
                                    .arg(shown.height())
                                    .arg(ratio)));
            // and no more than the cell can show: a thumbnail is not the whole photo.
            QVERIFY(decoded.width() <= qCeil(strip->ColumnWidth() * ratio));
        }
    }

    void theFittedPhotoIsDrawnPixelForPixel() {
        QTemporaryDir dir;
        Viewer viewer;
        TForm1& form = viewer.form();
        TPictureView* view = form.PictureView1;
        CheckRatio(*view);
        const qreal ratio = view->devicePixelRatio();
        // A photo with exactly the view's device pixels, every pixel unlike its neighbours: drawn from a
        // picture of the window's logical size and scaled up, neighbouring pixels would come out alike.
        const QSize device(qRound(view->width() * ratio), qRound(view->height() * ratio));
        const QImage photo = DistinctPixels(device.width(), device.height());
        const QString path = dir.filePath(QStringLiteral("fit.png"));
        WriteBytes(path, Png(photo));
        form.OpenImageFile(path);
        QCOMPARE(form.CurrentFile, path);

        QImage shot = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.size(), device);
        shot.setDevicePixelRatio(1); // compared pixel for pixel
        QCOMPARE(shot, photo.convertToFormat(QImage::Format_RGB32));
    }

    void iconsHaveTheirDoubleDensityDrawings() {
        Viewer viewer;
        TForm1& form = viewer.form();
        // Asked for at a ratio of 2 whatever this screen has: a window moved to a high-density screen
        // must not show its first screen's icons scaled up.
        int checked = 0;
        for (QToolButton* button : form.ToolBar1->findChildren<QToolButton*>()) {
            if (!button->isVisibleTo(&form) || !button->objectName().startsWith(QStringLiteral("ToolButton")))
                continue;
            const QPixmap pixmap = button->icon().pixmap(QSize(32, 32), 2.0);
            QVERIFY2(pixmap.size() == QSize(64, 64), qPrintable(button->objectName()));
            ++checked;
        }
        QCOMPARE(checked, 18);
        QCOMPARE(form.windowIcon().pixmap(QSize(32, 32), 2.0).size(), QSize(64, 64));
    }

    void partsHaveAccessibleNames() {
        Viewer viewer;
        TForm1& form = viewer.form();
        QStringList names;
        for (QToolButton* button : form.ToolBar1->findChildren<QToolButton*>()) {
            // Not the toolbar's own extension button.
            if (!button->objectName().startsWith(QStringLiteral("ToolButton"))) continue;
            const QString name = button->accessibleName();
            QVERIFY2(!name.isEmpty(), qPrintable(button->objectName()));
            // The name holds what the button shows, so that voice control finds it by its caption.
            if (button->isVisibleTo(&form))
                QVERIFY2(name.contains(button->text().trimmed(), Qt::CaseInsensitive), qPrintable(name));
            // and is what assistive technology reads.
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
            QVERIFY(accessible);
            QCOMPARE(accessible->text(QAccessible::Name), name);
            names << name;
        }
        QCOMPARE(names.size(), 20);
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());

        const std::pair<QWidget*, const char*> parts[] = {
            {form.ThumbnailList1, "Thumbnails"},   {form.PictureView1, "Photo"},
            {form.PageControl2, "Metadata"},       {form.ValueListEditor1, "Exif Properties"},
            {form.ValueListEditor2, "Maker Data"}, {form.ValueListEditor3, "Summary"},
            {form.ValueListEditor4, "XMP"},        {form.Memo1, "Report"},
            {form.ProgressBar1, "Folder scan"},
        };
        for (const auto& [part, name] : parts) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(part);
            QVERIFY2(accessible, name);
            QCOMPARE(accessible->text(QAccessible::Name), QString::fromLatin1(name));
        }
    }
};

QUILLMARK_APP_TEST_MAIN(ScreenTest)
#include "ScreenTest.moc"
