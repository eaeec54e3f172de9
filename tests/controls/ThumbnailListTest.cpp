// The thumbnail strip: its collection, rows and fills, selection and clicks, cell geometry, painting, and
// thumbnails that keep only what their cells need.
#include "ThumbnailList.h"
#include "ControlErrors.h"
#include "PictureHolder.h"
#include "TestPictures.h"

#include <QImageReader>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QtMath>
#include <QtTest>

using namespace quillmark;
using namespace testpictures;

namespace {

QString ListError(const std::function<void()>& action) {
    try {
        action();
    } catch (const EListError& error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

// A camera-like picture: smooth colour ramps, not one flat colour.
QByteArray CameraJpeg(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x * 255 / width, y * 255 / height, 128);
    }
    return Encode(image, "jpeg", 80);
}

// The strip as the main window sets it up.
void SetUpLikeTheMainWindow(TThumbnailList& list, int height = 300) {
    list.resize(144, height);
    list.SetColor(QColor(240, 240, 240));
    list.SetThumbnailSize(64);
    list.show();
}

// Stands for the window: the keys the strip leaves reach it.
struct KeyCatcher : QWidget {
    QList<int> keys;
    void keyPressEvent(QKeyEvent* event) override { keys << event->key(); }
};

// Whether every pixel along the inside of a rectangle's edge, `width` deep, is the colour given.
bool FramedIn(const QImage& shot, const QRect& rect, QColor color, int width = 2) {
    for (int d = 0; d < width; ++d) {
        const QRect ring = rect.adjusted(d, d, -d, -d);
        for (int x = ring.left(); x <= ring.right(); ++x)
            if (shot.pixelColor(x, ring.top()) != color || shot.pixelColor(x, ring.bottom()) != color)
                return false;
        for (int y = ring.top(); y <= ring.bottom(); ++y)
            if (shot.pixelColor(ring.left(), y) != color || shot.pixelColor(ring.right(), y) != color)
                return false;
    }
    return true;
}

// A dark desktop theme's palette.
QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    return dark;
}

} // namespace

class ThumbnailListTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QTest::qWait(0); }

    void reportsIndexesOutOfBounds() {
        TThumbnailList list;
        list.Thumbnails().AddThumbnail();
        list.Thumbnails().AddThumbnail();
        QCOMPARE(ListError([&] { list.Thumbnails().ThumbnailAt(2); }),
                 QString("List index out of bounds (2)"));
        QCOMPARE(ListError([&] { list.Thumbnails().ThumbnailAt(-1); }),
                 QString("List index out of bounds (-1)"));
        QCOMPARE(ListError([&] { list.Thumbnails().DeleteThumbnail(5); }),
                 QString("List index out of bounds (5)"));
        QVERIFY(list.Thumbnails().ThumbnailAt(1) != nullptr);
    }

    void fillDefersRowsUntilTheLastEnd() {
        TThumbnailList list;
        list.BeginFill();
        list.BeginFill();
        for (int i = 0; i < 3; ++i)
            list.Thumbnails().AddThumbnail()->SetCaption(QString::number(i));
        QCOMPARE(list.RowCount(), 0);
        QCOMPARE(list.Thumbnails().ItemTally(), 3);
        list.EndFill();
        QCOMPARE(list.RowCount(), 0);
        list.EndFill();
        QCOMPARE(list.RowCount(), 3);
        list.EndFill(); // at depth 0: nothing
        QCOMPARE(list.FillDepth(), 0);

        // Outside a fill every change brings the rows level at once.
        list.Thumbnails().DeleteThumbnail(0);
        QCOMPARE(list.RowCount(), 2);
        QCOMPARE(list.Thumbnails().ThumbnailAt(0)->Caption(), QString("1"));
        list.Thumbnails().ClearThumbnails();
        QCOMPARE(list.RowCount(), 0);
        QCOMPARE(list.Thumbnails().ItemTally(), 0);
    }

    void selectionFromCodeRaisesNoClick() {
        KeyCatcher window;
        TThumbnailList list;
        SetUpLikeTheMainWindow(list);
        for (int i = 0; i < 5; ++i)
            list.Thumbnails().AddThumbnail();
        QSignalSpy clicks(&list, &TThumbnailList::OnClick);

        list.SetSelectedIndex(1);
        QCOMPARE(list.SelectedIndex(), 1);
        list.SetSelectedIndex(9);
        QCOMPARE(list.SelectedIndex(), -1);
        QCOMPARE(clicks.count(), 0);

        // The user's changes by keyboard and mouse do raise it. The arrow keys move one thumbnail; the
        // window's navigation keys are left to the window (they reach the parent), which moves the photo.
        list.setParent(&window);
        window.show();
        list.show();
        list.SetSelectedIndex(1);
        const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Down, 2},   {Qt::Key_Right, 3},    {Qt::Key_Left, 2},
                                                {Qt::Key_Up, 1},     {Qt::Key_PageDown, 1}, {Qt::Key_End, 1},
                                                {Qt::Key_PageUp, 1}, {Qt::Key_Home, 1}};
        for (const auto& [key, selected] : keys) {
            QTest::keyClick(&list, key);
            QCOMPARE(list.SelectedIndex(), selected);
        }
        QCOMPARE(clicks.count(), 4);
        QCOMPARE(window.keys, QList<int>({Qt::Key_PageDown, Qt::Key_End, Qt::Key_PageUp, Qt::Key_Home}));
        list.SetSelectedIndex(4);
        QTest::keyClick(&list, Qt::Key_Down); // already at the end: no change, no click
        QCOMPARE(clicks.count(), 4);
        list.SetSelectedIndex(0);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.CellRect(1).center());
        QCOMPARE(list.SelectedIndex(), 1);
        QCOMPARE(clicks.count(), 5);

        // Removing the selected last row leaves no selection.
        list.SetSelectedIndex(4);
        list.Thumbnails().DeleteThumbnail(2);
        QCOMPARE(list.SelectedIndex(), -1);
    }

    void marksTheCurrentThumbnailAndKeepsItInView() {
        TThumbnailList list;
        SetUpLikeTheMainWindow(list);
        for (int i = 0; i < 30; ++i)
            list.Thumbnails().AddThumbnail()->SetCaption(QStringLiteral("photo %1.jpg").arg(i));
        const QColor mark = list.palette().color(QPalette::Active, QPalette::Highlight);
        const QPoint origin = list.viewport()->pos();

        // A click marks the thumbnail at once, in a frame that stays when the strip loses the focus.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.CellRect(1).center());
        QVERIFY(FramedIn(list.grab().toImage(), list.CellRect(1).translated(origin), mark));
        list.clearFocus();
        const QImage shot = list.grab().toImage();
        QVERIFY(FramedIn(shot, list.CellRect(1).translated(origin), mark));
        QVERIFY(!FramedIn(shot, list.CellRect(0).translated(origin), mark, 1));

        // The current thumbnail stays in sight when selected from code and when the strip changes shape.
        const auto inView = [&](int row) { return list.viewport()->rect().contains(list.CellRect(row)); };
        list.SetSelectedIndex(29);
        QVERIFY(inView(29));
        list.resize(144, 140);
        QVERIFY(inView(29));
        list.SetSelectedIndex(0);
        list.resize(144, 500);
        QVERIFY(inView(0));
    }

    void captionsReadUnderADarkPalette() {
        QCOMPARE(ContrastRatio(Qt::black, Qt::white), 21.0);
        QCOMPARE(ContrastRatio(QColor(119, 119, 119), QColor(119, 119, 119)), 1.0);
        for (const bool dark : {false, true}) {
            TThumbnailList list;
            if (dark) list.setPalette(DarkPalette());
            QFont font = list.font();
            font.setPixelSize(16);
            font.setBold(true);
            list.setFont(font);
            SetUpLikeTheMainWindow(list, 200);
            list.Thumbnails().AddThumbnail()->SetCaption(QStringLiteral("HHHHHHHH"));
            const QImage shot = list.grab().toImage();
            const QRect cell = list.CellRect(0).translated(list.viewport()->pos());
            const QColor background = shot.pixelColor(cell.topLeft() + QPoint(1, 1));
            // The light strip of the main window stays light under a light palette, and gives way to the
            // palette's base under a dark one.
            QCOMPARE(background, dark ? QColor(35, 35, 35) : QColor(240, 240, 240));
            double best = 1;
            const QRect caption = cell.adjusted(2, cell.height() - 2 - list.CaptionHeight(), -2, -2);
            for (int y = caption.top(); y <= caption.bottom(); ++y)
                for (int x = caption.left(); x <= caption.right(); ++x)
                    best = std::max(best, ContrastRatio(shot.pixelColor(x, y), background));
            QVERIFY2(best >= 4.5, qPrintable(QString::number(best)));
            QVERIFY(ContrastRatio(list.CaptionColor(), list.BackgroundColor()) >= 4.5);
        }
    }

    void fitsPicturesIntoCells() {
        // A 140 x 64 cell, a 13-pixel caption, a 3000 x 2000 picture: 70 x 47 at (35, 2).
        QCOMPARE(ThumbnailPictureRect(QRect(0, 0, 140, 64), 13, 3000, 2000), QRect(35, 2, 70, 47));
        // A smaller picture keeps its size, centred in the 136 x 47 area at (2, 2).
        QCOMPARE(ThumbnailPictureRect(QRect(0, 0, 140, 64), 13, 32, 32), QRect(54, 9, 32, 32));
        // Without a caption the whole inset cell is the area; cells elsewhere move with their corner.
        QCOMPARE(ThumbnailPictureRect(QRect(0, 64, 140, 64), 0, 3000, 2000), QRect(25, 66, 90, 60));
        // A caption as tall as the cell leaves no picture.
        QVERIFY(ThumbnailPictureRect(QRect(0, 0, 140, 64), 60, 3000, 2000).isEmpty());
        QVERIFY(ThumbnailPictureRect(QRect(0, 0, 140, 64), 13, 0, 0).isEmpty());
    }

    void laysOutColumnsOfCells() {
        // The main window's strip: one column as wide as the list, 64-pixel rows, then the next column.
        TThumbnailList list;
        SetUpLikeTheMainWindow(list);
        for (int i = 0; i < 12; ++i)
            list.Thumbnails().AddThumbnail();
        const int width = list.viewport()->width();
        const int perColumn = list.viewport()->height() / 64;
        QCOMPARE(list.ColumnWidth(), width);
        QCOMPARE(list.RowHeight(), 64);
        QCOMPARE(list.RowsPerColumn(), perColumn);
        QCOMPARE(list.CellRect(1), QRect(0, 64, width, 64));
        QCOMPARE(list.CellRect(perColumn), QRect(width, 0, width, 64));
        list.SetSelectedIndex(perColumn); // scrolled into view by a whole column
        QCOMPARE(list.CellRect(perColumn), QRect(0, 0, width, 64));
        QCOMPARE(list.RowAt(QPoint(5, 70)), perColumn + 1);

        // Columns share the width; setting the bounds recounts them from the thumbnail size.
        list.SetColumns(2);
        QCOMPARE(list.ColumnWidth(), list.viewport()->width() / 2);
        list.resize(200, 300);
        QCOMPARE(list.Columns(), 200 / 64);
        QCOMPARE(list.ColumnWidth(), list.viewport()->width() / 3);
        list.SetThumbnailSize(50);
        QCOMPARE(list.ColumnWidth(), 50);
        QCOMPARE(list.RowHeight(), 50);
    }

    void laysOutOneRowWhenHorizontal() {
        TThumbnailList list;
        list.resize(400, 100);
        list.show();
        list.SetOrientation(toHorizontal);
        for (int i = 0; i < 10; ++i)
            list.Thumbnails().AddThumbnail();
        const int scrollBar =
            list.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list.horizontalScrollBar());
        const int rowHeight = 100 - scrollBar - 2 * list.frameWidth();
        QCOMPARE(list.Columns(), 10);
        QCOMPARE(list.ColumnWidth(), 64);
        QCOMPARE(list.RowHeight(), rowHeight);
        QCOMPARE(list.RowsPerColumn(), 1);
        QCOMPARE(list.CellRect(3), QRect(192, 0, 64, rowHeight));
    }

    void paintsPictureCaptionAndBackground() {
        QTemporaryDir dir;
        const QString path = dir.filePath("red.png");
        QVERIFY(WriteFile(path, SolidPng(300, 200)));
        TThumbnailList list;
        SetUpLikeTheMainWindow(list);
        TThumbnail* item = list.Thumbnails().AddThumbnail();
        item->Picture().LoadFile(path);
        item->SetCaption("red.png");

        const QImage shot = list.grab().toImage();
        const QPoint origin = list.viewport()->pos();
        const QRect cell = list.CellRect(0).translated(origin);
        const QRect picture = ThumbnailPictureRect(cell, list.CaptionHeight(), 300, 200);
        QCOMPARE(BoundsOf(shot, Qt::red), picture);
        QCOMPARE(shot.pixelColor(cell.topLeft()), QColor(240, 240, 240));
        // Dark caption pixels under the picture, inside the cell.
        const QRect caption(cell.left(), picture.bottom() + 1, cell.width(),
                            cell.bottom() - picture.bottom());
        QVERIFY(BoundsOf(shot.copy(caption), Qt::black, 120).isValid());

        list.SetShowCaption(false);
        QCOMPARE(BoundsOf(list.grab().toImage(), Qt::red), ThumbnailPictureRect(cell, 0, 300, 200));
    }

    void loadsFileItemsWhenDrawn() {
        QTemporaryDir dir;
        const QString path = dir.filePath("red.png");
        QVERIFY(WriteFile(path, SolidPng(30, 20)));
        TThumbnailList list;
        SetUpLikeTheMainWindow(list);
        TThumbnail* fromFile = list.Thumbnails().AddThumbnail();
        fromFile->SetSource(tsFile);
        fromFile->SetFilename(path);
        TThumbnail* fromCaller = list.Thumbnails().AddThumbnail();
        fromCaller->SetFilename(path);

        list.SetBuffered(false);
        list.grab();
        QVERIFY(fromFile->Picture().IsEmpty());
        list.SetBuffered(true);
        list.grab();
        QVERIFY(!fromFile->Picture().IsEmpty());
        QCOMPARE(fromFile->Picture().DisplayWidth(), 30);
        QVERIFY(fromCaller->Picture().IsEmpty()); // its picture is the caller's business
    }

    void placeholderGivesWayWhenNoPictureComes() {
        // A cell waits for its picture with a dashed frame in the palette's Mid colour; once the file has
        // proved unreadable or undecodable the frame goes, in the cell, in a copy of the strip, and the
        // file is not read again at every repaint.
        QTemporaryDir dir;
        const QString damaged = dir.filePath("damaged.jpg");
        QVERIFY(WriteFile(damaged, QByteArray("\xFF\xD8\xFF\xE0 not a picture at all", 26)));
        const struct {
            QString path;
            TLoadFailure failure;
        } cases[] = {{dir.filePath("gone.jpg"), TLoadFailure::Unreadable},
                     {damaged, TLoadFailure::Undecodable}};
        for (const auto& c : cases) {
            TThumbnailList list;
            QPalette palette = list.palette();
            palette.setColor(QPalette::Mid, QColor(255, 0, 255));
            list.setPalette(palette);
            SetUpLikeTheMainWindow(list);
            TThumbnail* item = list.Thumbnails().AddThumbnail();
            item->SetFilename(c.path);
            item->SetCaption(QStringLiteral("x"));
            const auto framed = [&list] {
                const QRect cell = list.CellRect(0).translated(list.viewport()->pos());
                return BoundsOf(list.grab().toImage().copy(cell), QColor(255, 0, 255), 10).isValid();
            };
            QVERIFY(framed());
            item->Picture().LoadPrepared(c.path, PrepareThumbnailLoad(c.path, QSize(64, 64)));
            QCOMPARE(item->Picture().LoadFailure(), c.failure);
            QVERIFY2(!framed(), qPrintable(c.path));

            TThumbnails copy;
            copy.AddThumbnail()->Assign(*item);
            list.SetThumbnails(copy);
            QCOMPARE(list.Thumbnails().ThumbnailAt(0)->Picture().LoadFailure(), c.failure);
            QVERIFY(!framed());

            TThumbnail* fromFile = list.Thumbnails().ThumbnailAt(0);
            fromFile->SetSource(tsFile);
            fromFile->Picture().LoadFile(c.path);
            const int decodes = fromFile->Picture().DecodeCount();
            list.grab();
            list.grab();
            QCOMPARE(fromFile->Picture().DecodeCount(), decodes);
            QCOMPARE(fromFile->Picture().LoadFailure(), c.failure);
        }
    }

    void thumbnailsKeepOnlyCellSizedPictures() {
        QTemporaryDir dir;
        const QString path = dir.filePath("camera.jpg");
        const QByteArray jpeg = CameraJpeg(2400, 1800);
        QVERIFY(WriteFile(path, jpeg));
        TThumbnailList list;
        SetUpLikeTheMainWindow(list);
        TThumbnail* item = list.Thumbnails().AddThumbnail();
        item->Picture().LoadFile(path);
        item->SetFilename(path);

        const TPictureHolder& picture = item->Picture();
        const QSize bound = list.PictureDecodeBound();
        QVERIFY(!picture.IsEmpty());
        QVERIFY(picture.HeldBytes().isEmpty());
        QCOMPARE(picture.DisplayWidth(), 2400); // the whole picture's size still places it
        QCOMPARE(picture.PixelHeight(), 1800);
        QCOMPARE(picture.ToImage().size(), FitWithin(2400, 1800, bound.width(), bound.height()));
        QVERIFY(picture.DecodedByteCount() <= qsizetype(bound.width()) * bound.height() * 4);

        QBuffer saved;
        saved.open(QIODevice::WriteOnly);
        picture.SaveStream(&saved);
        QCOMPARE(saved.data(), jpeg); // the file, read again

        // The full picture is never expanded: with an allocation limit far below a full decode, the
        // view's picture cannot load the photo while a thumbnail still can.
        const int limit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(8);
        TPictureHolder view;
        view.LoadFile(path);
        TThumbnail* second = list.Thumbnails().AddThumbnail();
        second->Picture().LoadFile(path);
        QImageReader::setAllocationLimit(limit);
        QVERIFY(view.IsEmpty());
        QVERIFY(!second->Picture().IsEmpty());

        // Copies share the small picture and keep the file name.
        TThumbnailList other;
        SetUpLikeTheMainWindow(other);
        other.SetThumbnails(list.Thumbnails());
        QCOMPARE(other.RowCount(), 2);
        const TThumbnail* copy = other.Thumbnails().ThumbnailAt(0);
        QCOMPARE(copy->Filename(), path);
        QCOMPARE(copy->Picture().DisplayWidth(), 2400);
        QCOMPARE(copy->Picture().ToImage().cacheKey(), picture.ToImage().cacheKey());
    }

    void growsThumbnailsWithTheirCells() {
        QTemporaryDir dir;
        const QString path = dir.filePath("camera.jpg");
        QVERIFY(WriteFile(path, CameraJpeg(1600, 1200)));
        TPictureHolder picture(TPictureHolder::Variant::Thumbnail);
        picture.SetDecodeBound(QSize(40, 40));
        picture.LoadFile(path);
        QCOMPARE(picture.ToImage().size(), QSize(40, 30));

        picture.EnsureResolution(QSize(200, 200));
        QCOMPARE(picture.ToImage().size(), QSize(200, 150));
        picture.EnsureResolution(QSize(100, 100)); // smaller cells keep what they have
        QCOMPARE(picture.ToImage().size(), QSize(200, 150));
        QVERIFY(QFile::remove(path));
        picture.EnsureResolution(QSize(400, 400)); // the file has gone: silently unchanged
        QCOMPARE(picture.ToImage().size(), QSize(200, 150));
    }

    void decodeBoundFollowsDevicePixelRatio() {
        QTemporaryDir dir;
        const QString path = dir.filePath("camera.jpg");
        QVERIFY(WriteFile(path, CameraJpeg(1600, 1200)));
        TThumbnailList list;
        SetUpLikeTheMainWindow(list);
        TThumbnail* item = list.Thumbnails().AddThumbnail();
        item->Picture().LoadFile(path);

        const qreal ratio = list.devicePixelRatio();
        if (qEnvironmentVariable("QT_SCALE_FACTOR") == "2") QCOMPARE(ratio, 2.0);
        const QSize area(list.ColumnWidth() - 4, 64 - 4 - list.CaptionHeight());
        const QSize bound(qCeil(area.width() * ratio), qCeil(area.height() * ratio));
        QCOMPARE(list.PictureDecodeBound(), bound);
        QCOMPARE(item->Picture().ToImage().size(), FitWithin(1600, 1200, bound.width(), bound.height()));
    }
};

QTEST_MAIN(ThumbnailListTest)
#include "ThumbnailListTest.moc"
