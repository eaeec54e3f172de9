// The picture control: placements by the numbers and by the pixels, AutoSize, clearing, load reactions, the
// reason shown for a file that cannot be shown, panning by dragging, and GIF animation.
#include "PictureView.h"
#include "TestPictures.h"

#include <QBuffer>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillmark;
using namespace testpictures;

Q_DECLARE_METATYPE(quillmark::TPicturePosition)
Q_DECLARE_METATYPE(quillmark::TStretchMode)

namespace {

using Rects = std::vector<QRect>;

PictureSizes Sizes(int w, int h) {
    return PictureSizes{w, h, w, h};
}

void LoadBytes(TPictureHolder& holder, QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    holder.LoadStream(&buffer);
}

// A view on a white parent, so that what the view leaves unpainted shows white.
struct Stage {
    QWidget parent;
    TPictureView* view;
    Stage() : view(new TPictureView(&parent)) {
        parent.resize(200, 150);
        parent.setAutoFillBackground(true);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, Qt::white);
        parent.setPalette(palette);
        view->setGeometry(0, 0, 120, 90);
        parent.show();
    }
    QImage Shot() { return parent.grab().toImage(); }
};

} // namespace

class PictureViewTest : public QObject {
    Q_OBJECT

private slots:
    void placesByPositionAndStretchMode_data() {
        QTest::addColumn<TPicturePosition>("position");
        QTest::addColumn<TStretchMode>("mode");
        QTest::addColumn<int>("pw");
        QTest::addColumn<int>("ph");
        QTest::addColumn<QRect>("expected");
        // A 50 x 40 picture in a 200 x 100 control: both modes draw it at its own size.
        for (TStretchMode mode : {smNever, smShrink}) {
            QTest::addRow("top-left %d", mode) << bpTopLeft << mode << 50 << 40 << QRect(0, 0, 50, 40);
            QTest::addRow("top-right %d", mode) << bpTopRight << mode << 50 << 40 << QRect(150, 0, 50, 40);
            QTest::addRow("bottom-left %d", mode) << bpBottomLeft << mode << 50 << 40 << QRect(0, 60, 50, 40);
            QTest::addRow("bottom-right %d", mode)
                << bpBottomRight << mode << 50 << 40 << QRect(150, 60, 50, 40);
            QTest::addRow("centre %d", mode) << bpCenter << mode << 50 << 40 << QRect(75, 30, 50, 40);
        }
        // 400 x 100 exceeds the control more in width: shrinking fits the width and keeps the aspect.
        QTest::newRow("shrink top-left") << bpTopLeft << smShrink << 400 << 100 << QRect(0, 0, 200, 50);
        QTest::newRow("shrink top-right") << bpTopRight << smShrink << 400 << 100 << QRect(0, 0, 200, 50);
        QTest::newRow("shrink bottom-left")
            << bpBottomLeft << smShrink << 400 << 100 << QRect(0, 50, 200, 50);
        QTest::newRow("shrink bottom-right")
            << bpBottomRight << smShrink << 400 << 100 << QRect(0, 50, 200, 50);
        QTest::newRow("shrink centre") << bpCenter << smShrink << 400 << 100 << QRect(0, 25, 200, 50);
        QTest::newRow("shrink tie") << bpCenter << smShrink << 400 << 200 << QRect(0, 0, 200, 100);
        // Without shrinking, a larger picture is pinned at the top-left instead of going off the control.
        QTest::newRow("never bottom-right")
            << bpBottomRight << smNever << 400 << 100 << QRect(0, 0, 400, 100);
        QTest::newRow("never centre") << bpCenter << smNever << 400 << 300 << QRect(0, 0, 400, 300);
        QTest::newRow("never centre odd") << bpCenter << smNever << 51 << 41 << QRect(74, 29, 51, 41);
    }

    void placesByPositionAndStretchMode() {
        QFETCH(TPicturePosition, position);
        QFETCH(TStretchMode, mode);
        QFETCH(int, pw);
        QFETCH(int, ph);
        QFETCH(QRect, expected);
        QCOMPARE(PicturePlacement(200, 100, Sizes(pw, ph), position, mode), Rects{expected});
    }

