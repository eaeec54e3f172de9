// quillmark-make-samples DIR: writes the bundled sample photos into DIR.
//
// The samples are made here rather than shipped, so that every byte of them is known: each one
// shows a different side of the metadata reader (a full camera EXIF block with GPS, thumbnail and
// IPTC data; a maker note and a turned picture; a comment alone; nothing at all; a plain TIFF),
// and each opens in an ordinary image viewer to a recognisable picture.
#include "ExifBuilder.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

using namespace quillmark::craft;

namespace {

// EXIF sub-directory tags used below.
enum : uint16_t {
    kExposureTime = 0x829A,
    kFNumber = 0x829D,
    kExposureProgram = 0x8822,
    kIsoSpeedRatings = 0x8827,
    kExifVersion = 0x9000,
    kDateTimeOriginal = 0x9003,
    kDateTimeDigitized = 0x9004,
    kComponentsConfiguration = 0x9101,
    kShutterSpeedValue = 0x9201,
    kApertureValue = 0x9202,
    kExposureBiasValue = 0x9204,
    kMaxApertureValue = 0x9205,
    kMeteringMode = 0x9207,
    kFlash = 0x9209,
    kFocalLength = 0x920A,
    kUserComment = 0x9286,
    kFlashPixVersion = 0xA000,
    kColorSpace = 0xA001,
    kPixelXDimension = 0xA002,
    kPixelYDimension = 0xA003,
    kFocalPlaneXResolution = 0xA20E,
    kFocalPlaneYResolution = 0xA20F,
    kFocalPlaneResolutionUnit = 0xA210,
    kSensingMethod = 0xA217,
    kExposureMode = 0xA402,
    kWhiteBalance = 0xA403,
    kFocalLengthIn35mmFilm = 0xA405,
    kSceneCaptureType = 0xA406,
};

// IFD0 / IFD1 / TIFF tags.
enum : uint16_t {
    kImageWidth = 0x0100,
    kImageLength = 0x0101,
    kBitsPerSample = 0x0102,
    kCompression = 0x0103,
    kPhotometric = 0x0106,
    kMake = 0x010F,
    kModel = 0x0110,
    kStripOffsets = 0x0111,
    kOrientation = 0x0112,
    kSamplesPerPixel = 0x0115,
    kRowsPerStrip = 0x0116,
    kStripByteCounts = 0x0117,
    kXResolution = 0x011A,
    kYResolution = 0x011B,
    kPlanarConfiguration = 0x011C,
    kResolutionUnit = 0x0128,
    kSoftware = 0x0131,
    kDateTime = 0x0132,
    kArtist = 0x013B,
    kJpegInterchangeFormat = 0x0201,
    kJpegInterchangeFormatLength = 0x0202,
    kYCbCrPositioning = 0x0213,
    kCopyright = 0x8298,
    kXpTitle = 0x9C9B,
    kXpComment = 0x9C9C,
    kXpAuthor = 0x9C9D,
    kXpKeywords = 0x9C9E,
    kXpSubject = 0x9C9F,
};

// The user comment's first eight bytes name its character code.
std::string AsciiUserComment(const std::string& text) {
    return std::string("ASCII\0\0\0", 8) + text;
}

// A Canon EOS 40D landscape: little-endian EXIF with every common directory, a thumbnail,
// a JPEG comment and IPTC press data.
std::string Landscape() {
    const int width = 1600, height = 1067;
    const bool big = false;
    TiffBlock t(big);
    const int exif = t.AddIfd();
    const int interop = t.AddIfd();
    const int gps = t.AddIfd();
    const int thumb = t.AddIfd();

    t.Ascii(0, kMake, "Canon")
        .Ascii(0, kModel, "Canon EOS 40D")
        .Short(0, kOrientation, {1})
        .Rational(0, kXResolution, {{72, 1}})
        .Rational(0, kYResolution, {{72, 1}})
        .Short(0, kResolutionUnit, {2})
        .Ascii(0, kSoftware, "Quillmark sample maker")
        .Ascii(0, kDateTime, "2024:07:14 07:15:02")
        .Ascii(0, kArtist, "Quillmark")
        .Short(0, kYCbCrPositioning, {2})
        .Ascii(0, kCopyright, "Public domain sample")
        .Link(0, kExifIfdTag, exif)
        .Link(0, kGpsIfdTag, gps)
        .XpText(0, kXpTitle, "Alpine morning")
        .XpText(0, kXpComment, "A synthetic sample photo")
        .XpText(0, kXpAuthor, "Quillmark")
        .XpText(0, kXpKeywords, "mountains;sunrise")
        .XpText(0, kXpSubject, "Landscape")
        .Next(0, thumb);

    // Focal-plane resolution as the camera would give it for this picture size: 1600 pixels
    // across the 40D's 22.2 mm sensor width and 1067 pixels across its 14.8 mm height.
    t.Rational(exif, kExposureTime, {{1, 160}})
        .Rational(exif, kFNumber, {{71, 10}})
        .Short(exif, kExposureProgram, {1})
        .Short(exif, kIsoSpeedRatings, {100})
        .Undefined(exif, kExifVersion, "0221")
        .Ascii(exif, kDateTimeOriginal, "2024:07:14 06:41:53")
        .Ascii(exif, kDateTimeDigitized, "2024:07:14 06:41:53")
        .Undefined(exif, kComponentsConfiguration, std::string("\x01\x02\x03\x00", 4))
        .SRational(exif, kShutterSpeedValue, {{483328, 65536}})
        .Rational(exif, kApertureValue, {{368640, 65536}})
        .SRational(exif, kExposureBiasValue, {{0, 1}})
        .Rational(exif, kMaxApertureValue, {{116, 32}})
        .Short(exif, kMeteringMode, {5})
        .Short(exif, kFlash, {0x19})
        .Rational(exif, kFocalLength, {{135, 1}})
        .Undefined(exif, kUserComment, AsciiUserComment("First light on the ridge"))
        .Undefined(exif, kFlashPixVersion, "0100")
        .Short(exif, kColorSpace, {1})
        .Short(exif, kPixelXDimension, {width})
        .Short(exif, kPixelYDimension, {height})
        .Link(exif, kInteropIfdTag, interop)
        .Rational(exif, kFocalPlaneXResolution, {{width * 254, 222}})
        .Rational(exif, kFocalPlaneYResolution, {{height * 254, 148}})
        .Short(exif, kFocalPlaneResolutionUnit, {2})
        .Short(exif, kExposureMode, {1})
        .Short(exif, kWhiteBalance, {0})
        .Short(exif, kSceneCaptureType, {1});

    t.Ascii(interop, 0x0001, "R98").Undefined(interop, 0x0002, "0100");

    // Near Kleine Scheidegg in the Bernese Oberland; 04:41:53 UTC is 06:41:53 local summer time.
    t.Byte(gps, 0x0000, {2, 2, 0, 0})
        .Ascii(gps, 0x0001, "N")
        .Rational(gps, 0x0002, {{46, 1}, {35, 1}, {712, 100}})
        .Ascii(gps, 0x0003, "E")
        .Rational(gps, 0x0004, {{7, 1}, {57, 1}, {4125, 100}})
        .Byte(gps, 0x0005, {0})
        .Rational(gps, 0x0006, {{2061, 1}})
        .Rational(gps, 0x0007, {{4, 1}, {41, 1}, {5300, 100}})
        .Ascii(gps, 0x0012, "WGS-84")
        .Ascii(gps, 0x001D, "2024:07:14");

    const std::string thumbnail = EncodeJpeg(DrawPattern(160, 120, Pattern::Landscape), 80, false);
    t.Short(thumb, kCompression, {6})
        .Rational(thumb, kXResolution, {{72, 1}})
        .Rational(thumb, kYResolution, {{72, 1}})
        .Short(thumb, kResolutionUnit, {2})
        .LinkTrailer(thumb, kJpegInterchangeFormat)
        .Long(thumb, kJpegInterchangeFormatLength, {static_cast<uint32_t>(thumbnail.size())})
        .Trailer(thumbnail);

    JpegFile f;
    f.Soi()
        .Exif(t)
        .Iptc({{2, 0, std::string("\x00\x04", 2)},
               {2, 5, "Alpine morning"},
               {2, 25, "mountains"},
               {2, 25, "sunrise"},
               {2, 90, "Grindelwald"},
               {2, 116, "Public domain sample"},
               {2, 120, "Morning light over the mountains above Grindelwald."}})
        .Comment("Quillmark sample: sunrise over a mountain ridge.")
        .Image(DrawPattern(width, height, Pattern::Landscape), 88);
    return f.Bytes();
}

// A Nikon D70 photo taken with the camera turned: the picture is stored lying on its side and
// Orientation 6 says to turn it a quarter clockwise, which shows an upright 600x800 flower.
// Big-endian EXIF with a type-3 Nikon maker note and a stored 35 mm focal length.
std::string Portrait() {
    const RgbImage stored = Rotated(DrawPattern(600, 800, Pattern::Flower), 3);
    const bool big = true;

    TiffBlock note(true);
    note.Undefined(0, 0x0001, "0210")
        .Short(0, 0x0002, {0, 200})
        .Ascii(0, 0x0004, "FINE   ")
        .Ascii(0, 0x0005, "AUTO        ")
        .Ascii(0, 0x0007, "AF-S  ")
        .Rational(0, 0x0084, {{180, 10}, {700, 10}, {35, 10}, {45, 10}})
        .Ascii(0, 0x008D, "MODE1a")
        .Ascii(0, 0x0095, "OFF ");
    const std::string makerNote = NikonMakerNote(note);

    TiffBlock t(big);
    const int exif = t.AddIfd();
    t.Ascii(0, kMake, "NIKON CORPORATION")
        .Ascii(0, kModel, "NIKON D70")
        .Short(0, kOrientation, {6})
        .Rational(0, kXResolution, {{300, 1}})
        .Rational(0, kYResolution, {{300, 1}})
        .Short(0, kResolutionUnit, {2})
        .Ascii(0, kSoftware, "Ver.2.00")
        .Ascii(0, kDateTime, "2024:05:03 17:20:05")
        .Short(0, kYCbCrPositioning, {2})
        .Link(0, kExifIfdTag, exif);
    t.Rational(exif, kExposureTime, {{10, 2500}})
        .Rational(exif, kFNumber, {{56, 10}})
        .Short(exif, kExposureProgram, {3})
        .Short(exif, kIsoSpeedRatings, {200})
        .Undefined(exif, kExifVersion, "0221")
        .Ascii(exif, kDateTimeOriginal, "2024:05:03 17:20:05")
        .Ascii(exif, kDateTimeDigitized, "2024:05:03 17:20:05")
        .Undefined(exif, kComponentsConfiguration, std::string("\x01\x02\x03\x00", 4))
        .SRational(exif, kExposureBiasValue, {{0, 6}})
        .Rational(exif, kMaxApertureValue, {{36, 10}})
        .Short(exif, kMeteringMode, {5})
        .Short(exif, kFlash, {0})
        .Rational(exif, kFocalLength, {{500, 10}})
        .Undefined(exif, kMakerNoteTag, makerNote)
        .Undefined(exif, kUserComment, AsciiUserComment("Garden flower, camera held upright"))
        .Undefined(exif, kFlashPixVersion, "0100")
        .Short(exif, kColorSpace, {1})
        .Short(exif, kPixelXDimension, {static_cast<uint16_t>(stored.width)})
        .Short(exif, kPixelYDimension, {static_cast<uint16_t>(stored.height)})
        .Short(exif, kSensingMethod, {2})
        .Short(exif, kFocalLengthIn35mmFilm, {75});

    JpegFile f;
    f.Soi().Jfif().Exif(t).Image(stored, 90);
    return f.Bytes();
}

std::string CommentOnly() {
    JpegFile f;
    f.Soi()
        .Comment("Quillmark sample: this photo carries a JPEG comment and nothing else.")
        .Image(480, 640, 85, Pattern::Flower);
    return f.Bytes();
}

std::string Plain() {
    JpegFile f;
    f.Soi().Image(640, 480, 85, Pattern::TestCard);
    return f.Bytes();
}

// An uncompressed RGB TIFF with one strip, as a flatbed scanner writes it.
std::string Scan() {
    const int width = 320, height = 240;
    const RgbImage picture = DrawPattern(width, height, Pattern::TestCard);
    const auto stripBytes = static_cast<uint32_t>(picture.pixels.size());
    TiffBlock t(false);
    t.Short(0, kImageWidth, {width})
        .Short(0, kImageLength, {height})
        .Short(0, kBitsPerSample, {8, 8, 8})
        .Short(0, kCompression, {1})
        .Short(0, kPhotometric, {2})
        .Ascii(0, kMake, "EPSON")
        .Ascii(0, kModel, "Perfection V600")
        .LinkTrailer(0, kStripOffsets)
        .Short(0, kSamplesPerPixel, {3})
        .Short(0, kRowsPerStrip, {height})
        .Long(0, kStripByteCounts, {stripBytes})
        .Rational(0, kXResolution, {{300, 1}})
        .Rational(0, kYResolution, {{300, 1}})
        .Short(0, kPlanarConfiguration, {1})
        .Short(0, kResolutionUnit, {2})
        .Ascii(0, kSoftware, "Quillmark sample maker")
        .Ascii(0, kDateTime, "2024:03:21 10:05:00")
        .Trailer(std::string(picture.pixels.begin(), picture.pixels.end()));
    return t.Build();
}

} // namespace

