// A 24-megapixel HEIC shown in a fitted view against its full decode.
//
//   HeifViewBenchmark [--file PATH] [--size WxH] [--view WxH] [--rounds N]
//
// Makes PATH (default /tmp/quillmark-heif-view/6000x4000.heic, kept for later runs) with libheif's HEVC
// encoder and a 320-pixel thumbnail item, as phones write them, then times, N rounds each (default 3), the
// view's decode for a fitted view of the given device pixels (DecodePictureForView, default 1920 x 1080) and
// the whole decode (DecodePicture), and prints the best of each and their ratio (goal <= 0.5x). The view's
// decode keeps a reduction of the photo's own pixels (the thumbnail item never stands in) and leaves the full
// pixels to be decoded when asked for (timed too); the pixels it keeps are printed, against the picture's
// size. It also times what the window shows first, the thumbnail item standing in while a worker makes that
// reduction (DecodePictureForView with standInFirst). libheif 1.15 writes no tile grids: a phone's photo
// (--file tests/data/cameras/iPhone_11_Pro.heic) is one.
#define QUILLMARK_NO_MAIN
#include "EmbeddedStripBenchmark.cpp"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString path = QStringLiteral("/tmp/quillmark-heif-view/6000x4000.heic");
    QSize size(6000, 4000), view(1920, 1080);
    int rounds = 3;
    const auto parseSize = [](const QString& text) {
        return QSize(text.section(QLatin1Char('x'), 0, 0).toInt(),
                     text.section(QLatin1Char('x'), 1, 1).toInt());
    };
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString option = QString::fromLocal8Bit(argv[i]), value = QString::fromLocal8Bit(argv[i + 1]);
        if (option == QLatin1String("--file"))
            path = value;
        else if (option == QLatin1String("--size"))
            size = parseSize(value);
        else if (option == QLatin1String("--view"))
            view = parseSize(value);
        else if (option == QLatin1String("--rounds"))
            rounds = value.toInt();
    }
    if (size.width() < 16 || size.height() < 16 || view.isEmpty() || rounds < 1) {
        std::fprintf(stderr,
                     "usage: HeifViewBenchmark [--file PATH] [--size WxH] [--view WxH] [--rounds N]\n");
        return 2;
    }
    if (!QFile::exists(path)) {
        std::fprintf(stderr, "making %s ...\n", qPrintable(path));
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QByteArray heic = MakeHeic(Scene(size.width(), size.height(), 1), 320);
        if (heic.isEmpty()) {
            std::fprintf(stderr, "libheif has no HEVC encoder here\n");
            return 1;
        }
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(heic) != heic.size()) return 1;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 1;
    const QByteArray data = file.readAll();
    double bestView = 1e300, bestWhole = 1e300, bestPending = 1e300, bestStandIn = 1e300;
    QSize standIn;
    QSize kept, pictureSize, decoded;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const DecodeResult forView = DecodePictureForView(data, view);
        bestView = std::min(bestView, timer.nsecsElapsed() / 1e6);
        if (forView.picture) {
            kept = forView.picture->KeptPixelSize();
            pictureSize = forView.picture->SourceSize();
        }
        // What Actual size, a turn or a save then costs on top.
        if (forView.picture && forView.picture->FullDecodePending()) {
            timer.restart();
            forView.picture->Image();
            bestPending = std::min(bestPending, timer.nsecsElapsed() / 1e6);
        }
        // What the window shows at once: the thumbnail item standing in while a worker decodes the above.
        timer.restart();
        const DecodeResult first = DecodePictureForView(data, view, true);
        bestStandIn = std::min(bestStandIn, timer.nsecsElapsed() / 1e6);
        if (first.picture && first.picture->IsStandIn()) standIn = first.picture->KeptPixelSize();
        timer.restart();
        const DecodeResult whole = DecodePicture(data);
        bestWhole = std::min(bestWhole, timer.nsecsElapsed() / 1e6);
        if (whole.picture) decoded = whole.picture->PixelSize();
    }
    std::printf(
        "%s (%d bytes): fitted view %dx%d of the %dx%d picture, %dx%d pixels kept, in %.1f ms; whole decode "
        "%dx%d in %.1f ms; ratio %.2fx (goal <= 0.5x)\n",
        qPrintable(path), int(data.size()), view.width(), view.height(), pictureSize.width(),
        pictureSize.height(), kept.width(), kept.height(), bestView, decoded.width(), decoded.height(),
        bestWhole, bestView / bestWhole);
    if (bestPending < 1e300) std::printf("full pixels asked for afterwards: %.1f ms\n", bestPending);
    if (!standIn.isEmpty())
        std::printf(
            "shown at once from its %dx%d thumbnail item, standing in for the above: %.1f ms (%.3fx)\n",
            standIn.width(), standIn.height(), bestStandIn, bestStandIn / bestWhole);
    else
        std::printf("no thumbnail item to stand in: the window shows the fitted view above\n");
    return 0;
}
