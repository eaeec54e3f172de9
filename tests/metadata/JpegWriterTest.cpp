// Writing new JPEG files from kept sections: the exact bytes written, the in-place EXIF changes, and
// failures that must leave an existing file as it was.
#include "JpegWriter.h"
#include "ImageInfo.h"
#include "ImgData.h"
#include "JpegCodec.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillmark;
using namespace quillmark::testing;
using craft::JpegFile;
using craft::TiffBlock;
using namespace std::string_literals;

namespace {

TEncodedJpeg Picture(int w = 32, int h = 24, int quality = 80) {
    TRgbImage img;
    img.Width = w;
    img.Height = h;
    img.Pixels.resize(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < img.Pixels.size(); ++i)
        img.Pixels[i] = static_cast<uint8_t>(i * 7 % 251);
    return EncodeJpeg(img, quality);
}

// The encoder's stream after its SOI and its own 18-byte JFIF APP0: tables, frame, scan, EOI.
std::string Body(const TEncodedJpeg& pic) {
    EXPECT_EQ(pic.Bytes.substr(2, 4), "\xFF\xE0\x00\x10"s);
    return pic.Bytes.substr(20);
}

std::string Section(uint8_t marker, const std::string& body) {
    const size_t n = body.size() + 2;
    return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(n >> 8),
                       static_cast<char>(n & 0xFF)} +
           body;
}

// FF, marker and the bytes of a kept section, as they go into a written file.
std::string Kept(const TimgData& d, int slot) {
    const tSection& s = d.Section(slot);
    return std::string{'\xFF', static_cast<char>(s.Marker)} + s.Data;
}

std::string WriteAndRead(TimgData& d, const TEncodedJpeg& pic, bool adjust, const TempDir& dir,
                         const std::string& name = "out.jpg") {
    const std::string path = (dir.Path / name).string();
    d.WriteJpegFile(pic, path, adjust);
    return ReadAll(path);
}

