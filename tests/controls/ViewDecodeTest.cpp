// What the picture view costs to show a photo: one decode per load, whatever the control's reaction to it,
// and repaints of the fitted view that draw a kept reduction, made again only when the drawing size changes,
// that looks as the picture scaled anew would.
#include "PictureTurn.h"
#include "PictureView.h"
#include "Prefetch.h"
#include "TestPictures.h"

#include <QBuffer>
#include <QLoggingCategory>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillmark;
using namespace testpictures;

namespace {

// Smooth colour ramps, as in a photo: two ways of scaling it agree closely.
QImage Ramps(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x * 255 / width, y * 255 / height, (x + y) * 127 / (width + height) + 64);
    }
    return image;
}

// The largest and the mean difference of any channel between two pictures inside a rectangle.
struct Difference {
    int largest = 0;
    double mean = 0;
};

Difference Compare(const QImage& a, const QImage& b, const QRect& inside) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    Difference d;
    qint64 sum = 0, count = 0;
    for (int row = inside.top(); row <= inside.bottom(); ++row)
        for (int column = inside.left(); column <= inside.right(); ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            for (const int delta : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                d.largest = std::max(d.largest, std::abs(delta));
                sum += std::abs(delta);
                ++count;
            }
        }
    d.mean = count ? double(sum) / count : 0;
    return d;
}

} // namespace

class ViewDecodeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
    }

    void showingAPictureDecodesItOnce() {
        QTemporaryDir dir;
        const QString jpeg = dir.filePath("photo.jpg");
        const QString png = dir.filePath("picture.png");
        const QString gif = dir.filePath("anim.gif");
        QVERIFY(WriteFile(jpeg, Encode(Ramps(640, 480), "jpeg", 90)));
        QVERIFY(WriteFile(png, SolidPng(60, 30)));
        const BuiltGif animation = ThreeFrameGif();
        QVERIFY(WriteFile(gif, animation.bytes));

        TPictureView view;
        QSignalSpy frames(&view, &TPictureView::OnFrameChange);
        TPictureHolder& picture = view.Picture();
        // A load, with the view's reaction that sets frame 0, costs one decode.
        picture.LoadFile(jpeg);
        QCOMPARE(picture.Frame(), 0);
        QCOMPARE(frames.count(), 1);
        QCOMPARE(picture.DecodeCount(), 1);
        // The same bytes again are the picture in hand; after a clear they are decoded anew.
        picture.LoadFile(jpeg);
        QCOMPARE(picture.DecodeCount(), 1);
        view.SetPicture(nullptr);
        picture.LoadFile(jpeg);
        QCOMPARE(picture.DecodeCount(), 2);
        picture.LoadFile(png);
        QCOMPARE(picture.DecodeCount(), 3);

        // An animated GIF too: frame 0 and frame 1 hand the decoder the same whole file. The frame fields
        // still follow the frame number.
        picture.LoadFile(gif);
        QCOMPARE(picture.DecodeCount(), 4);
        QVERIFY(view.IsAnimated());
        QCOMPARE(picture.Frame(), 0);
        QCOMPARE(picture.FrameLeft(), 0);
        QCOMPARE(picture.ScreenWidth(), 20);
        const QImage whole = picture.ToImage();
        picture.SetFrame(1);
        QCOMPARE(picture.DecodeCount(), 4);
        QCOMPARE(picture.FrameWidth(), 20);
        picture.SetFrame(2); // another frame is other bytes
        QCOMPARE(picture.DecodeCount(), 5);
        QCOMPARE(picture.FrameLeft(), 4);
        QCOMPARE(picture.ToImage().size(), QSize(6, 5));
        picture.SetFrame(1);
        QCOMPARE(picture.DecodeCount(), 6);
        picture.SetFrame(0);
        QCOMPARE(picture.DecodeCount(), 6);
        QCOMPARE(picture.ToImage(), whole);
        QCOMPARE(frames.count(), 1 + 1 + 1 + 1 + 1 + 4);

        // A turned picture loaded from a stream, with the reaction, is one decode; so is a copy.
        QByteArray bitmap;
        QBuffer out(&bitmap);
        out.open(QIODevice::WriteOnly);
        Ramps(30, 40).save(&out, "bmp");
        QBuffer in(&bitmap);
        in.open(QIODevice::ReadOnly);
        picture.LoadStream(&in);
        QCOMPARE(picture.DecodeCount(), 7);
        TPictureView other;
        other.Picture().LoadFile(jpeg);
        view.SetPicture(&other.Picture());
        QCOMPARE(picture.DecodeCount(), 8);
        // A failed decode is not taken for the picture in hand: the next frame change decodes again.
        QByteArray broken = Encode(Ramps(64, 48), "jpeg");
        broken.truncate(40);
        QBuffer brokenIn(&broken);
        brokenIn.open(QIODevice::ReadOnly);
        QVERIFY_THROWS_EXCEPTION(std::exception, picture.LoadStream(&brokenIn));
        QVERIFY(!picture.HasDecodedPicture());
        const int afterFailure = picture.DecodeCount();
        QVERIFY_THROWS_EXCEPTION(std::exception, picture.SetFrame(0));
        QCOMPARE(picture.DecodeCount(), afterFailure + 1);
    }

    void fittedRepaintsDrawAKeptReduction() {
        QTemporaryDir dir;
        const QString path = dir.filePath("photo.jpg");
        QVERIFY(WriteFile(path, Encode(Ramps(1600, 1200), "jpeg", 95)));
        QWidget parent;
        parent.resize(420, 330);
        auto* view = new TPictureView(&parent);
        view->setGeometry(0, 0, 400, 300);
        view->SetPicturePosition(bpStretchedWithAspect);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        view->Picture().LoadFile(path);
        TPictureHolder& picture = view->Picture();
        const qreal ratio = view->devicePixelRatio();

        const QImage first = view->grab().toImage();
        const int made = picture.RenderReductions();
        QCOMPARE(made, 1);
        // Repaints draw the reduction in hand.
        view->repaint();
        const QImage second = view->grab().toImage();
        QCOMPARE(picture.RenderReductions(), made);
        QCOMPARE(second, first);

        // It looks as scaling the whole picture into the rectangle at every repaint did.
        const QSize sizes(picture.DisplayWidth(), picture.DisplayHeight());
        const std::vector<QRect> placed = PicturePlacement(
            view->width(), view->height(), PictureSizes{sizes.width(), sizes.height(), 1600, 1200},
            bpStretchedWithAspect, smNever);
        QCOMPARE(placed.size(), size_t(1));
        QImage uncached(first.size(), QImage::Format_RGB32);
        uncached.setDevicePixelRatio(ratio);
        uncached.fill(Qt::black);
        {
            QPainter painter(&uncached);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(placed[0], picture.ToImage());
        }
        const QRect inside(qCeil(placed[0].left() * ratio) + 1, qCeil(placed[0].top() * ratio) + 1,
                           int(placed[0].width() * ratio) - 2, int(placed[0].height() * ratio) - 2);
        const Difference d = Compare(first, uncached, inside);
        QVERIFY2(d.largest <= 12 && d.mean <= 1.5,
                 qPrintable(QStringLiteral("largest %1, mean %2").arg(d.largest).arg(d.mean)));

        // A new size, a new placement, a new device pixel ratio, a new picture: each draws a new reduction.
        view->resize(300, 300);
        view->grab();
        QCOMPARE(picture.RenderReductions(), made + 1);
        view->grab();
        QCOMPARE(picture.RenderReductions(), made + 1);
        view->SetPicturePosition(bpStretched);
        view->grab();
        QCOMPARE(picture.RenderReductions(), made + 2);
        QImage sharper(view->size() * ratio * 1.5, QImage::Format_ARGB32_Premultiplied);
        sharper.setDevicePixelRatio(ratio * 1.5);
        sharper.fill(Qt::transparent);
        view->render(&sharper);
        QCOMPARE(picture.RenderReductions(), made + 3);
        view->SetPicture(nullptr);
        QCOMPARE(picture.RenderReductions(), 0);
        view->Picture().LoadFile(path); // the load paints the view at once
        QCOMPARE(picture.RenderReductions(), 1);
        view->grab();
        QCOMPARE(picture.RenderReductions(), 1);
    }

    void aFittedViewDecodesAJpegAtTheScaleItShows() {
        // The smallest libjpeg scale whose decode still covers what the fitted view shows.
        const struct {
            QSize stored;
            int quarters; // of the EXIF orientation
            QSize bound;
            int denom;
        } cases[] = {
            {{6000, 4000}, 0, {1600, 1000}, 4}, // shows 1500 x 1000, exactly a quarter
            {{6000, 4000}, 0, {1600, 1100}, 2}, // shows 1600 x 1066: a quarter is 1500 wide
            {{6000, 4000}, 0, {700, 400}, 8},
            {{6000, 4000}, 1, {1000, 1600}, 4}, // stored sideways, shown upright
            {{6000, 4000}, 1, {1600, 1000}, 4},
            {{1601, 1000}, 0, {800, 500}, 2},
            {{800, 600}, 0, {1600, 1000}, 1}, // smaller than the view
            {{800, 600}, 0, {0, 0}, 1},
        };
        for (const auto& c : cases)
            QCOMPARE(ViewScaleDenom(c.stored, TPixelTurn{false, c.quarters}, c.bound), c.denom);

        const QByteArray jpeg = Encode(Ramps(1600, 1200), "jpeg", 95);
        const QImage whole = DecodePicture(jpeg).picture->Image();
        const auto reduced = [&] {
            const DecodeResult result = DecodePictureForView(jpeg, QSize(400, 300));
            return result.status == DecodeStatus::Decoded ? result.picture : nullptr;
        };
        // Drawn at the view's size from the reduction; drawn at full size, or asked for its pixels, whole.
        for (const QSize target : {QSize(400, 300), QSize(1600, 1200)}) {
            const auto picture = reduced();
            QVERIFY(picture && picture->FullDecodePending());
            QCOMPARE(picture->KeptPixelSize(), QSize(400, 300));
            QCOMPARE(picture->SourceSize(), QSize(1600, 1200));
            QImage canvas(target, QImage::Format_RGB32);
            QPainter painter(&canvas);
            picture->Render(painter, canvas.rect());
            QCOMPARE(picture->FullDecodePending(), target.width() < 1600);
        }
        // A turn of it is the turn of the whole picture.
        const auto turned = DecodedPicture::Turned(reduced(), 90);
        QVERIFY(turned->FullDecodePending());
        QCOMPARE(turned->PixelSize(), QSize(1200, 1600));
        QCOMPARE(turned->Image(), RotateQuarterTurns(whole, 90));
        QVERIFY(!turned->FullDecodePending());

        // The view's picture: one decode per load, the full pixels for the clipboard; anything but a JPEG
        // is decoded whole.
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath("photo.jpg"), jpeg));
        QVERIFY(WriteFile(dir.filePath("picture.png"), Encode(Ramps(1600, 1200), "png")));
        TPictureView view;
        TPictureHolder& picture = view.Picture();
        picture.SetViewBound(QSize(400, 300));
        picture.LoadFile(dir.filePath("photo.jpg"));
        QCOMPARE(picture.DecodeCount(), 1);
        QVERIFY(picture.Decoded()->FullDecodePending());
        // At its actual size the view draws the reduction stretched at once, then the full pixels decoded
        // in the background, in the same place.
        view.resize(picture.PixelWidth(), picture.PixelHeight());
        const QImage standIn = view.grab().toImage();
        QVERIFY(picture.Decoded()->FullDecodePending());
        QTRY_VERIFY(!picture.Decoded()->FullDecodePending());
        const QImage sharp = view.grab().toImage();
        QCOMPARE(sharp.size(), standIn.size());
        // Pixel for pixel where a logical pixel is a device pixel.
        if (sharp.devicePixelRatio() == 1) QCOMPARE(sharp.convertToFormat(QImage::Format_RGB32), whole);
        QCOMPARE(picture.DecodeCount(), 1);
        QCOMPARE(picture.ToImage(), whole);
        picture.LoadFile(dir.filePath("picture.png"));
        QVERIFY(!picture.Decoded()->FullDecodePending());
        QCOMPARE(picture.Decoded()->KeptPixelSize(), QSize(1600, 1200));
    }

    void neighboursAreDecodedAheadAndDroppedWithoutATrace() {
        QTemporaryDir dir;
        const QString a = dir.filePath("a.jpg"), b = dir.filePath("b.jpg"), c = dir.filePath("c.jpg");
        const QString png = dir.filePath("d.png");
        const QByteArray jpeg = Encode(Ramps(1600, 1200), "jpeg", 90);
        for (const QString& file : {a, b, c})
            QVERIFY(WriteFile(file, jpeg));
        QVERIFY(WriteFile(png, Encode(Ramps(1600, 1200), "png")));
        const QSize bound(400, 300);

        TPrefetch prefetch;
        prefetch.Request({a, b, c}, bound);
        prefetch.WaitUntilIdle();
        QCOMPARE(prefetch.HeldCount(), TPrefetch::kMostHeld);
        QVERIFY(!prefetch.Take(c, bound)); // past the two wanted
        QVERIFY(!prefetch.Take(a, QSize(800, 600)));
        std::optional<TPrefetched> ahead = prefetch.Take(a, bound);
        QVERIFY(ahead);
        QCOMPARE(ahead->Bytes, jpeg);
        QCOMPARE(ahead->Picture->KeptPixelSize(), bound);
        QCOMPARE(prefetch.HeldCount(), 1);
        // A file changed since it was read is not taken.
        QVERIFY(WriteFile(b, Encode(Ramps(1600, 1200), "jpeg", 80)));
        QVERIFY(!prefetch.Take(b, bound));

        // The view shows a picture decoded ahead as it shows a load, without decoding.
        TPictureView view;
        view.Picture().LoadDecoded(ahead->Bytes, ahead->Picture);
        QCOMPARE(view.Picture().DecodeCount(), 0);
        QCOMPARE(view.Picture().PixelWidth(), MulDiv(1600, view.logicalDpiX(), kDecoderDpi));
        QCOMPARE(view.Picture().ToImage(), DecodePicture(jpeg).picture->Image());
        QCOMPARE(view.Picture().HeldBytes(), jpeg);

        // Other photos asked for drop the ones no longer wanted. Every format is decoded ahead as the view
        // decodes it, except a GIF, whose frames the view steps through itself.
        prefetch.Request({a, c}, bound);
        prefetch.WaitUntilIdle();
        prefetch.Request({c, png}, bound);
        prefetch.WaitUntilIdle();
        QCOMPARE(prefetch.HeldCount(), 2);
        QVERIFY(!prefetch.Take(a, bound));
        const std::optional<TPrefetched> pngAhead = prefetch.Take(png, bound);
        QVERIFY(pngAhead);
        QCOMPARE(pngAhead->Picture->Image(), DecodePictureForView(pngAhead->Bytes, bound).picture->Image());
        const QString gif = dir.filePath("e.gif");
        QVERIFY(WriteFile(gif, QByteArray("GIF89a\1\0\1\0\x80\0\0\0\0\0\xFF\xFF\xFF!\xF9\4\1\0\0\0\0,\0\0\0\0"
                                          "\1\0\1\0\0\2\2D\1\0;",
                                          43)));
        prefetch.Request({c, gif}, bound);
        prefetch.WaitUntilIdle();
        QCOMPARE(prefetch.HeldCount(), 1);
        // Cancelled with decodes on their way: when they end, nothing is held.
        prefetch.Request({a, b}, bound);
        prefetch.Cancel();
        prefetch.WaitUntilIdle();
        QCOMPARE(prefetch.HeldCount(), 0);
        QVERIFY(!prefetch.Take(a, bound) && !prefetch.Take(b, bound) && !prefetch.Take(c, bound));
    }

    void aTurnDrawsATurnedReductionAndMakesItsPixelsOnlyWhenAsked() {
        const QImage original = Ramps(1200, 800);
        const auto base = std::make_shared<const DecodedPicture>(original, original.size());
        const auto right = DecodedPicture::Turned(base, 90);
        QVERIFY(right->TurnPending());
        QCOMPARE(right->PixelSize(), QSize(800, 1200));
        QCOMPARE(right->SourceSize(), QSize(800, 1200));
        QCOMPARE(right->HimetricWidth(), base->HimetricHeight());
        QCOMPARE(right->HimetricHeight(), base->HimetricWidth());
        QCOMPARE(right->ByteCount(), base->ByteCount());
        // Turns add up on the original, and a full turn is the original itself.
        const auto left = DecodedPicture::Turned(DecodedPicture::Turned(right, 90), 90);
        QVERIFY(left->TurnPending());
        QCOMPARE(DecodedPicture::Turned(left, 90).get(), base.get());
        QCOMPARE(DecodedPicture::Turned(base, -360).get(), base.get());
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, DecodedPicture::Turned(base, 45));
        QVERIFY(!DecodedPicture::Turned(nullptr, 90));

        // Drawn reduced, it is the turned reduction of the original, and looks as a reduction of the turned
        // pixels; the pixels themselves are still to be made.
        QImage drawn(400, 600, QImage::Format_RGB32);
        drawn.fill(Qt::black);
        {
            QPainter painter(&drawn);
            left->Render(painter, QRect(0, 0, 400, 600));
        }
        QVERIFY(left->TurnPending());
        QCOMPARE(left->ReductionsMade(), 1);
        const QImage turnedPixels = RotateQuarterTurns(original, -90);
        const QImage expected =
            turnedPixels.scaled(400, 600, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const Difference d = Compare(drawn, expected, QRect(1, 1, 398, 598));
        QVERIFY2(d.largest <= 2 && d.mean <= 0.5,
                 qPrintable(QStringLiteral("largest %1, mean %2").arg(d.largest).arg(d.mean)));
        // Asked for, the pixels are exactly the turned ones, and a repaint still draws the reduction in hand.
        QCOMPARE(left->Image(), turnedPixels);
        QVERIFY(!left->TurnPending());
        {
            QPainter painter(&drawn);
            left->Render(painter, QRect(0, 0, 400, 600));
        }
        QCOMPARE(left->ReductionsMade(), 1);

        // Drawn at its own size, a turn makes its pixels for it.
        const auto half = DecodedPicture::Turned(base, 180);
        QImage whole(1200, 800, QImage::Format_RGB32);
        {
            QPainter painter(&whole);
            half->Render(painter, QRect(0, 0, 1200, 800));
        }
        QVERIFY(!half->TurnPending());
        QCOMPARE(whole, RotateQuarterTurns(original, 180));
        // A picture of another format is turned into 32 bits, even by a full turn.
        const auto gray = std::make_shared<const DecodedPicture>(
            original.convertToFormat(QImage::Format_Grayscale8), original.size());
        const auto grayBack = DecodedPicture::Turned(gray, 360);
        QVERIFY(grayBack.get() != gray.get());
        QCOMPARE(grayBack->Image().format(), QImage::Format_RGB32);
    }

    void aTurnedPictureMakesItsBytesOnlyWhenAsked() {
        QTemporaryDir dir;
        const QString jpeg = dir.filePath("photo.jpg");
        QVERIFY(WriteFile(jpeg, Encode(Ramps(64, 48), "jpeg", 90)));
        TPictureView view;
        QSignalSpy frames(&view, &TPictureView::OnFrameChange);
        TPictureHolder& picture = view.Picture();
        picture.LoadFile(jpeg);
        const QImage shown = picture.ToImage();
        int made = 0;
        const TPictureHolder::BytesMaker maker = [&made](const QImage& pixels) {
            ++made;
            return Encode(pixels, "bmp");
        };
        picture.LoadPictureMakingBytes(DecodedPicture::Turned(picture.Decoded(), 90), maker);
        // The view's reaction (frame 0) decodes nothing and makes nothing; the picture is turned already.
        QCOMPARE(picture.Frame(), 0);
        QCOMPARE(frames.count(), 2);
        QCOMPARE(made, 0);
        QCOMPARE(picture.DecodeCount(), 1);
        QVERIFY(!picture.IsGif());
        QCOMPARE(picture.FrameCount(), -1);
        QCOMPARE(picture.PixelWidth(), 48);
        QCOMPARE(picture.PixelHeight(), 64);
        // Asked for, the bytes are made once, and they are the turned picture's.
        const QByteArray bytes = picture.HeldBytes();
        QCOMPARE(made, 1);
        QCOMPARE(QImage::fromData(bytes, "bmp").convertToFormat(QImage::Format_RGB32),
                 RotateQuarterTurns(shown, 90));
        QCOMPARE(picture.HeldBytes(), bytes);
        picture.SetFrame(0);
        QCOMPARE(picture.DecodeCount(), 1);
        QCOMPARE(made, 1);

        // A save, a copy, and a copy of itself each make the bytes first.
        picture.LoadPictureMakingBytes(DecodedPicture::Turned(picture.Decoded(), 90), maker);
        QByteArray saved;
        QBuffer out(&saved);
        out.open(QIODevice::WriteOnly);
        picture.SaveStream(&out);
        QCOMPARE(made, 2);
        QCOMPARE(QImage::fromData(saved, "bmp").convertToFormat(QImage::Format_RGB32),
                 RotateQuarterTurns(shown, 180));
        picture.LoadPictureMakingBytes(DecodedPicture::Turned(picture.Decoded(), 90), maker);
        TPictureView other;
        other.SetPicture(&picture);
        QCOMPARE(made, 3);
        QCOMPARE(other.Picture().ToImage().convertToFormat(QImage::Format_RGB32),
                 RotateQuarterTurns(shown, 270));
        picture.LoadPictureMakingBytes(DecodedPicture::Turned(picture.Decoded(), 90), maker);
        view.SetPicture(&picture);
        QCOMPARE(made, 4);
        QCOMPARE(picture.ToImage().convertToFormat(QImage::Format_RGB32),
                 shown.convertToFormat(QImage::Format_RGB32));
        // A load drops a maker never used.
        picture.LoadPictureMakingBytes(DecodedPicture::Turned(picture.Decoded(), 90), maker);
        picture.LoadFile(jpeg);
        QCOMPARE(picture.HeldBytes().size(), QFileInfo(jpeg).size());
        QCOMPARE(made, 4);
    }
};

QTEST_MAIN(ViewDecodeTest)
#include "ViewDecodeTest.moc"
