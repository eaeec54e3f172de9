// Thumbnails drawn from the photos' own EXIF thumbnails: finding them in the sample photos as the reader
// does, deciding when one is good enough for a cell, cutting the bars cameras add, and hostile headers;
// photos and their thumbnails shown upright by their EXIF orientation, in the view and in the strip.
#include "ExifThumbnailFiles.h"
#include "ImgData.h"
#include "JpegHeader.h"
#include "PictureHolder.h"
#include "PictureView.h"
#include "TestPictures.h"

#include <QBuffer>
#include <QImageReader>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <random>

using namespace quillmark;
using namespace exifthumbs;

namespace {

// The cell of the main window's strip at a device pixel ratio of 1.
const QSize kCell(136, 43);

QString Write(const QTemporaryDir& dir, const char* name, const std::string& bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    testpictures::WriteFile(path, ToBytes(bytes));
    return path;
}

// The colour of a picture's pixel, as a QColor for QCOMPARE-friendly messages.
QColor At(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

bool Near(QColor a, QColor b, int tolerance = 40) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// A picture of four quadrants in four colours.
craft::RgbImage Quadrants(int width, int height, QColor tl, QColor tr, QColor bl, QColor br) {
    craft::RgbImage top = Halves(width, height, tl, tr), bottom = Halves(width, height, bl, br);
    const size_t half = size_t(height / 2) * size_t(width) * 3;
    std::copy(bottom.pixels.begin() + std::ptrdiff_t(half), bottom.pixels.end(),
              top.pixels.begin() + std::ptrdiff_t(half));
    return top;
}

// The four corners of a picture (a little inside) are near the colours given, top left, top right, bottom
// left, bottom right; says which is not.
bool CornersAre(const QImage& image, const std::vector<QColor>& colors) {
    const int w = image.width(), h = image.height();
    const int dx = std::max(1, w / 8), dy = std::max(1, h / 8);
    const QPoint points[4] = {{dx, dy}, {w - 1 - dx, dy}, {dx, h - 1 - dy}, {w - 1 - dx, h - 1 - dy}};
    for (int i = 0; i < 4; ++i) {
        if (!Near(At(image, points[i].x(), points[i].y()), colors[size_t(i)])) {
            qWarning() << "corner" << i << "of" << image.size() << "is"
                       << At(image, points[i].x(), points[i].y()) << "not" << colors[size_t(i)];
            return false;
        }
    }
    return true;
}

// The whole picture is close to one colour.
bool AllNear(const QImage& image, QColor color, int tolerance = 40) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!Near(At(image, x, y), color, tolerance)) return false;
    return true;
}

TPictureHolder& LoadThumbnail(TPictureHolder& holder, const QString& path, QSize bound = kCell) {
    holder.SetDecodeBound(bound);
    holder.LoadFile(path);
    return holder;
}

// The JPEGInterchangeFormat offset and length the metadata reader found in a file's thumbnail directory.
bool ReaderThumbnail(const QString& path, std::string& thumbnail) {
    TimgData data(255);
    if (!data.ProcessFile(QFile::encodeName(path).toStdString()) || !data.HasExif() || !data.ExifReader)
        return false;
    TImageInfo& reader = *data.ExifReader;
    if (!reader.HasThumbnail() || !reader.ReadThumbnailDirectory()) return false;
    qint64 offset = -1, length = -1;
    for (const TTagEntry& entry : reader.ThumbEntries) {
        if (entry.Tag == 0x0201) offset = QByteArray::fromStdString(entry.Text).trimmed().toLongLong();
        if (entry.Tag == 0x0202) length = QByteArray::fromStdString(entry.Text).trimmed().toLongLong();
    }
    if (offset <= 0 || length <= 0) return false;
    // The section's bytes: two length bytes, "Exif\0\0", then the TIFF block the offset counts from.
    const std::string& section = data.Section(data.ExifSection).Data;
    if (size_t(offset + length) + 8 > section.size()) return false;
    thumbnail = section.substr(size_t(8 + offset), size_t(length));
    return true;
}

} // namespace

class ExifThumbnailTest : public QObject {
    Q_OBJECT

private slots:
    // Damaged files are the point of some cases here; libjpeg's complaints about them are not.
    void initTestCase() {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
    }