std::vector<std::string> Listing(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TiffBlock DimensionsBlock(bool bigEndian, bool asShort) {
    TiffBlock t(bigEndian);
    t.Ascii(0, 0x010F, "Canon");
    if (asShort)
        t.Short(0, 0x0100, {640}).Short(0, 0x0101, {480});
    else
        t.Long(0, 0x0100, {3000}).Long(0, 0x0101, {2000});
    return t;
}

TiffBlock CommentBlock(size_t fieldSize) {
    TiffBlock t(false);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon").Link(0, 0x8769, exif);
    t.Short(exif, 0xA002, {640})
        .Undefined(exif, 0x9286, std::string("ASCII\0\0\0", 8) + std::string(fieldSize - 8, ' '));
    return t;
}

// Runs `body` in a child process; its exit status and what it wrote to the given descriptor.
std::pair<int, std::string> InChild(const std::function<int(int out)>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return {-1, "pipe"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        int code = 99;
        try {
            code = body(fds[1]);
        } catch (...) {
            code = 98;
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    std::string said;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        said.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, said};
}

// In a child: 0 when WriteJpegFile threw WriteError (its message sent back), 1 when it did not throw.
int WriteExpectingError(int out, TimgData& d, const TEncodedJpeg& pic, const std::string& path) {
    try {
        d.WriteJpegFile(pic, path, false);
        return 1;
    } catch (const WriteError& e) {
        const std::string m = e.what();
        (void)!::write(out, m.data(), m.size());
        return 0;
    }
}

} // namespace

TEST(JpegWriter, KeptSectionsPrecedeThePictureInAFixedOrder) {
    TempDir dir;
    const TEncodedJpeg pic = Picture();
    TimgData d;

    // APP0 and APP1: only the APP1 is written.
    ASSERT_TRUE(d.ProcessBytes(
        "a.jpg", JpegFile().Soi().Jfif().Exif(DimensionsBlock(false, true)).ScanAndEnd().Bytes()));
    ASSERT_EQ(d.ExifSection, 2);
    EXPECT_EQ(WriteAndRead(d, pic, false, dir), "\xFF\xD8" + Kept(d, 2) + Body(pic));

    // APP0 alone is kept as read.
    ASSERT_TRUE(d.ProcessBytes("b.jpg", JpegFile().Soi().Jfif().Comment("c").ScanAndEnd().Bytes()));
    EXPECT_EQ(WriteAndRead(d, pic, false, dir), "\xFF\xD8" + Kept(d, 1) + Kept(d, 2) + Body(pic));

    // Neither: the standard JFIF header.
    ASSERT_TRUE(d.ProcessBytes("c.jpg", JpegFile().Soi().Comment("hi").ScanAndEnd().Bytes()));
    const std::string jfif("\xFF\xE0\x00\x10JFIF\x00\x01\x02\x01\x01\x2C\x01\x2C\x00\x00", 18);
    EXPECT_EQ(kStandardJfifHeader, jfif);
    EXPECT_EQ(WriteAndRead(d, pic, false, dir), "\xFF\xD8" + jfif + Section(0xFE, "hi") + Body(pic));

    // Whatever their order in the photo: EXIF, then APP13, then COM. Other sections are not copied.
    const std::string file = JpegFile()
                                 .Soi()
                                 .Comment("note")
                                 .Iptc({{2, 5, "Title"}})
                                 .Segment(0xE2, "ICC")
                                 .Exif(DimensionsBlock(true, false))
                                 .Jfif()
                                 .ScanAndEnd()
                                 .Bytes();
    ASSERT_TRUE(d.ProcessBytes("d.jpg", file));
    ASSERT_EQ(d.CommentSection, 1);
    ASSERT_EQ(d.IptcSection, 2);
    ASSERT_EQ(d.ExifSection, 4);
    const std::string written = WriteAndRead(d, pic, false, dir);
    EXPECT_EQ(written, "\xFF\xD8" + Kept(d, 4) + Kept(d, 2) + Kept(d, 1) + Body(pic));

    // The written file reads back with the same metadata.
    TimgData back;
    ASSERT_TRUE(back.ProcessFile((dir.Path / "out.jpg").string()));
    EXPECT_EQ(back.CommentText(), "note");
    EXPECT_EQ(back.ExifReader->Width, 3000);
    EXPECT_EQ(back.Section(back.ExifSection).Data, d.Section(4).Data);
    EXPECT_EQ(back.Section(back.IptcSection).Data, d.Section(2).Data);
    EXPECT_EQ(DecodeJpeg(written).Width, 32);
}

TEST(JpegWriter, SectionsThatAreNotWholeAreLeftOut) {
    TempDir dir;
    const TEncodedJpeg pic = Picture();
    TimgData d;
    // A comment whose length runs past the end of its file: its length field would swallow the
    // new picture's tables.
    ASSERT_TRUE(
        d.ProcessBytes("cut.jpg", JpegFile().Soi().Jfif().SegmentWithLength(0xFE, 500, "abc").Bytes()));
    ASSERT_EQ(d.CommentSection, 2);
    EXPECT_EQ(WriteAndRead(d, pic, false, dir), "\xFF\xD8" + Kept(d, 1) + Body(pic));

    // A TIFF file's block is no JPEG section.
    TiffBlock t(false);
    t.Ascii(0, 0x010F, "Scanner").Short(0, 0x0100, {100}).Short(0, 0x0101, {50});
    ASSERT_TRUE(d.ProcessBytes("scan.tif", t.Build()));
    ASSERT_EQ(d.ExifSection, 1);
    EXPECT_EQ(WriteAndRead(d, pic, true, dir), "\xFF\xD8" + std::string(kStandardJfifHeader) + Body(pic));
}

TEST(JpegWriter, EncoderHeaderSectionsAreSkippedInOrderAndWithinTheStream) {
    const std::string tables = "\xFF\xDB\x00\x04\x01\x02\xFF\xD9"s;
    const std::string app0 = Section(0xE0, "JFIF0");
    const std::string app1 = Section(0xE1, "Exif1");
    const std::string app13 = Section(0xED, "PS");
    const std::string com = Section(0xFE, "C");
    const std::string soi = "\xFF\xD8";
    EXPECT_EQ(SkipEncoderHeaderSections(soi + app0 + app1 + app13 + com + tables),
              (soi + app0 + app1 + app13 + com).size());
    // No APP0: nothing before the next section is skipped, and a following APP1 is.
    EXPECT_EQ(SkipEncoderHeaderSections(soi + app1 + tables), (soi + app1).size());
    // Each kind once, and only in that order.
    EXPECT_EQ(SkipEncoderHeaderSections(soi + app0 + app0 + tables), (soi + app0).size());
    EXPECT_EQ(SkipEncoderHeaderSections(soi + com + app0 + tables), (soi + com).size());
    EXPECT_EQ(SkipEncoderHeaderSections(soi + app13 + app1 + tables), (soi + app13).size());
    EXPECT_EQ(SkipEncoderHeaderSections(soi + tables), 2u);
    // Lengths from the stream are checked: a section running past the end, or shorter than its own
    // length field, is not skipped and nothing after it is tested.
    EXPECT_EQ(SkipEncoderHeaderSections(soi + std::string("\xFF\xE0\x01\x00", 4) + "xy"), 2u);
    EXPECT_EQ(SkipEncoderHeaderSections(soi + app0 + std::string("\xFF\xE1\x00\x01", 4) + tables),
              (soi + app0).size());
    EXPECT_EQ(SkipEncoderHeaderSections(soi + Section(0xE0, "")), 6u); // exactly to the end
    for (const std::string& s :
         {""s, "\xFF"s, "\xFF\xD8"s, "\xFF\xD8\xFF"s, "\xFF\xD8\xFF\xE0"s, "\xFF\xD8\xFF\xE0\x00"s})
        EXPECT_EQ(SkipEncoderHeaderSections(s), std::min<size_t>(s.size(), 2)) << s.size();
    std::mt19937 rng(3);
    for (int i = 0; i < 5000; ++i) {
        std::string s(rng() % 24, '\0');
        for (char& c : s)
            c = static_cast<char>(rng() % 4 == 0 ? 0xFF : rng() % 3 == 0 ? 0xE0 + rng() % 32 : rng() % 8);
        ASSERT_LE(SkipEncoderHeaderSections(s), s.size());
    }

    // Through the writer: an encoded stream whose APP1 follows its SOI directly loses that APP1.
    TempDir dir;
    TimgData d;
    const TEncodedJpeg real = Picture();
    const TEncodedJpeg withApp1{soi + app1 + Body(real), real.Width, real.Height};
    EXPECT_EQ(WriteAndRead(d, withApp1, false, dir), soi + std::string(kStandardJfifHeader) + Body(real));
}

TEST(JpegWriter, PutLongWritesInTheContainersByteOrderAndOnlyInsideTheSection) {
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "MM" : "II");
        const TiffBlock t = DimensionsBlock(bigEndian, false);
        TimgData d;
        ASSERT_TRUE(d.ProcessBytes("p.jpg", JpegWithExif(t)));
        TImageInfo& info = *d.ExifReader;
        // The value field of IFD0's width entry, counted from the section's length bytes.
        ASSERT_EQ(info.WidthPos, static_cast<int32_t>(t.EntryOffset(0, 1) + 8 + 9));
        info.PutLong(1500, info.WidthPos);
        const std::string& data = d.Section(d.ExifSection).Data;
        EXPECT_EQ(data.substr(static_cast<size_t>(info.WidthPos - 1), 4),
                  bigEndian ? std::string("\x00\x00\x05\xDC", 4) : std::string("\xDC\x05\x00\x00", 4));

        const std::string before = data;
        const auto size = static_cast<int32_t>(data.size());
        for (int32_t pos : {0, -1, -3, size - 2, size, size + 1, INT32_MAX, INT32_MIN})
            info.PutLong(0x11223344, pos);
        EXPECT_EQ(data, before);
        info.PutLong(0x11223344, size - 3); // the last four bytes: still inside
        EXPECT_EQ(data.substr(data.size() - 4), bigEndian ? "\x11\x22\x33\x44" : "\x44\x33\x22\x11");
    }
}

