// The crafted-file builder is what the reader's tests measure against, so its layout is pinned
// down here byte for byte: a silent change in where it puts a value would make those tests
// check the wrong thing.
#include "ExifBuilder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <jpeglib.h>

using namespace quillmark::craft;

namespace {

std::string B(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes)
        out += static_cast<char>(b);
    return out;
}

uint32_t ReadU32(const std::string& s, size_t pos, bool bigEndian) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<uint8_t>(s.at(pos + (bigEndian ? i : 3 - i)));
        v = (v << 8) | byte;
    }
    return v;
}

struct Decoded {
    bool ok = false;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

struct DecodeError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void OnDecodeError(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<DecodeError*>(cinfo->err)->jump, 1);
}

// Decodes with libjpeg, independently of the encoder's own code path.
Decoded Decode(const std::string& jpeg) {
    auto result = std::make_unique<Decoded>();
    auto cinfo = std::make_unique<jpeg_decompress_struct>();
    auto err = std::make_unique<DecodeError>();
    cinfo->err = jpeg_std_error(&err->pub);
    err->pub.error_exit = OnDecodeError;
    if (setjmp(err->jump)) {
        jpeg_destroy_decompress(cinfo.get());
        return Decoded{};
    }
    jpeg_create_decompress(cinfo.get());
    jpeg_mem_src(cinfo.get(), reinterpret_cast<const unsigned char*>(jpeg.data()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(cinfo.get(), TRUE);
    cinfo->out_color_space = JCS_RGB;
    jpeg_start_decompress(cinfo.get());
    result->width = static_cast<int>(cinfo->output_width);
    result->height = static_cast<int>(cinfo->output_height);
    result->pixels.resize(static_cast<size_t>(result->width) * static_cast<size_t>(result->height) * 3);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = &result->pixels[cinfo->output_scanline * static_cast<size_t>(result->width) * 3];
        jpeg_read_scanlines(cinfo.get(), &row, 1);
    }
    jpeg_finish_decompress(cinfo.get());
    jpeg_destroy_decompress(cinfo.get());
    result->ok = true;
    return *result;
}

TiffBlock MakeAndOrientation(bool bigEndian) {
    TiffBlock t(bigEndian);
    t.Short(0, 0x0112, {6}).Ascii(0, 0x010F, "Canon EOS");
    return t;
}

} // namespace

TEST(TiffBlockLayout, OneIfdLittleEndianIsByteExact) {
    const std::string expected =
        B({'I',  'I',  0x2A, 0, 8,  0, 0, 0,                // header
           2,    0,                                         // two entries
           0x12, 0x01, 3,    0, 1,  0, 0, 0, 6,    0, 0, 0, // Orientation, in the entry
           0x0F, 0x01, 2,    0, 10, 0, 0, 0, 0x26, 0, 0, 0, // Make, at offset 38
           0,    0,    0,    0}) +                          // no next IFD
        std::string("Canon EOS\0", 10);
    const TiffBlock t = MakeAndOrientation(false);
    EXPECT_EQ(t.Build(), expected);
    EXPECT_EQ(t.IfdOffset(0), 8u);
    EXPECT_EQ(t.ValueOffset(0, 0), 8u + 2 + 8);
    EXPECT_EQ(t.ValueOffsetOf(0, 0x010F), 38u);
}

TEST(TiffBlockLayout, OneIfdBigEndianIsByteExact) {
    const std::string expected = B({'M',  'M',  0, 0x2A, 0, 0, 0, 8,              // header
                                    0,    2,                                      // two entries
                                    0x01, 0x12, 0, 3,    0, 0, 0, 1,  0, 6, 0, 0, // Orientation, in the entry
                                    0x01, 0x0F, 0, 2,    0, 0, 0, 10, 0, 0, 0, 0x26, // Make, at offset 38
                                    0,    0,    0, 0}) +                             // no next IFD
                                 std::string("Canon EOS\0", 10);
    EXPECT_EQ(MakeAndOrientation(true).Build(), expected);
}

