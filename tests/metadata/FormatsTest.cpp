// The formats of the registry: real files of every format beyond JPEG and TIFF against what exiftool
// reads from them, the TIFF variants crafted byte by byte, and what the container layer adds (previews,
// the SubIFD group, a damaged directory that costs only itself).
#include "ImgData.h"
#include "TestFiles.h"
#include "formats/Registry.h"

#include <gtest/gtest.h>

using namespace quillmark;
using namespace quillmark::testing;
using quillmark::craft::EncodeJpeg;
using quillmark::craft::JpegFile;
using quillmark::craft::TiffBlock;

namespace {

// Lets a row whose scan has not arrived yet say so instead of failing.
std::string Le16(uint16_t v) {
    return craft::U16(v, false);
}
std::string Le64(uint64_t v) {
    return craft::U32(static_cast<uint32_t>(v), false) + craft::U32(static_cast<uint32_t>(v >> 32), false);
}

} // namespace

// Make, Model, DateTimeOriginal and the photo's size as exiftool 12.57 reads them ("" where the file
// has none), and one maker entry in our own words for exiftool's value (a DNG's copy of the original
// note, CR3's focus mode, ...).
TEST(Formats, RealFilesOfEveryFormat) {
    struct Row {
        const char* file;
        const char* format;
        const char* make;
        const char* model;
        const char* taken;
        const char* size;
        const char* makerName;
        const char* makerText;
    };
    const Row rows[] = {
        {"iPhone_11_Pro.heic", "HEIC", "Apple", "iPhone 11 Pro", "2020:05:04 18:39:11", "4032x3024",
         "AFStable", "Yes"},
        {"Canon_EOS_70D.avif", "AVIF", "Canon", "Canon EOS 70D", "2015:10:11 14:41:44", "5472x3648",
         "Macro mode", "Normal"},
        {"Nikon_COOLPIX_P7000.webp", "WEBP", "NIKON", "COOLPIX P7000", "2010:10:21 11:22:48", "3648x2736", "",
         ""},
        {"RIFF.webp", "WEBP", "", "", "", "1x1", "", ""},
        {"PNG.png", "PNG", "", "", "", "16x16", "", ""},
        {"QuickTime.heic", "HEIF", "", "", "", "1596x1064", "", ""},
        {"JXL2.jxl", "JXL", "", "", "", "200x130", "", ""},
        {"Photoshop.psd", "PSD", "", "", "", "8x8", "", ""},
        {"CanonRaw.cr2", "CR2", "Canon", "Canon EOS 350D DIGITAL", "2005:08:03 18:59:18", "3456x2304",
         "Focus Mode", "One-Shot"},
        {"CanonRaw.cr3", "CR3", "Canon", "Canon EOS M50", "2018:02:21 12:08:56", "6000x4000", "Focus Mode",
         "AF + MF"},
        {"CanonRaw.crw", "CRW", "Canon", "Canon EOS DIGITAL REBEL", "2003:11:10 17:39:26", "3072x2048", "",
         ""},
        {"FujiFilm.raf", "RAF", "FUJIFILM", "FinePix S5Pro", "2007:05:22 13:58:30", "4256x1424", "Sharpness",
         "Normal"},
        {"Panasonic.rw2", "RW2", "Panasonic", "DMC-LX3", "2008:08:06 15:21:56", "3648x2736",
         "ImageStabilization", "On, Mode 2"},
        {"Minolta.mrw", "MRW", "Konica Minolta Camera, Inc.", "DiMAGE A2", "2004:11:18 23:14:58", "3264x2448",
         "MinoltaQuality", "Raw"},
        {"PhaseOne.iiq", "IIQ", "Leaf", "Credo 40", "2013:06:19 15:44:21", "7320x5484", "", ""},
        {"DNG.dng", "DNG", "Canon", "Canon EOS 350D DIGITAL", "2005:08:03 18:59:18", "3516x2328",
         "Focus Mode", "One-Shot"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        TimgData d;
        d.ProcessFile(SamplePath(row.file));
        // The box scan names a file whose major brand is mif1 by its compatible brand heic; exiftool
        // by the major brand.
        if (std::string(row.file) == "QuickTime.heic" && d.FormatName == "HEIC")
            EXPECT_EQ(row.format, std::string("HEIF"));
        else
            EXPECT_EQ(d.FormatName, row.format);
        const TImageInfo* r = d.HasExif() ? d.ExifReader.get() : nullptr;
        EXPECT_EQ(r ? r->CameraMake : "", row.make);
        EXPECT_EQ(r ? r->CameraModel : "", row.model);
        EXPECT_EQ(r ? r->ExifValue("DateTimeOriginal") : "", row.taken);
        const auto [width, height] = r ? r->PhotoSize() : std::pair{d.FrameWidth, d.FrameHeight};
        EXPECT_EQ(std::to_string(width) + "x" + std::to_string(height), row.size);
        if (*row.makerName) {
            EXPECT_EQ(r ? r->LookupTagValue(row.makerName, 1) : "", row.makerText);
        }
    }
}

TEST(Formats, TheRegistryTellsFormatsByTheirFirstBytes) {
    struct Row {
        std::string head;
        const char* name;
        const char* format; // nullptr: none
    };
    const Row rows[] = {
        {"\xFF\xD8\xFF\xE1", "x.tif", "JPEG"},
        {std::string("II*\0\x10\0\0\0CR", 10), "x.tif", "CR2"},
        {std::string("II*\0\x08\0\0\0", 8), "x.NEF", "NEF"},
        {std::string("II*\0\x08\0\0\0", 8), "x", "TIFF"},
        {std::string("MM\0+\0\x08\0\0", 8), "x", "BigTIFF"},
        {"IIRO\x08", "x", "ORF"},
        {std::string("IIU\0", 4), "x.rwl", "RWL"},
        {"FUJIFILMCCD-RAW 0201", "x", "RAF"},
        {std::string("\0MRM", 4), "x", "MRW"},
        {std::string("II\x1A\0\0\0HEAPCCDR", 14), "x", "CRW"},
        {std::string("\0\0\0\x18"
                     "ftypavif",
                     12),
         "x.avif", "AVIF"},
        {std::string("\0\0\0\x18"
                     "ftypheic",
                     12),
         "x", "HEIC"},
        {std::string("\0\0\0\x0CJXL \x0D\x0A\x87\x0A", 12), "x", "JXL"},
        {"\xFF\x0A", "x", "JXL"},
        {std::string("\0\0\0\x0CjP  \x0D\x0A\x87\x0A", 12), "x", "JP2"},
        {"\x89PNG\r\n", "x", "PNG"},
        {std::string("RIFF\x10\0\0\0WEBPVP8X", 16), "x", "WEBP"},
        {"8BPS\0\x01", "x", "PSD"},
        {"", "empty.jpg", "JPEG"}, // named as a JPEG: fails as one, with the JPEG's outcome
        {"GIF89a", "x.gif", nullptr},
        {"", "x", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.name << " row " << (&row - rows));
        const TPhotoFormat* f = FindPhotoFormat(row.head, row.name);
        EXPECT_EQ(f ? std::string(f->Name) : "(none)", row.format ? row.format : "(none)");
    }
    EXPECT_NE(PhotoMimeTypes().find("image/heic;"), std::string::npos);
}

// A TIFF of each variant header, crafted: the walk reads them all as TIFF.
TEST(Formats, TiffVariants) {
    TiffBlock orf(false);
    orf.Magic(0x4F52).Ascii(0, 0x010F, "OLYMPUS IMAGING CORP.").Ascii(0, 0x0110, "E-M5");
    TiffBlock sr(false);
    sr.Magic(0x5352).Ascii(0, 0x010F, "OLYMPUS").Ascii(0, 0x0110, "E-3");

    // RW2: Panasonic's own tags in IFD0, the EXIF in the JPEG of tag 0x002E.
    TiffBlock inner(false);
    const int innerExif = inner.AddIfd();
    inner.Ascii(0, 0x010F, "Panasonic").Ascii(0, 0x0110, "DMC-GH1").Link(0, 0x8769, innerExif);
    inner.Ascii(innerExif, 0x9003, "2009:01:02 03:04:05");
    const std::string preview = JpegWithExif(inner);
    TiffBlock rw2(false);
    rw2.Magic(0x55).Short(0, 0x0002, {4000}).Undefined(0, 0x002E, preview);

    struct Row {
        const char* name;
        std::string bytes;
        const char* format;
        const char* make;
        const char* taken;
    };
    const Row rows[] = {
        {"a.orf", orf.Build(), "ORF", "OLYMPUS IMAGING CORP.", ""},
        {"b.orf", sr.Build(), "ORF", "OLYMPUS", ""},
        {"c.rw2", rw2.Build(), "RW2", "Panasonic", "2009:01:02 03:04:05"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TimgData d;
        ASSERT_TRUE(d.ProcessBytes(row.name, row.bytes)) << d.ErrorText;
        EXPECT_EQ(d.FormatName, row.format);
        EXPECT_EQ(d.ExifReader->CameraMake, row.make);
        EXPECT_EQ(d.ExifReader->ExifValue("DateTimeOriginal"), row.taken);
    }
    // The RW2's JPEG is listed as a preview where it lies, and its EXIF block placed in the file.
    TimgData d;
    const std::string bytes = rw2.Build();
    ASSERT_TRUE(d.ProcessBytes("c.rw2", bytes));
    ASSERT_EQ(d.Previews.size(), 1u);
    EXPECT_EQ(d.Previews[0].Kind, "JpgFromRaw");
    EXPECT_EQ(bytes.substr(d.Previews[0].Region.Offset, d.Previews[0].Region.Length), preview);
    EXPECT_EQ(bytes.substr(static_cast<size_t>(d.ExifFileOffset), 4), "II*" + std::string(1, '\0'));
}

// The JPEG pictures a raw file's directories name are listed where they lie, with their frame's size: the
// thumbnail directory's, a compressed strip that is a JPEG, every directory of a SubIFDs list. Sensor data is
// not a picture: lossless JPEG, CFA strips, Canon's sliced raw, a "JPEG" strip that is not one.
TEST(Formats, RawPreviewsInDirectories) {
    const std::string big = EncodeJpeg(96, 64), small = EncodeJpeg(32, 24), mid = EncodeJpeg(48, 40);
    const std::string lossless("\xFF\xD8\xFF\xC3\x00\x0B\x08\x00\x10\x00\x10\x01\x01\x11\x00\xFF\xD9", 17);
    const std::string rgb(48, '\x7F');
    const auto strip = [](TiffBlock& t, int ifd, uint16_t compression, uint32_t at, size_t length) {
        t.Short(ifd, 0x0103, {compression}).LinkTrailer(ifd, 0x0111, at);
        t.Long(ifd, 0x0117, {static_cast<uint32_t>(length)});
    };
    // CR2's layout: a JPEG strip in IFD0, a JPEG thumbnail in IFD1, Canon's small RGB strip that claims
    // JPEG compression in IFD2, the sliced sensor data in IFD3.
    TiffBlock cr2(false);
    const int ifd1 = cr2.AddIfd(), ifd2 = cr2.AddIfd(), ifd3 = cr2.AddIfd();
    cr2.Ascii(0, 0x010F, "Canon").Next(0, ifd1).Next(ifd1, ifd2).Next(ifd2, ifd3);
    strip(cr2, 0, 6, 0, big.size());
    cr2.LinkTrailer(ifd1, 0x0201, uint32_t(big.size())).Long(ifd1, 0x0202, {uint32_t(small.size())});
    strip(cr2, ifd2, 6, uint32_t(big.size() + small.size()), rgb.size());
    strip(cr2, ifd3, 6, 0, big.size());
    cr2.Short(ifd3, 0xC640, {1, 1758, 1758});
    cr2.Trailer(big + small + rgb);

    // DNG's: the raw and two previews behind one SubIFDs list; the last "preview" holds no JPEG.
    const auto dng = [&](std::vector<uint32_t> subs) {
        TiffBlock t(false);
        const int raw = t.AddIfd(), preview = t.AddIfd(), junk = t.AddIfd();
        t.Ascii(0, 0x010F, "Acme").Byte(0, 0xC612, {1, 4, 0, 0}).Long(0, 0x014A, subs);
        strip(t, raw, 7, 0, lossless.size());
        t.Short(raw, 0x0106, {32803});
        strip(t, preview, 7, uint32_t(lossless.size()), mid.size());
        strip(t, junk, 7, 0, 8);
        t.Short(junk, 0x0106, {6});
        t.Trailer(lossless + mid);
        return t;
    };
    const TiffBlock draft = dng({0, 0, 0});
    const TiffBlock dngFile = dng({draft.IfdOffset(1), draft.IfdOffset(2), draft.IfdOffset(3)});

    // NEF's: the preview named by JPEGInterchangeFormat in the sub-directory; a second one past the end.
    TiffBlock nef(true);
    const int sub = nef.AddIfd();
    nef.Ascii(0, 0x010F, "NIKON CORPORATION").Link(0, 0x014A, sub);
    nef.LinkTrailer(sub, 0x0201).Long(sub, 0x0202, {uint32_t(mid.size()) + 1000});
    nef.Long(0, 0x0201, {0x7FFFFFF0}).Long(0, 0x0202, {16});
    nef.Trailer(mid);

    // A JPEG-compressed TIFF of one picture: its strip is the photo itself, no preview.
    TiffBlock single(false);
    strip(single, 0, 7, 0, mid.size());
    single.Trailer(mid);

    struct Want {
        const char* kind;
        uint32_t width, height;
        std::string bytes;
    };
    struct Row {
        const char* name;
        std::string file;
        std::vector<Want> previews;
    };
    const Row rows[] = {
        {"a.cr2", cr2.Build(), {{"Preview", 96, 64, big}, {"Thumbnail", 32, 24, small}}},
        {"b.dng", dngFile.Build(), {{"Preview", 48, 40, mid}}},
        {"c.nef", nef.Build(), {{"Preview", 48, 40, mid}}},
        {"d.tif", single.Build(), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TimgData d;
        ASSERT_TRUE(d.ProcessBytes(row.name, row.file)) << d.ErrorText;
        ASSERT_EQ(d.Previews.size(), row.previews.size());
        for (size_t i = 0; i < row.previews.size(); ++i) {
            const TPreview& p = d.Previews[i];
            EXPECT_EQ(p.Kind, row.previews[i].kind);
            EXPECT_EQ(p.Codec, "JPEG");
            EXPECT_EQ(p.Width, row.previews[i].width);
            EXPECT_EQ(p.Height, row.previews[i].height);
            // A length running past the end is cut at it.
            EXPECT_EQ(row.file.substr(p.Region.Offset, p.Region.Length), row.previews[i].bytes);
        }
    }
}

// BigTIFF: 64-bit counts and offsets, 20-byte entries; its EXIF directory through a LONG8 link.
TEST(Formats, BigTiff) {
    std::string f = "II" + Le16(43) + Le16(8) + Le16(0) + Le64(16);
    // IFD0 at 16: three entries, then the next offset; values after it.
    const uint64_t ifd0 = 16, values = ifd0 + 8 + 3 * 20 + 8;
    const std::string model = "BigCamera Mark II";
    const uint64_t exif = values + model.size() + 1;
    const std::string taken = "2024:05:06 07:08:09";
    f += Le64(3);
    f += Le16(0x010F) + Le16(2) + Le64(6) + std::string("Acme\0\0\0\0", 8); // in the entry's 8 bytes
    f += Le16(0x0110) + Le16(2) + Le64(model.size() + 1) + Le64(values);
    f += Le16(0x8769) + Le16(18) + Le64(1) + Le64(exif); // IFD8
    f += Le64(0);
    f += model + '\0';
    ASSERT_EQ(f.size(), exif);
    f += Le64(1) + Le16(0x9003) + Le16(2) + Le64(taken.size() + 1) + Le64(exif + 8 + 20 + 8) + Le64(0);
    f += taken + '\0';

    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("big.tif", f)) << d.ErrorText;
    EXPECT_EQ(d.FormatName, "BigTIFF");
    EXPECT_EQ(d.ExifReader->CameraMake, "Acme");
    EXPECT_EQ(d.ExifReader->CameraModel, model);
    const auto dto = FindEntry(*d.ExifReader, 0x9003);
    ASSERT_TRUE(dto);
    EXPECT_EQ(dto->Text, taken);
    EXPECT_EQ(dto->Group, tgExifIFD);
    // Cut anywhere, it still reads without a fault.
    for (size_t n = 0; n < f.size(); ++n)
        TimgData().ProcessBytes("big.tif", std::string_view(f).substr(0, n));
}

// SubIFDs are a group of their own, in a TIFF and in a JPEG's EXIF block, and in the DNG sample.
TEST(Formats, SubIfdEntriesAreOfTheSubIfdGroup) {
    TiffBlock t(false);
    const int sub = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon").Link(0, 0x014A, sub);
    t.Long(sub, 0x0100, {4000}).Long(sub, 0x0101, {3000});
    for (const auto& [name, bytes] : {std::pair{"s.tif", t.Build()}, std::pair{"s.jpg", JpegWithExif(t)}}) {
        TimgData d;
        ASSERT_TRUE(d.ProcessBytes(name, bytes));
        ASSERT_TRUE(FindEntry(*d.ExifReader, 0x0100));
        EXPECT_EQ(FindEntry(*d.ExifReader, 0x0100)->Group, tgSubIFD) << name;
        EXPECT_EQ(FindEntry(*d.ExifReader, 0x010F)->Group, tgIFD0) << name;
    }
    TimgData dng;
    ASSERT_TRUE(dng.ProcessFile(SamplePath("DNG.dng")));
    int subEntries = 0;
    for (const auto& e : dng.ExifReader->Entries)
        subEntries += e.Group == tgSubIFD;
    EXPECT_GT(subEntries, 0);
}

// A directory that runs past its block ends there: the entries before stay, and so do the sections
// after the EXIF block.
TEST(Formats, ADamagedDirectoryKeepsTheRest) {
    TiffBlock t(true);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, "Nikon").Link(0, 0x8769, exif);
    t.Ascii(exif, 0x9003, "2001:02:03 04:05:06").CountOverride(exif, 5000);
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes(
        "d.jpg",
        JpegFile().Soi().Exif(t).Comment("still here").Iptc({{2, 120, "caption"}}).ScanAndEnd().Bytes()));
    EXPECT_EQ(d.ExifReader->CameraMake, "Nikon");
    EXPECT_EQ(d.ExifReader->ExifValue("DateTimeOriginal"), "2001:02:03 04:05:06");
    EXPECT_EQ(d.CommentText(), "still here");
    EXPECT_TRUE(d.IptcSection);
}