TEST(JpegWriter, SetDimensionsWritesEachEntryInItsOwnType) {
    TempDir dir;
    const TEncodedJpeg pic = Picture(32, 24);
    for (bool bigEndian : {true, false})
        for (bool asShort : {true, false}) {
            SCOPED_TRACE(std::string(bigEndian ? "MM" : "II") + (asShort ? " SHORT" : " LONG"));
            TimgData d;
            ASSERT_TRUE(d.ProcessBytes("s.jpg", JpegWithExif(DimensionsBlock(bigEndian, asShort))));
            const int32_t w = d.ExifReader->Width, h = d.ExifReader->Height;
            d.WriteJpegFile(pic, (dir.Path / "s.jpg").string(), true);
            // The values recorded by the read stay; the bytes change.
            EXPECT_EQ(d.ExifReader->Width, w);
            EXPECT_EQ(d.ExifReader->Height, h);
            TimgData back;
            ASSERT_TRUE(back.ProcessFile((dir.Path / "s.jpg").string()));
            EXPECT_EQ(back.ExifReader->Width, 32);
            EXPECT_EQ(back.ExifReader->Height, 24);
        }

    // A SHORT takes two bytes: the rest of its four-byte field is left as it was.
    TiffBlock t(true);
    t.Raw(0, 0x0100, craft::kShort, 1, std::string("\x02\x80\xAB\xCD", 4)).Short(0, 0x0101, {480});
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("r.jpg", JpegWithExif(t)));
    TImageInfo& info = *d.ExifReader;
    ASSERT_EQ(info.Width, 640);
    info.SetDimensions(24, 32);
    const std::string& data = d.Section(d.ExifSection).Data;
    EXPECT_EQ(data.substr(static_cast<size_t>(info.WidthPos - 1), 4), std::string("\x00\x20\xAB\xCD", 4));
    EXPECT_EQ(data.substr(static_cast<size_t>(info.HeightPos - 1), 4), std::string("\x00\x18\x00\x00", 4));

    // Every field that records the photo's size changes, each in its type; the thumbnail's stay.
    TiffBlock both(false);
    const int exif = both.AddIfd();
    const int ifd1 = both.AddIfd();
    both.Long(0, 0x0100, {4134}).Long(0, 0x0101, {5906}).Link(0, 0x8769, exif).Next(0, ifd1);
    both.Short(exif, 0xA002, {322}).Short(exif, 0xA003, {466});
    both.Short(ifd1, 0x0100, {96}).Short(ifd1, 0x0101, {72}).Trailer(std::string(300, '\0'));
    ASSERT_TRUE(d.ProcessBytes("b.jpg", JpegWithExif(both)));
    ASSERT_TRUE(d.ExifReader->ReadThumbnailDirectory());
    d.ExifReader->SetDimensions(233, 161);
    const std::string& changed = d.Section(d.ExifSection).Data;
    auto field = [&](int ifd, int entry) {
        return changed.substr(both.EntryOffset(ifd, entry) + 8 + 8, 4); // 8: "Exif\0\0" and the length
    };
    EXPECT_EQ(field(0, 0), std::string("\xA1\0\0\0", 4));
    EXPECT_EQ(field(0, 1), std::string("\xE9\0\0\0", 4));
    EXPECT_EQ(field(exif, 0), std::string("\xA1\0\0\0", 4));
    EXPECT_EQ(field(exif, 1), std::string("\xE9\0\0\0", 4));
    EXPECT_EQ(field(ifd1, 0), std::string("\x60\0\0\0", 4));
    EXPECT_EQ(field(ifd1, 1), std::string("\x48\0\0\0", 4));
}