TEST(TiffBlockLayout, ValuesAreWordAlignedAndDirectoriesFollowInIndexOrder) {
    TiffBlock t(true);
    const int exif = t.AddIfd();
    const int ifd1 = t.AddIfd();
    t.Ascii(0, 0x0131, "abcd")          // 5 bytes: out of the entry, padded to 6
        .Rational(0, 0x011A, {{72, 1}}) // 8 bytes, right after the pad
        .Link(0, kExifIfdTag, exif)
        .Next(0, ifd1);
    t.Undefined(exif, 0x9000, "0221");
    t.LinkTrailer(ifd1, 0x0201).Long(ifd1, 0x0202, {3}).Trailer("xyz");
    const std::string bytes = t.Build();

    // IFD0: 2 + 3*12 + 4 = 42 bytes from 8, then 6 + 8 value bytes.
    EXPECT_EQ(t.ValueOffset(0, 0), 50u);
    EXPECT_EQ(t.ValueOffset(0, 1), 56u);
    EXPECT_EQ(t.IfdOffset(exif), 64u);
    EXPECT_EQ(t.IfdOffset(ifd1), 64u + 18);
    EXPECT_EQ(t.TrailerOffset(), 64u + 18 + 30);
    EXPECT_EQ(bytes.size(), t.TrailerOffset() + 3);
    EXPECT_EQ(bytes.substr(50, 6), std::string("abcd\0\0", 6));
    EXPECT_EQ(ReadU32(bytes, 60, true), 1u); // denominator of 72/1
    EXPECT_EQ(ReadU32(bytes, t.EntryOffset(0, 2) + 8, true), t.IfdOffset(exif));
    EXPECT_EQ(ReadU32(bytes, 8 + 2 + 36, true), t.IfdOffset(ifd1)); // IFD0's next offset
    EXPECT_EQ(bytes.substr(t.ValueOffset(exif, 0), 4), "0221");     // in the entry
    EXPECT_EQ(ReadU32(bytes, t.EntryOffset(ifd1, 0) + 8, true), t.TrailerOffset());
    EXPECT_EQ(bytes.substr(t.TrailerOffset()), "xyz");
}

TEST(TiffBlockLayout, EntriesKeepTheOrderTheyWereAddedIn) {
    TiffBlock t(false);
    t.Short(0, 0x0200, {1}).Short(0, 0x0100, {2});
    const std::string bytes = t.Build();
    EXPECT_EQ(bytes.substr(10, 2), B({0x00, 0x02}));
    EXPECT_EQ(bytes.substr(22, 2), B({0x00, 0x01}));
}