// A multi-picture index in APP2 lists the further pictures as previews, placed in the file.
TEST(Formats, MpfPicturesArePreviews) {
    std::string index;
    const auto entry = [](uint32_t attributes, uint32_t size, uint32_t offset) {
        return craft::U32(attributes, false) + craft::U32(size, false) + craft::U32(offset, false) +
               std::string(4, '\0');
    };
    index = entry(0x20030000, 5000, 0) + entry(0x00020002, 1234, 4000);
    TiffBlock mp(false);
    mp.Undefined(0, 0xB000, "0100").Long(0, 0xB001, {2}).Undefined(0, 0xB002, index);
    const std::string app2 = "MPF" + std::string(1, '\0') + mp.Build();
    const std::string head = JpegFile().Soi().Comment("c").Bytes();
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("m.jpg", head + JpegFile().Segment(0xE2, app2).ScanAndEnd().Bytes()));
    ASSERT_EQ(d.Previews.size(), 1u);
    EXPECT_EQ(d.Previews[0].Kind, "MPF");
    EXPECT_EQ(d.Previews[0].Region.Length, 1234u);
    EXPECT_EQ(d.Previews[0].Region.Offset, head.size() + 4 + 4 + 4000); // marker, length, "MPF\0"
}

// Every sample of the other formats, cut short and with bytes changed: each read ends with an outcome,
// never a fault, whatever the registry or the scan makes of it.
TEST(Formats, DamagedSamplesOfEveryFormat) {
    for (const char* file :
         {"iPhone_11_Pro.heic", "Canon_EOS_70D.avif", "CanonRaw.cr3", "CanonRaw.cr2", "DNG.dng",
          "Panasonic.rw2", "PhaseOne.iiq", "JXL2.jxl", "QuickTime.heic", "RIFF.webp", "PNG.png",
          "Photoshop.psd", "FujiFilm.raf", "Minolta.mrw", "CanonRaw.crw"}) {
        SCOPED_TRACE(file);
        const std::string bytes = ReadAll(SamplePath(file));
        const size_t step = std::max<size_t>(1, bytes.size() / 97);
        for (size_t n = 0; n < bytes.size(); n += step) {
            TimgData cut;
            cut.ProcessBytes(file, std::string_view(bytes).substr(0, n));
            std::string changed = bytes;
            for (size_t k = n; k < changed.size() && k < n + 4; ++k)
                changed[k] = static_cast<char>(changed[k] ^ 0x5A);
            TimgData d;
            d.ProcessBytes(file, changed);
            EXPECT_FALSE(d.ErrorText.empty());
        }
    }
}