TEST(JpegWriter, SetDimensionsChangesNothingWhenItShouldNot) {
    // The photo's own dimensions.
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("o.jpg", JpegWithExif(DimensionsBlock(true, true))));
    const std::string before = d.Section(d.ExifSection).Data;
    d.ExifReader->SetDimensions(480, 640);
    EXPECT_EQ(d.Section(d.ExifSection).Data, before);

    // No width recorded.
    TiffBlock noWidth(false);
    noWidth.Short(0, 0x0101, {480});
    ASSERT_TRUE(d.ProcessBytes("n.jpg", JpegWithExif(noWidth)));
    const std::string unchanged = d.Section(d.ExifSection).Data;
    d.ExifReader->SetDimensions(24, 32);
    EXPECT_EQ(d.Section(d.ExifSection).Data, unchanged);

    // A width stored as a RATIONAL: its field holds the offset of the value, not the value; and a
    // SHORT cannot hold a side above 65535.
    TiffBlock odd(false);
    odd.Rational(0, 0x0100, {{640, 1}}).Short(0, 0x0101, {480});
    ASSERT_TRUE(d.ProcessBytes("q.jpg", JpegWithExif(odd)));
    ASSERT_EQ(d.ExifReader->Width, 640);
    const std::string rational = d.Section(d.ExifSection).Data;
    d.ExifReader->SetDimensions(70000, 32);
    EXPECT_EQ(d.Section(d.ExifSection).Data, rational);
}

