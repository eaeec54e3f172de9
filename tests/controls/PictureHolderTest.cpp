// The picture holder: loading, failures, sizes, GIF frame cutting and hostile bytes.
#include "PictureHolder.h"
#include "ControlErrors.h"
#include "GifFrames.h"
#include "TestPictures.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <string>

using namespace quillmark;
using namespace testpictures;

namespace {

// Records the holder's events in the order they arrive.
struct EventLog {
    QStringList events;
    void Attach(TPictureHolder& holder) {
        holder.OnPictureChange = [this](TPictureHolder&) { events << "change"; };
        holder.OnFrameChange = [this](TPictureHolder&) { events << "frame"; };
        holder.OnClear = [this](TPictureHolder&) { events << "clear"; };
    }
};

QString FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EPictureError& error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

void LoadBytes(TPictureHolder& holder, QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    holder.LoadStream(&buffer);
}

} // namespace

class PictureHolderTest : public QObject {
    Q_OBJECT

private slots:
    void mulDivRoundsLikeThePlatform() {
        QCOMPARE(MulDiv(7, 1, 2), 4);
        QCOMPARE(MulDiv(-7, 1, 2), -4);
        QCOMPARE(MulDiv(5, 2, 3), 3);
        QCOMPARE(MulDiv(1, 1, 0), -1);
        QCOMPARE(MulDiv(1 << 30, 8, 1), -1);
        // A picture's pixels survive the trip through HIMETRIC units at 96 dpi.
        for (int px : {1, 2, 3, 299, 300, 3000, 4000, 65535})
            QCOMPARE(MulDiv(MulDiv(px, 2540, 96), 96, 2540), px);
    }