namespace {

// What a fake scan hands over, set by the test before each read (scans are plain functions).
TContainerScan& Handed() {
    static TContainerScan scan;
    return scan;
}
bool HandOver(TByteSource&, uint64_t, TContainerScan& out) {
    out = Handed();
    return true;
}

std::string BigEndianField(uint16_t type, const std::string& text) {
    return type == ttAscii ? text + '\0' : text;
}

} // namespace

// Each form a scan hands its EXIF over in, read as the reader reads a JPEG's or a TIFF's.
TEST(Formats, WhatAScanHandsOver) {
    TiffBlock ifd0(false);
    const int exifIfd = ifd0.AddIfd();
    ifd0.Ascii(0, 0x010F, "Canon").Ascii(0, 0x0110, "Canon EOS R5").Link(0, 0x8769, exifIfd);
    ifd0.Ascii(exifIfd, 0x9003, "2021:02:03 04:05:06");
    const std::string tiff = ifd0.Build();
    const std::string padding(100, 'p');
    const std::string jpeg = JpegWithExif(ifd0);

    // CR3: IFD0, the EXIF directory, the maker note and GPS each a TIFF structure of its own.
    TiffBlock cmt1(false), cmt2(false), cmt3(false), cmt4(false);
    cmt1.Ascii(0, 0x010F, "Canon").Ascii(0, 0x0110, "Canon EOS R5");
    cmt2.Ascii(0, 0x9003, "2021:02:03 04:05:06");
    cmt3.Ascii(0, 0x0006, "Canon EOS R5 image"); // ImageType
    cmt4.Ascii(0, 0x0001, "N");                  // GPSLatitudeRef

    struct Row {
        const char* what;
        std::function<void(TContainerScan&)> fill;
        std::string bytes;
        TTagGroup dateGroup;
    };
    const Row rows[] = {
        {"TIFF structure",
         [&](TContainerScan& s) {
             s.Exif = {{tiff, 40, tgIFD0}};
         },
         padding, tgExifIFD},
        {"TIFF in the file",
         [&](TContainerScan& s) {
             s.TiffInFile = TFileRegion{100, tiff.size()};
         },
         padding + tiff, tgExifIFD},
        {"embedded JPEG",
         [&](TContainerScan& s) {
             s.EmbeddedJpeg = TFileRegion{100, jpeg.size()};
         },
         padding + jpeg, tgExifIFD},
        {"fields",
         [&](TContainerScan& s) {
             s.Fields = {{tgIFD0, 0x0110, ttAscii, BigEndianField(ttAscii, "Canon EOS R5")},
                         {tgExifIFD, 0x9003, ttAscii, BigEndianField(ttAscii, "2021:02:03 04:05:06")},
                         {tgIFD0, 0x010F, ttAscii, BigEndianField(ttAscii, "Canon")}};
         },
         padding, tgExifIFD},
        {"CR3 structures",
         [&](TContainerScan& s) {
             s.Exif = {{cmt2.Build(), TTiffStructure::kNotInFile, tgExifIFD},
                       {cmt1.Build(), TTiffStructure::kNotInFile, tgIFD0},
                       {cmt3.Build(), TTiffStructure::kNotInFile, tgMakerNotes},
                       {cmt4.Build(), TTiffStructure::kNotInFile, tgGPS}};
         },
         padding, tgExifIFD},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Handed() = TContainerScan{};
        Handed().Format = "ACME";
        Handed().Comment = "a comment";
        Handed().Iptc = craft::IptcDatasets({{2, 120, "caption"}});
        Handed().Xmp = {"<x:xmpmeta/>"};
        Handed().Previews = {{"PRVW", "JPEG", {10, 20}, 160, 120}};
        row.fill(Handed());
        TimgData d;
        ASSERT_TRUE(d.ProcessBytesWithScan("x.acme", row.bytes, HandOver)) << d.ErrorText;
        EXPECT_EQ(d.FormatName, "ACME");
        EXPECT_EQ(d.ExifReader->CameraMake, "Canon");
        EXPECT_EQ(d.ExifReader->CameraModel, "Canon EOS R5");
        const auto taken = FindEntry(*d.ExifReader, 0x9003);
        ASSERT_TRUE(taken);
        EXPECT_EQ(taken->Text, "2021:02:03 04:05:06");
        EXPECT_EQ(taken->Group, row.dateGroup);
        EXPECT_EQ(d.CommentText(), "a comment");
        EXPECT_TRUE(d.IptcSection);
        EXPECT_EQ(d.XmpPackets.size(), 1u);
        EXPECT_EQ(d.Previews.size(), 1u);
    }
    // The CR3 form: the maker note read with Canon's table, GPS in its group.
    TimgData d;
    ASSERT_TRUE(d.ProcessBytesWithScan("x.cr3", padding, HandOver));
    const auto type = FindEntry(*d.ExifReader, 0x0006, 1);
    ASSERT_TRUE(type);
    EXPECT_EQ(type->Group, tgMakerNotes);
    EXPECT_NE(type->Text.find("Canon EOS R5 image"), std::string::npos);
    ASSERT_TRUE(FindEntry(*d.ExifReader, 0x0001));
    EXPECT_EQ(FindEntry(*d.ExifReader, 0x0001)->Group, tgGPS);
    // Where the EXIF block lay in the file: in the structure's place, or nowhere for a rebuilt one.
    Handed() = TContainerScan{};
    Handed().Exif = {{tiff, 40, tgIFD0}};
    ASSERT_TRUE(d.ProcessBytesWithScan("x", padding, HandOver));
    EXPECT_EQ(d.ExifFileOffset, 40);
    Handed().Exif[0].FileOffset = TTiffStructure::kNotInFile;
    ASSERT_TRUE(d.ProcessBytesWithScan("x", padding, HandOver));
    EXPECT_EQ(d.ExifFileOffset, -1);
}