TEST(JpegWriter, ExifCommentFillsTheFieldAndNeverGrowsIt) {
    TempDir dir;
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("u.jpg", JpegWithExif(CommentBlock(40))));
    TImageInfo& info = *d.ExifReader;
    ASSERT_EQ(info.UserCommentLength, 31);
    const int at = info.UserCommentPos - 1;
    std::string& data = d.Section(d.ExifSection).Data;
    const std::string before = data;
    const std::string prefix("ASCII\0\0\0", 8);

    info.SetExifComment(std::string(50, 'x'));
    EXPECT_EQ(data.substr(static_cast<size_t>(at), 40), prefix + std::string(31, 'x') + '\0');
    info.SetExifComment("abc");
    EXPECT_EQ(data.substr(static_cast<size_t>(at), 40), prefix + "abc" + std::string(29, '\0'));
    // Nothing outside the field moved.
    EXPECT_EQ(data.substr(0, static_cast<size_t>(at)), before.substr(0, static_cast<size_t>(at)));
    EXPECT_EQ(data.substr(static_cast<size_t>(at) + 40), before.substr(static_cast<size_t>(at) + 40));

    d.WriteJpegFile(Picture(), (dir.Path / "u.jpg").string(), false);
    TimgData back;
    ASSERT_TRUE(back.ProcessFile((dir.Path / "u.jpg").string()));
    EXPECT_EQ(back.ExifReader->UserCommentText, "abc");

    // Any named entry: cut to its size less one, always ending with a zero byte.
    ASSERT_TRUE(info.WriteTagValue("make", "Nikon Corporation"));
    const TTagEntry make = *FindEntry(info, 0x010F);
    EXPECT_EQ(data.substr(static_cast<size_t>(make.ValueOffset - 1), 6), std::string("Nikon\0", 6));
    EXPECT_FALSE(info.WriteTagValue("NoSuchTag", "x"));

    // Without a UserComment entry nothing changes.
    ASSERT_TRUE(d.ProcessBytes("v.jpg", JpegWithExif(DimensionsBlock(false, true))));
    const std::string plain = d.Section(d.ExifSection).Data;
    d.ExifReader->SetExifComment("hello");
    EXPECT_FALSE(d.ExifReader->WriteTagValue("UserComment", "hello"));
    EXPECT_EQ(d.Section(d.ExifSection).Data, plain);
}

