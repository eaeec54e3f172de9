// The window on the screen: sharp on a high-density screen (run a second time with QT_SCALE_FACTOR=2, a
// device pixel ratio of 2), its parts named for screen readers, and its own toolbar icons readable on light
// and dark palettes.
#include "AppTestSupport.h"
#include "PictureView.h"
#include "ThumbnailList.h"

#include <QAccessible>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace apptest;
using namespace quillmark;

namespace {

// The ratio the test was started for: 2 under QT_SCALE_FACTOR=2, else whatever the screen has.
void CheckRatio(const QWidget& widget) {
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == QStringLiteral("2"))
        QCOMPARE(widget.devicePixelRatio(), 2.0);
}

// Relative luminance of an sRGB colour, and the contrast ratio of two luminances (1 to 21).
double Luminance(QColor color) {
    const auto linear = [](int channel) {
        const double s = channel / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.red()) + 0.7152 * linear(color.green()) + 0.0722 * linear(color.blue());
}

double Contrast(double a, double b) {
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The parts of an icon (its drawn pixels, grouped by touching neighbours) and, for each part, the contrast
// against the background that its clearest quarter of pixels reaches (a paper's fill, a line's core, not
// its anti-aliased rim): the least of these over all parts.
double WeakestPartContrast(const QImage& icon, QColor background) {
    QImage shown(icon.size(), QImage::Format_RGB32);
    shown.fill(background);
    {
        QPainter painter(&shown);
        painter.drawImage(0, 0, icon);
    }
    const int w = icon.width(), h = icon.height();
    const auto drawn = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h && qAlpha(icon.pixel(x, y)) >= 128;
    };
    const double ground = Luminance(background);
    std::vector<bool> seen(size_t(w) * size_t(h), false);
    double weakest = 21;
    for (int start = 0; start < w * h; ++start) {
        if (seen[size_t(start)] || !drawn(start % w, start / w)) continue;
        std::vector<int> stack{start};
        std::vector<double> contrasts;
        seen[size_t(start)] = true;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            contrasts.push_back(Contrast(Luminance(shown.pixelColor(at % w, at / w)), ground));
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int x = at % w + dx, y = at / w + dy;
                    if (drawn(x, y) && !seen[size_t(y * w + x)]) {
                        seen[size_t(y * w + x)] = true;
                        stack.push_back(y * w + x);
                    }
                }
        }
        if (contrasts.size() < 8) continue; // a stray corner of anti-aliasing
        std::sort(contrasts.begin(), contrasts.end());
        weakest = std::min(weakest, contrasts[(contrasts.size() - 1) * 3 / 4]);
    }
    return weakest;
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

    // The toolbar's own icons read on a light desktop palette and on a dark one alike: no part of any of
    // them (a letter, a dashed line, a door) melts into the window's colour.
    void fallbackIconsReadOnLightAndDarkPalettes_data() {
        QTest::addColumn<QString>("name");
        const QStringList files = QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.png")});
        for (const QString& file : files)
            if (!file.contains(QLatin1Char('@'))) QTest::newRow(qPrintable(file)) << file.chopped(4);
        QVERIFY(files.size() >= 40);
    }
    void fallbackIconsReadOnLightAndDarkPalettes() {
        QFETCH(QString, name);
        const QPalette light(QColor(239, 239, 239));
        const QPalette dark(QColor(53, 53, 53)); // qt6ct's dark palette
        for (const QString& file : {name, name + QStringLiteral("@2x")}) {
            QImage icon(QStringLiteral(":/icons/%1.png").arg(file));
            QVERIFY(!icon.isNull());
            icon.setDevicePixelRatio(1);
            for (const QPalette& palette : {light, dark}) {
                const QColor window = palette.color(QPalette::Window);
                const double contrast = WeakestPartContrast(icon, window);
                QVERIFY2(contrast >= 2,
                         qPrintable(QStringLiteral("%1 on %2: %3").arg(file, window.name()).arg(contrast)));
            }
        }
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