// A DNG's copy of the original file's maker note (DNGPrivateData): its offsets count from where the
// note lay in that file, and whatever the header claims, nothing is read outside the copy.
TEST(Formats, DngPrivateMakerNote) {
    const auto wrapped = [](uint32_t origin, const std::string& mark, int32_t lengthSlack) {
        // One Canon entry, ImageType, whose 8 bytes follow the directory.
        const std::string note = craft::U16(1, false) + craft::U16(0x0006, false) +
                                 craft::U16(ttAscii, false) + craft::U32(8, false) +
                                 craft::U32(origin + 18, false) + craft::U32(0, false) +
                                 std::string("Acme 1\0\0", 8);
        const auto length = static_cast<uint32_t>(static_cast<int64_t>(note.size()) + 6 + lengthSlack);
        return std::string("Adobe\0MakN", 10) + craft::U32(length, true) + mark + craft::U32(origin, true) +
               note;
    };
    struct Row {
        const char* what;
        std::string priv;
        const char* imageType;
    };
    const Row rows[] = {
        {"at its origin", wrapped(51234, "II", 0), "Acme 1"},
        {"origin at the top of the range", wrapped(0xFFFFFFE0u, "II", 0), "Acme 1"},
        {"length past the field", wrapped(51234, "II", 1000), ""},
        {"no byte order", wrapped(51234, "XX", 0), ""},
        {"cut header", std::string("Adobe\0MakN\0\0", 12), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TiffBlock t(false);
        t.Ascii(0, 0x010F, "Canon").Undefined(0, 0xC634, row.priv);
        TimgData d;
        ASSERT_TRUE(d.ProcessBytes("p.dng", t.Build())) << d.ErrorText;
        ASSERT_TRUE(d.ExifReader);
        EXPECT_EQ(d.ExifReader->LookupTagValue("ImageType", 1),
                  *row.imageType ? "\"" + std::string(row.imageType) + "\"" : "");
    }
}

// The MakerNote entry shows the maker's signature, the letters before the first binary byte, and nothing
// for a note that begins with its directory: the count's bytes are no text.
TEST(Formats, MakerNoteShowsItsSignatureOnly) {
    const std::pair<const char*, const char*> rows[] = {
        {"FujiFilm.raf", "\"FUJIFILM\""}, {"Pentax.jpg", "\"AOC\""},   {"Sony.jpg", "\"SONY DSC \""},
        {"Canon_EOS_70D.avif", "\"\""},   {"kodak-dc210.jpg", "\"\""}, {"CanonRaw.cr2", "\"\""},
    };
    for (const auto& [name, shown] : rows) {
        SCOPED_TRACE(name);
        TimgData d;
        ASSERT_TRUE(d.ProcessFile(SamplePath(name)));
        EXPECT_EQ(d.ExifReader->LookupTagValue("MakerNote"), shown);
    }
}