int main(int argc, char** argv) {
    const char* program = argc > 0 ? argv[0] : "quillmark-make-samples";
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(
            "usage: %s DIR\n"
            "Writes the bundled sample photos (a landscape with EXIF, GPS, thumbnail, comment and IPTC;\n"
            "a portrait with a Nikon maker note; a comment-only JPEG; a plain JPEG; a TIFF scan) into\n"
            "DIR, which is made if it does not exist. A DIR that begins with '-' is written as ./-NAME.\n",
            program);
        return 0;
    }
    // An option it does not know is not taken for a folder to make.
    if (argc != 2 || (argv[1][0] == '-' && argv[1][1] != '\0')) {
        std::fprintf(stderr, "usage: %s DIR\nTry '%s --help'.\n", program, program);
        return 2;
    }
    try {
        const std::filesystem::path dir = argv[1];
        std::filesystem::create_directories(dir);
        const struct {
            const char* name;
            std::string (*make)();
        } samples[] = {{"sample-landscape.jpg", Landscape},
                       {"sample-portrait.jpg", Portrait},
                       {"sample-comment-only.jpg", CommentOnly},
                       {"sample-plain.jpg", Plain},
                       {"sample-scan.tif", Scan}};
        for (const auto& sample : samples) {
            const std::filesystem::path path = dir / sample.name;
            const std::string bytes = sample.make();
            WriteFile(path.string(), bytes);
            std::printf("%s (%zu bytes)\n", path.c_str(), bytes.size());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmark-make-samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