    void agreesWithTheReaderOnTheSamples() {
        int withThumbnails = 0;
        const QDir samples(QStringLiteral(QUILLMARK_SAMPLES_DIR));
        for (const QString& name : samples.entryList({QStringLiteral("*.jpg")}, QDir::Files)) {
            const QString path = samples.filePath(name);
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            const TJpegHeaderFacts facts =
                ScanJpegHeader(std::string_view(bytes.constData(), size_t(bytes.size())));
            QVERIFY2(facts.IsJpeg, qPrintable(name));
            // The frame size is the one Qt's own reader announces.
            QCOMPARE(QSize(facts.Width, facts.Height), QImageReader(path).size());
            std::string expected;
            if (ReaderThumbnail(path, expected)) {
                ++withThumbnails;
                QVERIFY2(facts.Thumbnail == expected, qPrintable(name));
            } else {
                QVERIFY2(facts.Thumbnail.empty(), qPrintable(name));
            }
        }
        QVERIFY(withThumbnails >= 5);
    }

    void cellsShowTheExifThumbnailWhenItIsLargeEnough() {
        QTemporaryDir dir;
        const std::string bytes = PhotoWithThumbnail(Solid(1200, 900, Qt::red), Solid(160, 120, Qt::blue));
        const QString path = Write(dir, "photo.jpg", bytes);

        TPictureHolder cell(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(cell, path);
        QVERIFY(!cell.IsEmpty());
        QVERIFY(cell.FromExifThumbnail());
        QVERIFY(AllNear(cell.ToImage(), Qt::blue));
        // The photo's own size places it; the pixels kept are what the cell needs.
        QCOMPARE(cell.DisplayWidth(), 1200);
        QCOMPARE(cell.PixelHeight(), 900);
        QCOMPARE(cell.ToImage().size(), FitWithin(1200, 900, kCell.width(), kCell.height()));
        QCOMPARE(cell.DecodeCount(), 1);
        // Saving still writes the file.
        QBuffer saved;
        saved.open(QIODevice::WriteOnly);
        cell.SaveStream(&saved);
        QCOMPARE(saved.data(), ToBytes(bytes));

        // The view shows the photo.
        TPictureHolder view;
        view.LoadFile(path);
        QVERIFY(AllNear(view.ToImage(), Qt::red));
        QCOMPARE(view.ToImage().size(), QSize(1200, 900));

        // A cell as large as the thumbnail still takes it; one larger than it does not.
        TPictureHolder exact(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(exact, path, QSize(160, 120));
        QVERIFY(exact.FromExifThumbnail());
        QCOMPARE(exact.ToImage().size(), QSize(160, 120));
        TPictureHolder large(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(large, path, QSize(161, 200));
        QVERIFY(!large.FromExifThumbnail());
        QVERIFY(AllNear(large.ToImage(), Qt::red));
        QCOMPARE(large.ToImage().size(), QSize(161, 120));
    }

    void fallsBackToTheReducedDecode() {
        QTemporaryDir dir;
        // A thumbnail too small for the cell (a device pixel ratio of 2 wants 114 x 86).
        const QString small =
            Write(dir, "small.jpg", PhotoWithThumbnail(Solid(1200, 900, Qt::red), Solid(80, 60, Qt::blue)));
        TPictureHolder cell(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(cell, small, QSize(272, 86));
        QVERIFY(!cell.FromExifThumbnail());
        QVERIFY(AllNear(cell.ToImage(), Qt::red));
        QCOMPARE(cell.ToImage().size(), QSize(114, 86));

        // A cell that grows past its thumbnail is decoded from the photo; one that shrinks keeps it.
        const QString fits =
            Write(dir, "fits.jpg", PhotoWithThumbnail(Solid(1200, 900, Qt::red), Solid(160, 120, Qt::blue)));
        TPictureHolder growing(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(growing, fits, QSize(40, 40));
        QVERIFY(growing.FromExifThumbnail());
        QCOMPARE(growing.ToImage().size(), QSize(40, 30));
        growing.EnsureResolution(QSize(120, 120));
        QVERIFY(growing.FromExifThumbnail()); // 120 x 90 still comes from the 160 x 120 thumbnail
        QCOMPARE(growing.ToImage().size(), QSize(120, 90));
        growing.EnsureResolution(QSize(400, 400));
        QVERIFY(!growing.FromExifThumbnail());
        QVERIFY(AllNear(growing.ToImage(), Qt::red));
        QCOMPARE(growing.ToImage().size(), QSize(400, 300));
        QCOMPARE(growing.DisplayWidth(), 1200);

        // A thumbnail that is no JPEG, or that does not decode, is passed over.
        craft::JpegFile broken;
        const std::string garbage = std::string("\xFF\xD8\xFF\xDB", 4) + std::string(400, '\x55');
        broken.Soi().Exif(ExifWithThumbnail(garbage)).Image(Solid(800, 600, Qt::red));
        const QString brokenPath = Write(dir, "broken.jpg", broken.Bytes());
        TPictureHolder fallback(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(fallback, brokenPath);
        QVERIFY(!fallback.IsEmpty());
        QVERIFY(!fallback.FromExifThumbnail());
        QVERIFY(AllNear(fallback.ToImage(), Qt::red));
    }

    void cutsTheBarsCamerasAdd() {
        QTemporaryDir dir;
        const QColor green(40, 200, 60);
        // A 3:2 photo in a 4:3 thumbnail: black bars above and below, as Canon writes them.
        const QString letterboxed =
            Write(dir, "letterboxed.jpg",
                  PhotoWithThumbnail(Solid(1500, 1000, green),
                                     Letterboxed(Solid(160, 107, green), 160, 120, Qt::black)));
        TPictureHolder cell(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(cell, letterboxed, QSize(150, 100));
        QVERIFY(cell.FromExifThumbnail());
        QCOMPARE(cell.ToImage().size(), QSize(150, 100));
        QVERIFY(AllNear(cell.ToImage(), green, 48)); // no bar left at any edge

        // A portrait photo pillarboxed into a landscape thumbnail.
        const QString pillarboxed =
            Write(dir, "pillarboxed.jpg",
                  PhotoWithThumbnail(Solid(900, 1200, green),
                                     Letterboxed(Solid(90, 120, green), 160, 120, Qt::black)));
        TPictureHolder portrait(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(portrait, pillarboxed, QSize(60, 80));
        QVERIFY(portrait.FromExifThumbnail());
        QVERIFY(AllNear(portrait.ToImage(), green, 48));

        // A thumbnail squeezed to its own shape without bars is drawn back to the photo's shape.
        const QString squeezed = Write(dir, "squeezed.jpg",
                                       PhotoWithThumbnail(Halves(1500, 1000, Qt::blue, Qt::yellow),
                                                          Halves(160, 120, Qt::blue, Qt::yellow)));
        TPictureHolder stretched(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(stretched, squeezed, QSize(150, 100));
        QVERIFY(stretched.FromExifThumbnail());
        QVERIFY(Near(At(stretched.ToImage(), 5, 50), Qt::blue));
        QVERIFY(Near(At(stretched.ToImage(), 144, 50), Qt::yellow));

        // One far from the photo's shape is taken for something else: the photo is decoded.
        const QString odd =
            Write(dir, "odd.jpg",
                  PhotoWithThumbnail(Solid(1200, 900, Qt::red), Halves(160, 40, Qt::blue, Qt::yellow)));
        TPictureHolder other(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(other, odd);
        QVERIFY(!other.FromExifThumbnail());
        QVERIFY(AllNear(other.ToImage(), Qt::red));
    }

    void showsPhotosUprightByTheirOrientation_data() {
        // Which stored corner each orientation brings to the upright picture's top left, top right, bottom
        // left and bottom right, read off the definition of the tag (where its row 0 and column 0 lie).
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QString>("corners");
        QTest::newRow("1 as stored") << 1 << "TL TR BL BR";
        QTest::newRow("2 mirrored") << 2 << "TR TL BR BL";
        QTest::newRow("3 half turn") << 3 << "BR BL TR TL";
        QTest::newRow("4 upside down") << 4 << "BL BR TL TR";
        QTest::newRow("5 transposed") << 5 << "TL BL TR BR";
        QTest::newRow("6 right turn") << 6 << "BL TL BR TR";
        QTest::newRow("7 transverse") << 7 << "BR TR BL TL";
        QTest::newRow("8 left turn") << 8 << "TR BR TL BL";
        QTest::newRow("9 unknown") << 9 << "TL TR BL BR";
    }

    void showsPhotosUprightByTheirOrientation() {
        QFETCH(int, orientation);
        QFETCH(QString, corners);
        const std::map<QString, QColor> stored{{"TL", QColor(220, 0, 0)},
                                               {"TR", QColor(0, 200, 0)},
                                               {"BL", QColor(0, 0, 220)},
                                               {"BR", QColor(230, 230, 0)}};
        const QStringList names = corners.split(' ');
        std::vector<QColor> expected;
        for (const QString& name : names)
            expected.push_back(stored.at(name));
        const auto quadrants = [&](int w, int h) {
            return Quadrants(w, h, stored.at("TL"), stored.at("TR"), stored.at("BL"), stored.at("BR"));
        };
        const bool sideways = orientation >= 5 && orientation <= 8;
        const QSize upright = sideways ? QSize(800, 1200) : QSize(1200, 800);

        QTemporaryDir dir;
        const QString withThumbnail = Write(
            dir, "thumb.jpg", PhotoWithThumbnail(quadrants(1200, 800), quadrants(150, 100), orientation));
        craft::TiffBlock tiff(true);
        tiff.Short(0, 0x0112, {uint16_t(orientation)});
        craft::JpegFile plain;
        plain.Soi().Exif(tiff).Image(quadrants(1200, 800), 90);
        const QString withoutThumbnail = Write(dir, "plain.jpg", plain.Bytes());

        // The view's picture, as pixels and as the view paints it; then a right turn on top of it, which
        // brings the bottom-left corner to the top left.
        TPictureView view;
        view.resize(130, 130);
        view.SetPicturePosition(bpStretchedWithAspect);
        view.Picture().LoadFile(withoutThumbnail);
        QCOMPARE(QSize(view.Picture().PixelWidth(), view.Picture().PixelHeight()), upright);
        QVERIFY(CornersAre(view.Picture().ToImage(), expected));
        QVERIFY(CornersAre(view.grab().toImage().copy(QRect(QPoint(0, 0), upright / 10)), expected));
        const std::vector<QColor> turned{expected[2], expected[0], expected[3], expected[1]};
        view.Picture().LoadPictureMakingBytes(DecodedPicture::Turned(view.Picture().Decoded(), 90),
                                              [](const QImage&) { return QByteArray("turned"); });
        QVERIFY(
            CornersAre(view.grab().toImage().copy(QRect(QPoint(0, 0), upright.transposed() / 10)), turned));
        QVERIFY(CornersAre(view.Picture().ToImage(), turned));
        QCOMPARE(view.Picture().HeldBytes(), QByteArray("turned"));

        // The strip's thumbnails, from the EXIF thumbnail and from a reduced decode of the photo.
        for (const QString& path : {withThumbnail, withoutThumbnail}) {
            TPictureHolder cell(TPictureHolder::Variant::Thumbnail);
            LoadThumbnail(cell, path);
            QCOMPARE(cell.FromExifThumbnail(), path == withThumbnail);
            QCOMPARE(QSize(cell.DisplayWidth(), cell.DisplayHeight()), upright);
            const QImage image = cell.ToImage();
            QCOMPARE(image.width() > image.height(), !sideways);
            QVERIFY2(CornersAre(image, expected), qPrintable(path));
        }
    }

    void readsSectionsBeyondTheFirstBlock() {
        // Colour profiles and previews can push the frame header far into the file: the sections are then
        // found where they lie, and the thumbnail still serves.
        QTemporaryDir dir;
        const std::string thumbnail = ThumbnailJpeg(Solid(160, 120, Qt::blue));
        craft::JpegFile file;
        file.Soi().Exif(ExifWithThumbnail(thumbnail));
        for (int i = 0; i < 4; ++i)
            file.Segment(0xE2, std::string(60000, char('a' + i)));
        file.Image(Solid(1000, 750, Qt::red));
        const QString path = Write(dir, "profiled.jpg", file.Bytes());
        const TJpegHeaderFacts facts = ScanJpegHeader(file.Bytes());
        QCOMPARE(facts.Width, 1000);
        QVERIFY(facts.Thumbnail == thumbnail);
        TPictureHolder cell(TPictureHolder::Variant::Thumbnail);
        LoadThumbnail(cell, path);
        QVERIFY(cell.FromExifThumbnail());
        QCOMPARE(cell.DisplayHeight(), 750);
    }

    // A raw file's cell comes from the smallest preview its directories name that fills the cell, or from
    // the EXIF thumbnail inside a larger one; a cell larger than every preview takes the largest.
    void rawCellsTakeTheSmallestPreviewThatFills() {
        const std::string small = craft::EncodeJpeg(Solid(200, 150, Qt::red), 90);
        const std::string big = craft::EncodeJpeg(Solid(800, 600, Qt::blue), 90);
        const std::string bigWithThumb =
            PhotoWithThumbnail(Solid(800, 600, Qt::blue), Solid(160, 120, Qt::green));
        const auto dng = [](const std::string& first, const std::string& second) {
            const auto make = [&](std::vector<uint32_t> subs) {
                craft::TiffBlock t(false);
                const int a = t.AddIfd(), b = t.AddIfd();
                t.Ascii(0, 0x010F, "Acme").Byte(0, 0xC612, {1, 4, 0, 0}).Long(0, 0x014A, subs);
                t.LinkTrailer(a, 0x0201).Long(a, 0x0202, {uint32_t(first.size())});
                t.LinkTrailer(b, 0x0201, uint32_t(first.size())).Long(b, 0x0202, {uint32_t(second.size())});
                t.Trailer(first + second);
                return t;
            };
            const craft::TiffBlock draft = make({0, 0});
            return make({draft.IfdOffset(1), draft.IfdOffset(2)}).Build();
        };
        QTemporaryDir dir;
        const QString both = Write(dir, "both.dng", dng(big, small));
        const QString thumbed = Write(dir, "thumbed.dng", dng(bigWithThumb, bigWithThumb));
        struct Row {
            QString path;
            QSize bound;
            QColor colour;
            QSize size;
        } rows[] = {
            {both, QSize(160, 160), Qt::red, QSize(160, 120)},
            {both, QSize(400, 400), Qt::blue, QSize(400, 300)},
            {both, QSize(1000, 1000), Qt::blue, QSize(800, 600)},
            {thumbed, QSize(160, 160), Qt::green, QSize(160, 120)},
        };
        for (const Row& row : rows) {
            const TThumbnailLoad load = DecodeThumbnailLoad(row.path, row.bound);
            QVERIFY(load.Decoded && load.Picture);
            const QImage image = load.Picture->Image();
            QCOMPARE(image.size(), row.size);
            QVERIFY2(Near(At(image, image.width() / 2, image.height() / 2), row.colour),
                     qPrintable(row.path));
        }
    }

    void survivesHostileHeaders() {
        // The scan's own hostile cases are in tests/metadata/JpegHeaderTest.cpp; here the cells on it.
        const std::string thumbnail = ThumbnailJpeg(Solid(160, 120, Qt::blue));
        const std::string good = PhotoWithThumbnail(Solid(64, 48, Qt::red), Solid(160, 120, Qt::blue));

        // A thumbnail that claims a huge picture is not decoded.
        std::string huge = thumbnail;
        const size_t sof = huge.find("\xFF\xC0");
        QVERIFY(sof != std::string::npos);
        huge[sof + 5] = huge[sof + 6] = huge[sof + 7] = huge[sof + 8] = '\xF0';
        QVERIFY(!DecodeExifThumbnail(ToBytes(huge), QSize(60000, 60000), kCell));

        // Random damage anywhere in the first sections: the scan ends, and a cell is either a picture of the
        // photo's size or empty.
        QTemporaryDir dir;
        std::mt19937 random(7);
        for (int round = 0; round < 300; ++round) {
            std::string damaged = good;
            for (int k = 0; k < 4; ++k)
                damaged[random() % std::min<size_t>(damaged.size(), 2400)] = char(random());
            (void)ScanJpegHeader(damaged);
            const QString path = Write(dir, "damaged.jpg", damaged);
            const TThumbnailLoad load = PrepareThumbnailLoad(path, kCell);
            QVERIFY(load.Read);
            if (load.Decoded) QVERIFY(load.Picture);
        }
    }
};

QTEST_MAIN(ExifThumbnailTest)
#include "ExifThumbnailTest.moc"