TEST(TiffBlockHostile, FieldsAreWrittenExactlyAsGiven) {
    TiffBlock t(false);
    t.Short(0, 0x0100, {1})
        .RawField(0, 0x010F, kAscii, 0xFFFFFFFF, 0x7FFFFFF0)
        .Raw(0, 0x0110, kAscii, 100, "ab") // count says 100, only two bytes, sits in the entry
        .CountOverride(0, 0xFFFF)
        .NextRaw(0, 0xDEADBEEF)
        .Magic(43)
        .FirstIfdOffsetRaw(0x12345678);
    const std::string bytes = t.Build();
    EXPECT_EQ(bytes.substr(0, 8), B({'I', 'I', 43, 0, 0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(bytes.substr(8, 2), B({0xFF, 0xFF}));
    EXPECT_EQ(bytes.substr(22 + 4, 8), B({0xFF, 0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(bytes.substr(34 + 4, 8), B({100, 0, 0, 0, 'a', 'b', 0, 0}));
    EXPECT_EQ(ReadU32(bytes, 46, false), 0xDEADBEEFu);
    EXPECT_EQ(bytes.size(), 50u); // no value placed for any of them
}

TEST(TiffBlockHostile, DirectoriesCanPointAtEachOther) {
    TiffBlock t(true);
    const int a = t.AddIfd();
    t.Link(0, kExifIfdTag, a).Link(a, kExifIfdTag, 0).Next(a, a);
    const std::string bytes = t.Build();
    EXPECT_EQ(ReadU32(bytes, t.EntryOffset(a, 0) + 8, true), 8u);
    EXPECT_EQ(ReadU32(bytes, t.IfdOffset(a) + 14, true), t.IfdOffset(a));
}

TEST(TiffBlockMakerNotes, DeferredValueLearnsWhereItLands) {
    TiffBlock t(true);
    const int exif = t.AddIfd();
    t.Link(0, kExifIfdTag, exif);
    t.Short(exif, 0x8827, {100});
    t.UndefinedAt(exif, kMakerNoteTag, [](uint32_t at) {
        // An Olympus-style note: 8-byte prefix, headerless directory, offsets from the TIFF header.
        TiffBlock note(true);
        note.WithoutHeader().Origin(at).Before(0, std::string("OLYMP\0\x01\0", 8));
        note.Ascii(0, 0x0207, "SX751");
        return note.Build();
    });
    const std::string bytes = t.Build();
    const uint32_t at = t.ValueOffsetOf(exif, kMakerNoteTag);
    EXPECT_EQ(bytes.substr(at, 8), std::string("OLYMP\0\x01\0", 8));
    EXPECT_EQ(bytes.substr(at + 8, 2), B({0, 1}));
    const uint32_t valueOffset = ReadU32(bytes, at + 8 + 2 + 8, true);
    EXPECT_EQ(valueOffset, at + 8 + 18);
    EXPECT_EQ(bytes.substr(valueOffset, 6), std::string("SX751\0", 6));
    EXPECT_EQ(ReadU32(bytes, t.EntryOffset(exif, 1) + 4, true), 8u + 18 + 6); // count = note length
}

TEST(TiffBlockMakerNotes, NikonNoteHasItsOwnHeaderAndOffsets) {
    TiffBlock inner(true);
    inner.Rational(0, 0x0084, {{180, 10}, {700, 10}, {35, 10}, {56, 10}});
    const std::string note = NikonMakerNote(inner);
    EXPECT_EQ(note.substr(0, 18), std::string("Nikon\0\x02\x10\0\0MM\0\x2A\0\0\0\x08", 18));
    EXPECT_EQ(ReadU32(note, 10 + 8 + 2 + 8, true), 26u); // counted from the inner "MM"
    EXPECT_EQ(ReadU32(note, 10 + 26, true), 180u);
}

TEST(TiffBlockValues, TypedEntriesEncodeInTheBlockByteOrder) {
    TiffBlock t(false);
    t.SRational(0, 0x9201, {{-1, 65536}})
        .SShort(0, 0x0001, {-2})
        .Double(0, 0x0002, {1.0})
        .XpText(0, 0x9C9B, "S\xC3\xA9");
    const std::string bytes = t.Build();
    EXPECT_EQ(bytes.substr(t.ValueOffset(0, 0), 8), B({0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 1, 0}));
    EXPECT_EQ(bytes.substr(t.ValueOffset(0, 1), 2), B({0xFE, 0xFF}));
    EXPECT_EQ(bytes.substr(t.ValueOffset(0, 2), 8), B({0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(bytes.substr(t.ValueOffset(0, 3), 6), B({'S', 0, 0xE9, 0, 0, 0}));
    EXPECT_EQ(Utf16Le("\xF0\x9F\x93\xB7", false), B({0x3D, 0xD8, 0xF7, 0xDC})); // camera emoji
}

TEST(JpegFileSections, SectionsCarryTheirLengths) {
    JpegFile f;
    f.Soi().Raw("\xFF\xFF").Comment("hi").SegmentWithLength(0xE1, 0x0001, "x").ScanAndEnd();
    const std::string& b = f.Bytes();
    EXPECT_EQ(b.substr(0, 12), B({0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFE, 0, 4, 'h', 'i', 0xFF, 0xE1}));
    EXPECT_EQ(b.substr(12, 3), B({0, 1, 'x'}));
    EXPECT_EQ(b.substr(b.size() - 2), B({0xFF, 0xD9}));
    EXPECT_THROW(JpegFile().Segment(0xFE, std::string(65534, 'a')), std::length_error);

    JpegFile j;
    j.Jfif();
    EXPECT_EQ(j.Bytes(), B({0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
}

TEST(JpegFileSections, IptcSectionIsAPhotoshopResource) {
    JpegFile f;
    f.Iptc({{2, 5, "Alp"}, {2, 25, "ab"}});
    const std::string body = std::string("Photoshop 3.0\0", 14) + "8BIM" + B({0x04, 0x04, 0, 0}) +
                             B({0, 0, 0, 15}) + B({0x1C, 2, 5, 0, 3, 'A', 'l', 'p'}) +
                             B({0x1C, 2, 25, 0, 2, 'a', 'b'}) + B({0});
    EXPECT_EQ(f.Bytes(), B({0xFF, 0xED, 0, static_cast<int>(body.size() + 2)}) + body);
}

TEST(JpegFileSections, ExifSectionWrapsTheTiffBlock) {
    const TiffBlock t = MakeAndOrientation(true);
    JpegFile f;
    f.Exif(t);
    const std::string& b = f.Bytes();
    const std::string tiff = t.Build();
    EXPECT_EQ(b.substr(0, 4), B({0xFF, 0xE1, 0, static_cast<int>(tiff.size() + 8)}));
    EXPECT_EQ(b.substr(4), std::string("Exif\0\0", 6) + tiff);
}

TEST(JpegPictures, ImageDecodesToTheRequestedColourfulPicture) {
    JpegFile f;
    f.Soi().Comment("c").Image(64, 48, 90);
    const std::string& b = f.Bytes();
    EXPECT_EQ(b.substr(2, 2), B({0xFF, 0xFE}));
    EXPECT_EQ(b.substr(7, 2), B({0xFF, 0xDB})); // libjpeg's own SOI and APP0 are left out
    const Decoded d = Decode(b);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 64);
    EXPECT_EQ(d.height, 48);
    int minR = 255, maxR = 0, minB = 255, maxB = 0;
    for (size_t i = 0; i < d.pixels.size(); i += 3) {
        minR = std::min<int>(minR, d.pixels[i]);
        maxR = std::max<int>(maxR, d.pixels[i]);
        minB = std::min<int>(minB, d.pixels[i + 2]);
        maxB = std::max<int>(maxB, d.pixels[i + 2]);
    }
    EXPECT_GT(maxR - minR, 150);
    EXPECT_GT(maxB - minB, 150);

    for (Pattern p : {Pattern::Landscape, Pattern::Flower}) {
        const Decoded whole = Decode(EncodeJpeg(40, 30, 80, p));
        ASSERT_TRUE(whole.ok);
        EXPECT_EQ(whole.width, 40);
    }
    EXPECT_THROW(EncodeJpeg(0, 10), std::invalid_argument);
    EXPECT_THROW(EncodeJpeg(10, 10, 101), std::invalid_argument);
}

TEST(JpegPictures, RotationMovesCornersClockwise) {
    RgbImage img{2, 1, {1, 1, 1, 2, 2, 2}};
    const RgbImage cw = Rotated(img, 1);
    EXPECT_EQ(cw.width, 1);
    EXPECT_EQ(cw.height, 2);
    EXPECT_EQ(cw.pixels, (std::vector<uint8_t>{1, 1, 1, 2, 2, 2}));
    const RgbImage ccw = Rotated(img, 3);
    EXPECT_EQ(ccw.pixels, (std::vector<uint8_t>{2, 2, 2, 1, 1, 1}));
    EXPECT_EQ(Rotated(img, 2).pixels, (std::vector<uint8_t>{2, 2, 2, 1, 1, 1}));
}