    void placesStretchedTiledAndOddSizes() {
        // Stretched with aspect: anchored top-left, touching two sides, truncated.
        QCOMPARE(PicturePlacement(687, 480, Sizes(3000, 2000), bpStretchedWithAspect, smNever),
                 Rects{QRect(0, 0, 687, 457)});
        QCOMPARE(PicturePlacement(687, 480, Sizes(2000, 3000), bpStretchedWithAspect, smNever),
                 Rects{QRect(0, 0, 320, 480)});
        QCOMPARE(PicturePlacement(687, 480, Sizes(100, 50), bpStretchedWithAspect, smShrink),
                 Rects{QRect(0, 0, 687, 343)});

        // Stretched: from one pixel above to past the bottom by 1 + round-half-even(H / ph).
        QCOMPARE(PicturePlacement(640, 480, Sizes(100, 960), bpStretched, smNever),
                 Rects{RectLTRB(0, -1, 640, 481)});
        QCOMPARE(PicturePlacement(640, 480, Sizes(100, 320), bpStretched, smNever),
                 Rects{RectLTRB(0, -1, 640, 483)});
        QCOMPARE(PicturePlacement(640, 480, Sizes(100, 192), bpStretched, smNever),
                 Rects{RectLTRB(0, -1, 640, 483)});

        // Tiled: rows top to bottom, each left to right; a large picture once.
        Rects tiles;
        for (int y : {0, 20, 40})
            for (int x : {0, 30, 60})
                tiles.push_back(QRect(x, y, 30, 20));
        QCOMPARE(PicturePlacement(70, 50, Sizes(30, 20), bpTiled, smShrink), tiles);
        QCOMPARE(PicturePlacement(70, 50, Sizes(300, 200), bpTiled, smNever), Rects{QRect(0, 0, 300, 200)});

        // A GIF whose logical screen is larger than its frame: placed by the screen, drawn at frame size.
        const PictureSizes gif{100, 80, 50, 40};
        QCOMPARE(PicturePlacement(200, 100, gif, bpBottomRight, smNever), Rects{QRect(100, 20, 50, 40)});
        QCOMPARE(PicturePlacement(200, 100, gif, bpCenter, smNever), Rects{QRect(50, 10, 50, 40)});

        // Nothing to place: no display size, or no control.
        for (TPicturePosition position : {bpTiled, bpStretched, bpCenter, bpStretchedWithAspect}) {
            QVERIFY(PicturePlacement(200, 100, Sizes(0, 40), position, smShrink).empty());
            QVERIFY(PicturePlacement(0, 100, Sizes(10, 40), position, smShrink).empty());
        }
    }

    void paintsWherePlaced() {
        Stage stage;
        LoadBytes(stage.view->Picture(), SolidPng(60, 30));
        TPictureView& view = *stage.view;

        view.SetPicturePosition(bpCenter);
        QImage shot = stage.Shot();
        QCOMPARE(BoundsOf(shot, Qt::red), QRect(30, 30, 60, 30));
        QCOMPARE(shot.pixelColor(119, 89), QColor(Qt::white)); // the parent shows through

        view.SetPicturePosition(bpStretchedWithAspect);
        QCOMPARE(BoundsOf(stage.Shot(), Qt::red), QRect(0, 0, 120, 60));

        view.SetPicturePosition(bpStretched);
        QCOMPARE(BoundsOf(stage.Shot(), Qt::red), QRect(0, 0, 120, 90));

        LoadBytes(view.Picture(), SolidPng(240, 60, Qt::blue));
        view.SetPicturePosition(bpBottomRight);
        view.SetStretchMode(smShrink);
        QCOMPARE(BoundsOf(stage.Shot(), Qt::blue), QRect(0, 60, 120, 30));
    }

    void autoSizeTakesThePixelSize() {
        TPictureView view;
        QCOMPARE(view.size(), QSize(100, 100));
        view.SetAutoSize(true);
        QCOMPARE(view.size(), QSize(100, 100)); // nothing to size to
        LoadBytes(view.Picture(), SolidPng(60, 30));
        QCOMPARE(view.size(), QSize(60, 30));
        view.SetAutoSize(false);
        LoadBytes(view.Picture(), SolidPng(70, 20));
        QCOMPARE(view.size(), QSize(60, 30));
    }