TEST(JpegWriter, HostilePositionsAndSizesWriteNothing) {
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("h.jpg", JpegWithExif(CommentBlock(40))));
    TImageInfo& info = *d.ExifReader;
    const std::string& data = d.Section(d.ExifSection).Data;
    const std::string before = data;
    const int index = info.LookupTagIndex("UserComment");
    ASSERT_GE(index, 0);
    TTagEntry& entry = info.Entries[static_cast<size_t>(index)];
    const TTagEntry original = entry;
    const auto size = static_cast<int32_t>(data.size());
    const std::pair<int32_t, int32_t> cases[] = {
        {size - 5, 40}, {0, 40}, {-8, 40}, {INT32_MIN, 40}, {INT32_MAX, 40}, {9, INT32_MAX}, {size + 1, 0}};
    for (const auto& [offset, rawSize] : cases) {
        entry.ValueOffset = offset;
        entry.RawSize = rawSize;
        EXPECT_FALSE(info.WriteTagValue("UserComment", "ASCII")) << offset << " " << rawSize;
        EXPECT_EQ(data, before);
    }
    entry = original;

    // A maker note's entry of the same name, met first, counts its positions from elsewhere: the
    // directory walk's entry is the one written.
    TTagEntry maker = original;
    maker.ListId = 1;
    maker.ValueOffset = 9;
    info.Entries.insert(info.Entries.begin(), maker);
    info.SetExifComment("z");
    EXPECT_EQ(data.substr(0, 20), before.substr(0, 20));
    EXPECT_EQ(data[static_cast<size_t>(original.ValueOffset - 1 + 8)], 'z');

    // With the sections forgotten there is nothing to write into.
    TImageInfo orphan(nullptr, 255);
    orphan.Entries = info.Entries;
    EXPECT_FALSE(orphan.WriteTagValue("UserComment", "x"));
    orphan.PutLong(1, 10);
}

TEST(JpegWriter, ClearSectionsLeavesOnlyTheStandardHeaderAndThePicture) {
    TempDir dir;
    TimgData d;
    const std::string file = JpegFile()
                                 .Soi()
                                 .Jfif()
                                 .Exif(DimensionsBlock(false, true))
                                 .Iptc({{2, 5, "T"}})
                                 .Comment("c")
                                 .ScanAndEnd()
                                 .Bytes();
    ASSERT_TRUE(d.ProcessBytes("/photos/x.jpg", file));
    ASSERT_TRUE(d.ExifReader && d.IptcReader);
    const int count = d.SectionCount;
    const std::string exifBytes = d.Section(2).Data;

    d.ClearSections();
    EXPECT_EQ(d.ExifSection, 0);
    EXPECT_EQ(d.IptcSection, 0);
    EXPECT_EQ(d.CommentSection, 0);
    EXPECT_EQ(d.JfifSection, 0);
    EXPECT_FALSE(d.ExifReader);
    EXPECT_FALSE(d.IptcReader);
    EXPECT_FALSE(d.HasMetadata());
    EXPECT_EQ(d.SectionCount, count);
    EXPECT_EQ(d.Section(2).Data, exifBytes);
    EXPECT_EQ(d.PathName, "/photos/x.jpg");

    const TEncodedJpeg pic = Picture(20, 10);
    EXPECT_EQ(WriteAndRead(d, pic, true, dir), "\xFF\xD8" + std::string(kStandardJfifHeader) + Body(pic));
}