    void loadFileHoldsBytesAndReportsSizes() {
        QTemporaryDir dir;
        const QString path = dir.filePath("red.png");
        const QByteArray png = SolidPng(300, 200);
        QVERIFY(WriteFile(path, png));

        TPictureHolder holder;
        EventLog log;
        log.Attach(holder);
        holder.LoadFile(path);
        QVERIFY(!holder.IsEmpty());
        QCOMPARE(holder.HeldBytes(), png);
        QCOMPARE(holder.Frame(), 1);
        QCOMPARE(holder.PixelWidth(), 300);
        QCOMPARE(holder.PixelHeight(), 200);
        QCOMPARE(holder.DisplayWidth(), 300);
        QCOMPARE(holder.DisplayHeight(), 200);
        QCOMPARE(log.events, QStringList({"clear", "change"}));

        // Without GIF frames every frame number shows the same picture: it is not decoded again.
        const qint64 decoded = holder.ToImage().cacheKey();
        holder.SetFrame(0);
        QCOMPARE(holder.ToImage().cacheKey(), decoded);
        QCOMPARE(log.events.last(), QString("frame"));

        // The decoded size is kept in HIMETRIC units and converted with the holder's pixels per inch.
        holder.SetDpi(120, 72);
        QCOMPARE(holder.PixelWidth(), 375);
        QCOMPARE(holder.PixelHeight(), 150);

        QBuffer saved;
        saved.open(QIODevice::WriteOnly);
        holder.SaveStream(&saved);
        QCOMPARE(saved.data(), png);
        const QString copy = dir.filePath("copy.anything");
        QVERIFY(holder.SaveToFile(copy));
        QFile written(copy);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), png);
    }

    void loadFileFailsSilently() {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.png");
        QVERIFY(WriteFile(good, SolidPng(10, 10)));
        QByteArray noise(4096, '\0');
        QRandomGenerator random(7);
        for (char& c : noise)
            c = char(random.bounded(256));
        noise[0] = 'x'; // not a TIFF, GIF or any other signature
        const QString bad = dir.filePath("noise.jpg");
        QVERIFY(WriteFile(bad, noise));

        TPictureHolder holder;
        EventLog log;
        holder.LoadFile(good);
        log.Attach(holder);

        // A file that is not there keeps the previous bytes and decoded picture, but the holder is empty.
        holder.LoadFile(dir.filePath("missing.jpg"));
        QVERIFY(holder.IsEmpty());
        QCOMPARE(holder.HeldBytes(), SolidPng(10, 10));
        QVERIFY(log.events.isEmpty());

        // Bytes no decoder reads are held (Save as still writes them) and leave no decoded picture.
        holder.LoadFile(bad);
        QVERIFY(holder.IsEmpty());
        QCOMPARE(holder.HeldBytes(), noise);
        QCOMPARE(holder.PixelWidth(), 0);
        QVERIFY(log.events.isEmpty());

        // A folder, even one named like a photo, is no picture.
        QVERIFY(QDir(dir.path()).mkdir("folder.jpg"));
        holder.LoadFile(dir.filePath("folder.jpg"));
        QVERIFY(holder.IsEmpty());
    }

    void loadStreamReportsFailures() {
        TPictureHolder holder;
        holder.LoadStream(nullptr);
        QVERIFY(holder.IsEmpty());

        QCOMPARE(FailureOf([&] { LoadBytes(holder, QByteArray("definitely not a picture")); }),
                 QString(kInvalidImageFormat));
        QVERIFY(!holder.IsEmpty()); // a failed stream load still counts as holding something
        QVERIFY(!holder.HasDecodedPicture());
        QCOMPARE(FailureOf([&] { LoadBytes(holder, QByteArray()); }), QString(kEmptyImageStream));

        // The stream is read from its start, wherever it stands.
        QByteArray png = SolidPng(8, 6);
        QBuffer buffer(&png);
        buffer.open(QIODevice::ReadOnly);
        buffer.seek(5);
        holder.LoadStream(&buffer);
        QCOMPARE(holder.HeldBytes(), png);
        QCOMPARE(holder.PixelWidth(), 8);
    }

    void assignPictureCopiesOnlyItsOwnKind() {
        TPictureHolder source;
        LoadBytes(source, SolidPng(30, 20));
        TPictureHolder target;
        EventLog log;
        log.Attach(target);

        target.AssignPicture(&source);
        QVERIFY(!target.IsEmpty());
        QCOMPARE(target.HeldBytes(), source.HeldBytes());
        QCOMPARE(target.PixelWidth(), 30);
        QCOMPARE(log.events, QStringList({"change"}));

        log.events.clear();
        target.AssignPicture(nullptr);
        QVERIFY(target.IsEmpty());
        QVERIFY(target.HeldBytes().isEmpty());
        QCOMPARE(log.events, QStringList({"change", "clear"}));

        // A thumbnail's picture is another kind: the view's picture is left empty, without an event.
        TPictureHolder thumbnail(TPictureHolder::Variant::Thumbnail);
        LoadBytes(thumbnail, SolidPng(30, 20));
        target.AssignPicture(&source);
        log.events.clear();
        target.AssignPicture(&thumbnail);
        QVERIFY(target.IsEmpty());
        QVERIFY(!target.HasDecodedPicture());
        QVERIFY(log.events.isEmpty());

        // Copying an empty picture is not a failure: it empties this one.
        TPictureHolder empty;
        target.AssignPicture(&source);
        target.AssignPicture(&empty);
        QVERIFY(target.IsEmpty());

        // A picture assigned to itself stays as it was.
        target.AssignPicture(&source);
        target.AssignPicture(&target);
        QVERIFY(!target.IsEmpty());
        QCOMPARE(target.PixelWidth(), 30);
        thumbnail.AssignPicture(&thumbnail);
        QVERIFY(!thumbnail.IsEmpty());
        QCOMPARE(thumbnail.PixelWidth(), 30);
    }

    void recognisesGifs() {
        QVERIFY(!StartsAsGif("GIF8"));
        QVERIFY(StartsAsGif("GIF8x"));
        QVERIFY(!StartsAsGif("gif89a"));
        TPictureHolder holder;
        QCOMPARE(FailureOf([&] { LoadBytes(holder, "GIF8x"); }), QString(kInvalidImageFormat));
        QVERIFY(holder.IsGif());
        QCOMPARE(holder.FrameCount(), 0);
        QCOMPARE(holder.FrameDuration(1), -1);

        TPictureHolder png;
        LoadBytes(png, SolidPng(4, 4));
        QVERIFY(!png.IsGif());
        QCOMPARE(png.FrameCount(), -1);
        QCOMPARE(png.FrameDuration(1), -1);
    }

    void cutsGifFramesByteExactly() {
        const BuiltGif gif = ThreeFrameGif();
        const QByteArray& bytes = gif.bytes;
        const int p1 = gif.controlOffsets[0], p2 = gif.controlOffsets[1], p3 = gif.controlOffsets[2];
        QCOMPARE(CountGifFrames(bytes), 3);

        for (int frame : {0, 1})
            QCOMPARE(CutGifFrames(bytes, frame).bytes, bytes);
        const GifCut first = CutGifFrames(bytes, 1);
        QVERIFY(first.frame.matched);
        QCOMPARE(first.frame.width, 20);
        QVERIFY(!CutGifFrames(bytes, 0).frame.matched);

        const GifCut second = CutGifFrames(bytes, 2);
        QCOMPARE(second.bytes, bytes.left(p1) + bytes.mid(p2));
        QCOMPARE(second.frame.left, 4);
        QCOMPARE(second.frame.top, 2);
        QCOMPARE(second.frame.width, 6);
        QCOMPARE(second.frame.height, 5);
        QCOMPARE(second.frame.screenWidth, 20);
        QCOMPARE(second.frame.screenHeight, 10);

        QCOMPARE(CutGifFrames(bytes, 3).bytes, bytes.left(p1) + bytes.mid(p3));
        // Past the last frame only the header, colour table and leading extensions are left.
        const GifCut beyond = CutGifFrames(bytes, 4);
        QCOMPARE(beyond.bytes, bytes.left(p1));
        QVERIFY(!beyond.frame.matched);

        const GifFrameTiming timing = GifFrameTimingAt(bytes, 2);
        QCOMPARE(timing.delay, 3);
        QCOMPARE(timing.disposal, 2);
        QCOMPARE(GifFrameTimingAt(bytes, 4).delay, -1);
    }

    void showsTheChosenGifFrame() {
        TPictureHolder holder;
        EventLog log;
        LoadBytes(holder, ThreeFrameGif().bytes);
        log.Attach(holder);
        QCOMPARE(holder.FrameCount(), 3);
        QCOMPARE(holder.ScreenWidth(), 20);
        QCOMPARE(holder.DisplayWidth(), 20);
        QCOMPARE(holder.ToImage().pixelColor(0, 0), QColor(Qt::red));

        holder.SetFrame(2);
        QCOMPARE(log.events, QStringList({"frame"}));
        QCOMPARE(holder.PixelWidth(), 6); // the frame's own size
        QCOMPARE(holder.PixelHeight(), 5);
        QCOMPARE(holder.DisplayWidth(), 20); // placed on the logical screen
        QCOMPARE(holder.DisplayHeight(), 10);
        QCOMPARE(holder.FrameLeft(), 4);
        QCOMPARE(holder.FrameTop(), 2);
        QCOMPARE(holder.ToImage().pixelColor(0, 0), QColor(Qt::green));

        holder.SetFrame(3);
        QCOMPARE(holder.ToImage().pixelColor(0, 0), QColor(Qt::blue));
        QCOMPARE(holder.FrameDuration(3), 4);
        QCOMPARE(holder.FrameDisposal(), 3);

        // Frame 0 shows the whole file; left and top go back to 0 while width and height stay.
        holder.SetFrame(0);
        QCOMPARE(holder.FrameLeft(), 0);
        QCOMPARE(holder.FrameWidth(), 8);
        QCOMPARE(holder.ToImage().pixelColor(0, 0), QColor(Qt::red));

        // A frame number past the last leaves no image to decode.
        QCOMPARE(FailureOf([&] { holder.SetFrame(9); }), QString(kInvalidImageFormat));
    }

    void drawsIntoTheFrameRectangle() {
        TPictureHolder holder;
        LoadBytes(holder, ThreeFrameGif().bytes);
        holder.SetFrame(2);
        QImage canvas(60, 40, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter painter(&canvas);
            holder.DrawInto(painter, RectLTRB(10, 10, 22, 20)); // scaled 2x, moved by (4, 2)
        }
        QCOMPARE(BoundsOf(canvas, Qt::green), QRect(14, 12, 12, 10));
    }

    void countsFramesOncePerAssignedPicture() {
        TPictureHolder holder;
        LoadBytes(holder, ThreeFrameGif().bytes);
        QCOMPARE(holder.FrameCount(), 3);
        // A load without a clear keeps the previous count; only assigning a picture forgets it.
        LoadBytes(holder, MakeGif(4, 4, {GifFrame{0, 0, 4, 4, 1, true, 5, 0}}).bytes);
        QCOMPARE(holder.FrameCount(), 3);
        holder.AssignPicture(nullptr);
        LoadBytes(holder, MakeGif(4, 4, {GifFrame{0, 0, 4, 4, 1, true, 5, 0}}).bytes);
        QCOMPARE(holder.FrameCount(), 1);

        // Frames without a graphic control extension are not counted: such a GIF never animates.
        TPictureHolder plain;
        LoadBytes(plain,
                  MakeGif(4, 4, {GifFrame{0, 0, 4, 4, 1, false}, GifFrame{0, 0, 2, 2, 2, false}}).bytes);
        QCOMPARE(plain.FrameCount(), 0);
        QCOMPARE(plain.ToImage().pixelColor(0, 0), QColor(Qt::red));
    }

    void thumbnailsRefuseJpegsClaimingMoreThanAGigapixel() {
        const QByteArray jpeg = Encode(Solid(16, 16, Qt::blue), "jpeg", 90);
        const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(sof > 0);
        const auto claiming = [&](int width, int height) {
            QByteArray bytes = jpeg;
            bytes[sof + 5] = char(height >> 8);
            bytes[sof + 6] = char(height & 0xFF);
            bytes[sof + 7] = char(width >> 8);
            bytes[sof + 8] = char(width & 0xFF);
            return bytes;
        };
        // The largest picture a JPEG can name, and just past a gigapixel at 1/8 of its size: no picture,
        // and no quarter of a gigabyte spent on a few hundred bytes.
        for (const QSize claim : {QSize(65500, 65500), QSize(32776, 32768), QSize(65500, 16400)}) {
            const DecodeResult result =
                DecodePictureFitted(claiming(claim.width(), claim.height()), QSize(96, 96));
            QVERIFY2(result.status == DecodeStatus::NoPicture, qPrintable(QStringLiteral("%1 x %2: %3")
                                                                              .arg(claim.width())
                                                                              .arg(claim.height())
                                                                              .arg(int(result.status))));
            // Nor does the fitted view show a reduction of a picture too large to decode whole.
            const DecodeResult view =
                DecodePictureForView(claiming(claim.width(), claim.height()), QSize(1600, 1000));
            QVERIFY(view.status != DecodeStatus::Decoded);
        }
        // A camera-size claim still decodes, reduced, and reports the claimed size.
        const DecodeResult camera = DecodePictureFitted(claiming(4000, 3000), QSize(96, 96));
        QCOMPARE(camera.status, DecodeStatus::Decoded);
        QCOMPARE(camera.picture->SourceSize(), QSize(4000, 3000));
        QVERIFY(camera.picture->PixelSize().width() <= 96);
    }

    void survivesHostileBytes() {
        // A frame mark in the last ten bytes announces an image descriptor that is cut off.
        QByteArray tail = MakeGif(4, 4, {GifFrame{0, 0, 4, 4, 1, false}}).bytes;
        tail.chop(1);
        tail.append(QByteArray::fromHex("21F904050A0000002C07"));
        QCOMPARE(CountGifFrames(tail), 1);
        const GifCut cut = CutGifFrames(tail, 1);
        QVERIFY(cut.frame.matched);
        QCOMPARE(cut.frame.left, 0); // only one byte of it is there
        QCOMPARE(cut.frame.height, 0);
        QCOMPARE(GifFrameTimingAt(tail, 1).delay, 10);

        // Every prefix of a three-frame GIF, at every frame number: failures are reported, nothing more.
        const QByteArray gif = ThreeFrameGif().bytes;
        for (qsizetype length = 0; length <= gif.size(); ++length) {
            TPictureHolder holder;
            for (int frame = 0; frame <= 4; ++frame) {
                try {
                    LoadBytes(holder, gif.left(length));
                    holder.SetFrame(frame);
                    holder.FrameDuration(frame);
                } catch (const EPictureError&) {
                }
            }
        }

        // Random bytes, some dressed as a GIF, a JPEG or a PNG.
        QRandomGenerator random(2024);
        const QByteArray heads[] = {"", "GIF89a", "\xFF\xD8\xFF\xE0", "\x89PNG\r\n\x1A\n", "BM", "II*\0"};
        for (int round = 0; round < 300; ++round) {
            QByteArray bytes = heads[round % 6];
            const int length = random.bounded(600);
            for (int i = 0; i < length; ++i)
                bytes.append(char(random.bounded(256)));
            if (round % 3 == 0) bytes.append(QByteArray::fromHex("21F904000000002C"));
            TPictureHolder holder;
            try {
                LoadBytes(holder, bytes);
                holder.SetFrame(2);
            } catch (const EPictureError&) {
            }
            TPictureHolder thumbnail(TPictureHolder::Variant::Thumbnail);
            try {
                LoadBytes(thumbnail, bytes);
            } catch (const EPictureError&) {
            }
        }
    }

    void readsTheSamplePhotos() {
#ifdef QUILLMARK_SAMPLES_DIR
        const QString samples = QStringLiteral(QUILLMARK_SAMPLES_DIR);
        if (!QFile::exists(samples + "/Canon_40D.jpg")) QSKIP("sample photos not found");
        TPictureHolder holder;
        holder.LoadFile(samples + "/Canon_40D.jpg");
        QVERIFY(!holder.IsEmpty());
        const QSize size = QImageReader(samples + "/Canon_40D.jpg").size();
        QCOMPARE(holder.PixelWidth(), size.width());
        QCOMPARE(holder.PixelHeight(), size.height());
        QFile file(samples + "/Canon_40D.jpg");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(holder.HeldBytes(), file.readAll());

        // A TIFF is held unchanged whether or not it decodes.
        TPictureHolder tiff;
        tiff.LoadFile(samples + "/BSG1.tiff");
        QFile tiffFile(samples + "/BSG1.tiff");
        QVERIFY(tiffFile.open(QIODevice::ReadOnly));
        QCOMPARE(tiff.HeldBytes(), tiffFile.readAll());
#else
        QSKIP("no sample folder configured");
#endif
    }
};

QTEST_MAIN(PictureHolderTest)
#include "PictureHolderTest.moc"