    void reactsToLoadsAndClears() {
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath("a.gif"), ThreeFrameGif().bytes));
        QVERIFY(WriteFile(dir.filePath("b.png"), SolidPng(60, 30)));
        Stage stage;
        TPictureView& view = *stage.view;
        QSignalSpy frames(&view, &TPictureView::OnFrameChange);

        // After a load the control has set the frame to 0 (one frame change) and knows the GIF animates.
        view.Picture().LoadFile(dir.filePath("a.gif"));
        QCOMPARE(view.Picture().Frame(), 0);
        QCOMPARE(frames.count(), 1);
        QVERIFY(view.IsAnimated());

        view.Picture().LoadFile(dir.filePath("b.png"));
        QCOMPARE(frames.count(), 2);
        QVERIFY(!view.IsAnimated());
        QVERIFY(!BoundsOf(stage.Shot(), Qt::red).isEmpty());

        view.SetPicture(nullptr);
        QVERIFY(view.Picture().IsEmpty());
        QVERIFY(BoundsOf(stage.Shot(), Qt::red).isEmpty());

        // A thumbnail's picture is of another kind and leaves the view empty.
        TPictureHolder thumbnail(TPictureHolder::Variant::Thumbnail);
        thumbnail.LoadFile(dir.filePath("b.png"));
        view.Picture().LoadFile(dir.filePath("b.png"));
        view.SetPicture(&thumbnail);
        QVERIFY(view.Picture().IsEmpty());
        QVERIFY(BoundsOf(stage.Shot(), Qt::red).isEmpty());
    }

    void saysWhyAFileCannotBeShown() {
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath("broken.jpg"), QByteArray("\xFF\xD8\xFF\xE0 not a picture")));
        QVERIFY(WriteFile(dir.filePath("b.png"), SolidPng(60, 30)));
        Stage stage;
        TPictureView& view = *stage.view;
        QSignalSpy failures(&view, &TPictureView::OnLoadFailure);
        const QRect viewRect = view.geometry();
        // Painted text: dark pixels on the white parent, where the view is; none once the view is cleared.
        const auto saysSomething = [&] {
            return BoundsOf(stage.Shot().copy(viewRect), Qt::black, 160).isValid();
        };

        const std::pair<QString, TLoadFailure> cases[] = {
            {dir.filePath("broken.jpg"), TLoadFailure::Undecodable},
            {dir.filePath("missing.jpg"), TLoadFailure::Unreadable},
            {dir.path(), TLoadFailure::Unreadable}};
        for (const auto& [path, failure] : cases) {
            view.SetPicture(nullptr);
            view.Picture().LoadFile(path);
            QCOMPARE(view.Picture().LoadFailure(), failure);
            QVERIFY(!view.FailureText().isEmpty());
            QCOMPARE(failures.count() > 0 ? failures.last().at(0).toString() : QString(), view.FailureText());
            QVERIFY(saysSomething());
        }
        QCOMPARE(failures.count(), 3);
        view.SetPicture(nullptr);
        QVERIFY(view.FailureText().isEmpty());
        QVERIFY(!saysSomething());
        view.Picture().LoadFile(dir.filePath("broken.jpg"));
        view.Picture().LoadFile(dir.filePath("b.png"));
        QCOMPARE(view.Picture().LoadFailure(), TLoadFailure::None);
        QVERIFY(view.FailureText().isEmpty());
    }

    void dragPansWheneverThePictureIsLargerThanItsView() {
        QScrollArea area;
        area.resize(200, 150);
        auto* view = new TPictureView;
        area.setWidget(view);
        area.setWidgetResizable(true); // fitted
        LoadBytes(view->Picture(), SolidPng(400, 300));
        view->SetPicturePosition(bpStretchedWithAspect);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        const auto drag = [&](QPoint from, QPoint by) {
            const QPoint start = view->mapToGlobal(from);
            QMouseEvent press(QEvent::MouseButtonPress, from, start, Qt::LeftButton, Qt::LeftButton, {});
            QApplication::sendEvent(view, &press);
            for (int step = 1; step <= 2; ++step) {
                const QPoint at = start + by * step / 2;
                QMouseEvent move(QEvent::MouseMove, view->mapFromGlobal(at), at, Qt::NoButton, Qt::LeftButton,
                                 {});
                QApplication::sendEvent(view, &move);
            }
            QMouseEvent release(QEvent::MouseButtonRelease, view->mapFromGlobal(start + by), start + by,
                                Qt::LeftButton, Qt::NoButton, {});
            QApplication::sendEvent(view, &release);
            return QPoint(area.horizontalScrollBar()->value(), area.verticalScrollBar()->value());
        };
        // Fitted there is nothing to pan.
        QCOMPARE(drag(QPoint(100, 70), QPoint(-30, -20)), QPoint(0, 0));
        // A zoom from the fitted view, as the window zooms: the control grows past the area and pans.
        area.setWidgetResizable(false);
        view->resize(view->width() + 100, view->height() + 100);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(drag(QPoint(100, 70), QPoint(-30, -20)), QPoint(30, 20));
        QCOMPARE(drag(QPoint(100, 70), QPoint(10, 5)), QPoint(20, 15));
        QCOMPARE(drag(QPoint(100, 70), QPoint(-500, -500)),
                 QPoint(area.horizontalScrollBar()->maximum(), area.verticalScrollBar()->maximum()));
        // At its own size (AutoSize) the same.
        view->SetAutoSize(true);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(drag(QPoint(100, 70), QPoint(500, 500)), QPoint(0, 0));
        QCOMPARE(drag(QPoint(100, 70), QPoint(-40, -10)), QPoint(40, 10));
        QCOMPARE(view->cursor().shape(), Qt::ArrowCursor); // the drag's closed hand is gone
    }

    void animatesByFrameDelays() {
        TPictureView view;
        LoadBytes(view.Picture(), ThreeFrameGif(2, 3, 4).bytes);
        view.SetAnimate(true);
        QVERIFY(view.HasAnimationTimer());
        QList<int> shown;
        for (int tick = 0; tick < 11; ++tick) {
            view.AnimationTick();
            shown << view.Picture().Frame();
        }
        // A delay of d hundredths holds a frame for d ticks; after the last frame comes the first.
        QCOMPARE(shown, QList<int>({1, 1, 2, 2, 2, 3, 3, 3, 3, 1, 1}));
        QCOMPARE(view.TickCount(), 11);
        QCOMPARE(view.NextFrameTick(), 11);

        view.SetAnimate(false);
        QVERIFY(!view.HasAnimationTimer());
        view.SetAnimate(true);
        QCOMPARE(view.TickCount(), 0);

        // A frame without a delay stops the animation where it is.
        TPictureView still;
        LoadBytes(
            still.Picture(),
            MakeGif(4, 4, {GifFrame{0, 0, 4, 4, 1, true, 0, 0}, GifFrame{0, 0, 4, 4, 2, true, 5, 0}}).bytes);
        still.SetAnimate(true);
        for (int tick = 0; tick < 20; ++tick)
            still.AnimationTick();
        QCOMPARE(still.Picture().Frame(), 1);

        // A picture that does not animate is left alone.
        TPictureView single;
        LoadBytes(single.Picture(), SolidPng(4, 4));
        single.SetAnimate(true);
        single.AnimationTick();
        QCOMPARE(single.TickCount(), 0);
        QCOMPARE(single.Picture().Frame(), 0);
    }

    void animatesOnItsTimer() {
        Stage stage;
        LoadBytes(stage.view->Picture(), ThreeFrameGif(1, 1, 1).bytes);
        QSignalSpy frames(stage.view, &TPictureView::OnFrameChange);
        stage.view->SetAnimate(true);
        QTRY_VERIFY(frames.count() >= 4);
        stage.view->SetAnimate(false);
    }
};

QTEST_MAIN(PictureViewTest)
#include "PictureViewTest.moc"