TEST(JpegWriter, CameraPhotoRoundTripKeepsItsExif) {
    TempDir dir;
    TimgData a;
    ASSERT_TRUE(a.ProcessFile(SamplePath("Canon_40D.jpg")));
    ASSERT_TRUE(a.ExifReader);
    const std::string out = (dir.Path / "copy.jpg").string();
    const TEncodedJpeg pic = Picture(64, 48);
    a.WriteJpegFile(pic, out, false);

    TimgData b;
    ASSERT_TRUE(b.ProcessFile(out));
    EXPECT_EQ(b.ErrorText, "<none>");
    EXPECT_EQ(b.Section(b.ExifSection).Data, a.Section(a.ExifSection).Data);
    ASSERT_EQ(b.ExifReader->Entries.size(), a.ExifReader->Entries.size());
    for (size_t i = 0; i < a.ExifReader->Entries.size(); ++i) {
        const TTagEntry& x = a.ExifReader->Entries[i];
        const TTagEntry& y = b.ExifReader->Entries[i];
        EXPECT_EQ(y.ListId, x.ListId) << i;
        EXPECT_EQ(y.Tag, x.Tag) << i;
        EXPECT_EQ(y.Name, x.Name) << i;
        EXPECT_EQ(y.Text, x.Text) << x.Name;
        EXPECT_EQ(y.Raw, x.Raw) << x.Name;
    }
    EXPECT_EQ(DecodeJpeg(ReadAll(out)).Width, 64);

    // With the dimensions adjusted, the copy records the new picture's size and nothing else moves.
    ASSERT_GT(a.ExifReader->Width, 0);
    a.WriteJpegFile(pic, out, true);
    ASSERT_TRUE(b.ProcessFile(out));
    EXPECT_EQ(b.ExifReader->Width, 64);
    EXPECT_EQ(b.ExifReader->Height, 48);
    EXPECT_EQ(b.ExifReader->CameraModel, a.ExifReader->CameraModel);
    EXPECT_EQ(b.ExifReader->Entries.size(), a.ExifReader->Entries.size());
}

TEST(JpegWriter, ReplacesTheTargetKeepingItsPermissionsAndLinks) {
    TempDir dir;
    TimgData d;
    const TEncodedJpeg pic = Picture();
    const std::string expected = "\xFF\xD8" + std::string(kStandardJfifHeader) + Body(pic);

    const std::string old = dir.File("old.jpg", "old bytes");
    ASSERT_EQ(::chmod(old.c_str(), 0640), 0);
    d.WriteJpegFile(pic, old, false);
    EXPECT_EQ(ReadAll(old), expected);
    struct stat st {};
    ASSERT_EQ(::stat(old.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const mode_t mask = ::umask(027);
    d.WriteJpegFile(pic, (dir.Path / "new.jpg").string(), false);
    ::umask(mask);
    ASSERT_EQ(::stat((dir.Path / "new.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // Through a link: the file it points at is replaced and the link stays.
    const std::string real = dir.File("real.jpg", "x");
    std::filesystem::create_symlink("real.jpg", dir.Path / "link.jpg");
    d.WriteJpegFile(pic, (dir.Path / "link.jpg").string(), false);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path / "link.jpg"));
    EXPECT_EQ(ReadAll(real), expected);

    // A relative name is written in the current folder.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path);
    d.WriteJpegFile(pic, "here.jpg", false);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(ReadAll((dir.Path / "here.jpg").string()), expected);
    EXPECT_EQ(Listing(dir.Path),
              (std::vector<std::string>{"here.jpg", "link.jpg", "new.jpg", "old.jpg", "real.jpg"}));
}

TEST(JpegWriter, FailuresLeaveTheTargetAsItWas) {
    TempDir dir;
    TimgData d;
    ASSERT_TRUE(d.ProcessBytes("e.jpg", JpegWithExif(DimensionsBlock(false, true))));
    const std::string exifBefore = d.Section(d.ExifSection).Data;
    const TEncodedJpeg pic = Picture();
    const auto expectError = [&](const std::string& path, const std::string& message, const TEncodedJpeg& p) {
        try {
            d.WriteJpegFile(p, path, true);
            ADD_FAILURE() << "no error writing " << path;
        } catch (const WriteError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    };

    const std::string missing = (dir.Path / "missing" / "x.jpg").string();
    expectError(missing, "Cannot write " + missing + ": No such file or directory", pic);
    // A file that cannot be created changes nothing, not even the dimensions in memory.
    EXPECT_EQ(d.Section(d.ExifSection).Data, exifBefore);

    std::filesystem::create_directory(dir.Path / "folder.jpg");
    expectError((dir.Path / "folder.jpg").string(),
                "Cannot write " + (dir.Path / "folder.jpg").string() + ": Is a directory", pic);
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path / "folder.jpg"));

    const std::string target = dir.File("keep.jpg", "precious");
    expectError(target, "Cannot write " + target + ": the picture is not a JPEG stream",
                TEncodedJpeg{"GIF89a", 1, 1});
    expectError(target, "Cannot write " + target + ": the picture is not a JPEG stream", TEncodedJpeg{});
    EXPECT_THROW(d.WriteJpegFile(pic, "", false), WriteError);
    EXPECT_EQ(ReadAll(target), "precious");
    EXPECT_EQ(Listing(dir.Path), (std::vector<std::string>{"folder.jpg", "keep.jpg"}));
}

TEST(JpegWriter, AFullDiskLeavesTheTargetAsItWas) {
    TempDir dir;
    TimgData d;
    ASSERT_TRUE(d.ProcessFile(SamplePath("Canon_40D.jpg")));
    const TEncodedJpeg pic = Picture(300, 200, 95);
    const std::string target = dir.File("photo_smaller.jpg", "the old copy");
    // A file size limit makes write() fail with EFBIG part-way, as a full disk does with ENOSPC.
    const auto [code, message] = InChild([&](int out) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 4096;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        return WriteExpectingError(out, d, pic, target);
    });
    EXPECT_EQ(code, 0) << message;
    EXPECT_EQ(message, "Cannot write " + target + ": File too large");
    EXPECT_EQ(ReadAll(target), "the old copy");
    EXPECT_EQ(Listing(dir.Path), std::vector<std::string>{"photo_smaller.jpg"});
}

TEST(JpegWriter, AFolderWithoutWritePermissionIsReported) {
    TempDir dir;
    TimgData d;
    const TEncodedJpeg pic = Picture();
    const std::string locked = (dir.Path / "locked").string();
    std::filesystem::create_directory(locked);
    const std::string existing = dir.File("locked/a.jpg", "old a");
    ASSERT_EQ(::chmod(existing.c_str(), 0666), 0);
    const std::string fresh = locked + "/b.jpg";
    // A read-only file in a folder open to all is not replaced either.
    const std::string open = (dir.Path / "open").string();
    std::filesystem::create_directory(open);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    const std::string readOnly = dir.File("open/r.jpg", "old r");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);

    // Root may write anywhere: the check then runs in a child that gives up its rights.
    const bool root = ::geteuid() == 0;
    for (const std::string& path : {existing, fresh, readOnly}) {
        const auto [code, message] = InChild([&](int out) {
            if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 4;
            return WriteExpectingError(out, d, pic, path);
        });
        if (code == 4) GTEST_SKIP() << "running as root and cannot give up the rights";
        EXPECT_EQ(code, 0) << path << ": " << message;
        EXPECT_EQ(message, "Cannot write " + path + ": Permission denied");
    }
    ::chmod(locked.c_str(), 0755);
    EXPECT_EQ(ReadAll(existing), "old a");
    EXPECT_EQ(ReadAll(readOnly), "old r");
    EXPECT_EQ(Listing(locked), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(Listing(open), std::vector<std::string>{"r.jpg"});
}
