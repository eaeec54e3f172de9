// The box formats' scans: HEIF/HEIC, AVIF and CR3 (ScanIsoBmff), JPEG XL and JPEG 2000, on the real
// samples (facts checked with exiftool -v3) and on crafted boxes that go wrong in every way a box can.
#include "../../fuzz/IsoBmffBody.h"
#include "ImgData.h"
#include "TestFiles.h"
#include "formats/Scans.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillmark {
namespace {

using testing::ReadAll;
using testing::SamplePath;

// --- building boxes ----------------------------------------------------------------------------

std::string Be(uint64_t value, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += static_cast<char>(value >> (8 * i) & 0xff);
    return s;
}
std::string Box(std::string_view type, const std::string& payload) {
    return Be(8 + payload.size(), 4) + std::string(type) + payload;
}
std::string FullBox(std::string_view type, int version, const std::string& payload, uint32_t flags = 0) {
    return Box(type, Be(static_cast<uint64_t>(version) << 24 | flags, 4) + payload);
}
std::string Infe(uint16_t id, std::string_view type, const std::string& contentType = "") {
    std::string payload = Be(id, 2) + Be(0, 2) + std::string(type) + std::string(1, '\0');
    if (type == "mime") payload += contentType + std::string(1, '\0');
    return FullBox("infe", 2, payload);
}
std::string Ftyp(std::string_view major, std::string_view compatible) {
    return Box("ftyp", std::string(major) + Be(0, 4) + std::string(compatible));
}

// The 4-byte offset (0) and a TIFF header whose IFD0 holds Orientation = 6.
const std::string kExifPayload("\0\0\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0",
                               30);

// A HEIF file: ftyp, an mdat holding `data` (at kDataAt), then meta with the given boxes. Items'
// extents count from kDataAt.
constexpr uint64_t kDataAt = 24 + 8;
std::string Heif(const std::string& data, const std::string& metaBoxes, std::string_view major = "heic") {
    const std::string ftyp = Ftyp(major, "mif1heic");
    EXPECT_EQ(ftyp.size(), 24u);
    return ftyp + Box("mdat", data) +
           FullBox("meta", 0, FullBox("hdlr", 0, Be(0, 4) + "pict" + std::string(13, '\0')) + metaBoxes);
}
// iloc version 1 (offset, length and base sizes 4, index size 0): items of one method each.
struct TLoc {
    uint16_t Id;
    uint16_t Method;
    std::vector<std::pair<uint32_t, uint32_t>> Extents;
};
std::string Iloc1(const std::vector<TLoc>& items) {
    std::string p = Be(0x4440, 2) + Be(items.size(), 2);
    for (const TLoc& item : items) {
        p += Be(item.Id, 2) + Be(item.Method, 2) + Be(0, 2) + Be(0, 4) + Be(item.Extents.size(), 2);
        for (const auto& [offset, length] : item.Extents)
            p += Be(offset, 4) + Be(length, 4);
    }
    return FullBox("iloc", 1, p);
}
std::string Iprp(const std::string& properties, uint16_t item, const std::vector<uint8_t>& indices) {
    std::string ipma = Be(1, 4) + Be(item, 2) + Be(indices.size(), 1);
    for (uint8_t i : indices)
        ipma += static_cast<char>(i);
    return Box("iprp", Box("ipco", properties) + FullBox("ipma", 0, ipma));
}
std::string Ispe(uint32_t w, uint32_t h) {
    return FullBox("ispe", 0, Be(w, 4) + Be(h, 4));
}

TContainerScan Scan(bool (*scan)(TByteSource&, uint64_t, TContainerScan&), const std::string& bytes,
                    bool expect = true) {
    TMemorySource source(bytes);
    TContainerScan out;
    EXPECT_EQ(scan(source, bytes.size(), out), expect);
    return out;
}

std::string Notes(const TContainerScan& scan) {
    std::string all;
    for (const std::string& n : scan.Notes)
        all += n + "; ";
    return all;
}

// --- real samples ------------------------------------------------------------------------------

struct TTiffFact {
    std::string First4;
    uint64_t FileOffset;
    TTagGroup Group;
    size_t Size;
};
struct TPreviewFact {
    std::string Kind, Codec;
    uint64_t Offset, Length;
    uint32_t Width, Height;
};
struct TSampleFact {
    const char* File;
    bool (*Scanner)(TByteSource&, uint64_t, TContainerScan&);
    std::string Format;
    std::vector<TTiffFact> Exif;
    std::vector<std::string> XmpStarts;
    size_t IccSize;
    uint32_t Width, Height;
    int Orientation;
    std::vector<TPreviewFact> Previews;
};

TEST(IsoBmffTest, RealSamplesAsExiftoolSeesThem) {
    const std::string MM("MM\0*", 4), II("II*\0", 4);
    constexpr uint64_t kNone = TTiffStructure::kNotInFile;
    const TSampleFact facts[] = {
        // Exif item 50 at 0xcf7: offset 6 ("Exif\0\0"), TIFF at 0xd01; XMP item 51; colr prof of 548
        // bytes; the primary item is the grid 49 with ispe 3024x4032 and irot 0.
        {"iPhone_11_Pro.heic",
         ScanIsoBmff,
         "HEIC",
         {{MM, 0xd01, tgIFD0, 0x800 - 10}},
         {"<?xpacket"},
         548,
         3024,
         4032,
         1,
         {}},
        // Exif item 2 at 0x3e7e5 (18040 bytes), XMP item 3, colr nclx (no profile), ispe 5472x3648.
        {"Canon_EOS_70D.avif",
         ScanIsoBmff,
         "AVIF",
         {{II, 0x3e7ef, tgIFD0, 18040 - 10}},
         {"<?xpacket"},
         0,
         5472,
         3648,
         0,
         {}},
        // mif1 with an hvc1 primary item; item 0x4e23 is its thumbnail (ispe 320x240).
        {"QuickTime.heic",
         ScanIsoBmff,
         "HEIC",
         {},
         {},
         0,
         1596,
         1064,
         0,
         {{"Thumbnail", "HEVC", 0x25d, 0x12, 320, 240}}},
        // CMT1-CMT4 payloads at 0x128 (384), 0x2b0 (1056), 0x6d8 (5168), 0x1b10 (1808); the dummy THMB
        // data (28 bytes) at 0x2238 and PRVW data (26 bytes) at 0x2c83.
        {"CanonRaw.cr3",
         ScanIsoBmff,
         "CR3",
         {{II, 0x128, tgIFD0, 384},
          {II, 0x2b0, tgExifIFD, 1056},
          {II, 0x6d8, tgMakerNotes, 5168},
          {II, 0x1b10, tgGPS, 1808}},
         {"<?xpacket"},
         0,
         0,
         0,
         0,
         {{"THMB", "JPEG", 0x2238, 28, 160, 120}, {"PRVW", "JPEG", 0x2c83, 26, 1620, 1080}}},
        // Both blocks Brotli-compressed: Exif (94 bytes, offset 0) and XMP (424 bytes).
        {"JXL2.jxl", ScanJpegXl, "JXL", {{MM, kNone, tgIFD0, 90}}, {"<?xpacket"}, 0, 200, 130, 0, {}},
    };
    for (const TSampleFact& f : facts) {
        SCOPED_TRACE(f.File);
        const std::string bytes = ReadAll(SamplePath(f.File));
        const TContainerScan scan = Scan(f.Scanner, bytes);
        SCOPED_TRACE(Notes(scan));
        EXPECT_EQ(scan.Format, f.Format);
        ASSERT_EQ(scan.Exif.size(), f.Exif.size());
        for (size_t i = 0; i < f.Exif.size(); ++i) {
            EXPECT_EQ(scan.Exif[i].Bytes.substr(0, 4), f.Exif[i].First4);
            EXPECT_EQ(scan.Exif[i].FileOffset, f.Exif[i].FileOffset);
            EXPECT_EQ(scan.Exif[i].Group, f.Exif[i].Group);
            EXPECT_EQ(scan.Exif[i].Bytes.size(), f.Exif[i].Size);
            if (f.Exif[i].FileOffset != kNone) {
                EXPECT_EQ(bytes.substr(f.Exif[i].FileOffset, f.Exif[i].Size), scan.Exif[i].Bytes);
            }
        }
        ASSERT_EQ(scan.Xmp.size(), f.XmpStarts.size());
        for (size_t i = 0; i < f.XmpStarts.size(); ++i) {
            EXPECT_EQ(scan.Xmp[i].rfind(f.XmpStarts[i], 0), 0u);
            EXPECT_NE(scan.Xmp[i].find("</x:xmpmeta>"), std::string::npos);
        }
        EXPECT_EQ(scan.Icc.size(), f.IccSize);
        if (f.IccSize) {
            EXPECT_EQ(scan.Icc.substr(36, 4), "acsp");
        }
        EXPECT_EQ(scan.Width, f.Width);
        EXPECT_EQ(scan.Height, f.Height);
        EXPECT_EQ(scan.Orientation, f.Orientation);
        ASSERT_EQ(scan.Previews.size(), f.Previews.size());
        for (size_t i = 0; i < f.Previews.size(); ++i) {
            const TPreview& p = scan.Previews[i];
            EXPECT_EQ(p.Kind, f.Previews[i].Kind);
            EXPECT_EQ(p.Codec, f.Previews[i].Codec);
            EXPECT_EQ(p.Region.Offset, f.Previews[i].Offset);
            EXPECT_EQ(p.Region.Length, f.Previews[i].Length);
            EXPECT_EQ(p.Width, f.Previews[i].Width);
            EXPECT_EQ(p.Height, f.Previews[i].Height);
        }
    }
    // The CR3 sample's PRVW box claims 372221 bytes inside a uuid box of 82: cut, and said.
    const TContainerScan cr3 = Scan(ScanIsoBmff, ReadAll(SamplePath("CanonRaw.cr3")));
    EXPECT_NE(Notes(cr3).find("PRVW box past the end of its parent box"), std::string::npos) << Notes(cr3);
}

// Bytes in memory as a source that counts the reads asked of it and the bytes they ask for.
class TCountingSource : public TByteSource {
public:
    explicit TCountingSource(std::string_view bytes) : Bytes(bytes) {}
    size_t ReadAt(uint64_t offset, char* into, size_t n) override {
        ++Reads;
        BytesRead += n;
        return TMemorySource(Bytes).ReadAt(offset, into, n);
    }
    std::string_view Bytes;
    int Reads = 0;
    uint64_t BytesRead = 0;
};

TEST(IsoBmffTest, ReadsHeadersAndMetadataOnly) {
    // Each sample costs its metadata blocks and box headers: the AVIF's Exif item alone is 18040 bytes.
    for (const char* name : {"iPhone_11_Pro.heic", "Canon_EOS_70D.avif", "CanonRaw.cr3"}) {
        const std::string bytes = ReadAll(SamplePath(name));
        TCountingSource source(bytes);
        TContainerScan out;
        EXPECT_TRUE(ScanIsoBmff(source, bytes.size(), out));
        EXPECT_LT(source.BytesRead, 32u << 10) << name;
        EXPECT_LT(source.Reads, 40) << name;
    }
    // A 50 MB mdat before meta is passed over by its header.
    const std::string head = Ftyp("heic", "") + Be(50000000 + 8, 4) + "mdat";
    std::string file = head + std::string(50000000, '\0') +
                       FullBox("meta", 0, FullBox("iinf", 0, Be(1, 2) + Infe(2, "Exif")));
    TCountingSource source(file);
    TContainerScan out;
    EXPECT_TRUE(ScanIsoBmff(source, file.size(), out));
    EXPECT_LT(source.BytesRead, 4096u);
}

// Every cut of the samples (a file copied in part) and every byte of their first kilobyte turned to
// 0xFF keeps the promises the fuzz target checks. A cut through QuickTime.heic's mdat once left its
// thumbnail's region past the end of the file.
TEST(IsoBmffTest, CutAndDamagedSamplesKeepThePromises) {
    for (const char* name :
         {"QuickTime.heic", "JXL2.jxl", "CanonRaw.cr3", "Canon_EOS_70D.avif", "iPhone_11_Pro.heic"}) {
        SCOPED_TRACE(name);
        const std::string whole = ReadAll(SamplePath(name)).substr(0, 60000);
        const size_t step = whole.size() / 500 + 1;
        for (size_t cut = 0; cut < whole.size(); cut += step)
            ASSERT_TRUE(fuzzing::ScanBoxFormats(std::string_view(whole).substr(0, cut))) << cut;
        for (size_t at = 0; at < std::min<size_t>(whole.size(), 1024); ++at) {
            std::string damaged = whole;
            damaged[at] = '\xff';
            ASSERT_TRUE(fuzzing::ScanBoxFormats(damaged)) << at;
        }
    }
    const std::string cut = ReadAll(SamplePath("QuickTime.heic")).substr(0, 0x260);
    const TContainerScan scan = Scan(ScanIsoBmff, cut);
    ASSERT_EQ(scan.Previews.size(), 1u);
    EXPECT_EQ(scan.Previews[0].Region.Length, 3u); // 0x25d..0x260 of 0x12
    EXPECT_NE(Notes(scan).find("thumbnail item past the end of the file"), std::string::npos) << Notes(scan);
}

// --- crafted HEIF ------------------------------------------------------------------------------

TEST(IsoBmffTest, ExifItemInIdatAndAcrossExtents) {
    const std::string iinf = FullBox("iinf", 0, Be(2, 2) + Infe(1, "hvc1") + Infe(2, "Exif"));
    // iloc version 1, construction method 1: the Exif item lies in idat, 3 bytes in.
    const std::string idat = Box("idat", "xyz" + kExifPayload);
    const TContainerScan inIdat = Scan(
        ScanIsoBmff, Heif("", FullBox("pitm", 0, Be(1, 2)) + iinf +
                                  Iloc1({{2, 1, {{3, static_cast<uint32_t>(kExifPayload.size())}}}}) + idat));
    ASSERT_EQ(inIdat.Exif.size(), 1u) << Notes(inIdat);
    EXPECT_EQ(inIdat.Exif[0].Bytes, kExifPayload.substr(4));
    EXPECT_EQ(inIdat.Exif[0].FileOffset, TTiffStructure::kNotInFile);

    // The same payload in two extents of the file, the second first in mdat: joined in extent order.
    const std::string a = kExifPayload.substr(0, 11), b = kExifPayload.substr(11);
    const auto at = static_cast<uint32_t>(kDataAt);
    const std::string file =
        Heif(b + a, FullBox("pitm", 0, Be(1, 2)) + iinf +
                        Iloc1({{2,
                                0,
                                {{at + static_cast<uint32_t>(b.size()), static_cast<uint32_t>(a.size())},
                                 {at, static_cast<uint32_t>(b.size())}}}}));
    const TContainerScan joined = Scan(ScanIsoBmff, file);
    ASSERT_EQ(joined.Exif.size(), 1u) << Notes(joined);
    EXPECT_EQ(joined.Exif[0].Bytes, kExifPayload.substr(4));
    EXPECT_EQ(joined.Exif[0].FileOffset, TTiffStructure::kNotInFile);

    // iloc version 2 (32-bit item ids, 8-byte offsets, 4-byte extent indices) and an infe of version 3.
    const std::string iloc2 = FullBox("iloc", 2,
                                      Be(0x8404, 2) + Be(1, 4) + Be(0x10002, 4) + Be(0, 2) + Be(0, 2) +
                                          Be(1, 2) + Be(0, 4) + Be(kDataAt, 8) + Be(kExifPayload.size(), 4));
    const std::string infe3 = FullBox("infe", 3, Be(0x10002, 4) + Be(0, 2) + "Exif" + std::string(1, '\0'));
    const TContainerScan wide =
        Scan(ScanIsoBmff, Heif(kExifPayload, FullBox("iinf", 1, Be(1, 4) + infe3) + iloc2));
    ASSERT_EQ(wide.Exif.size(), 1u) << Notes(wide);
    EXPECT_EQ(wide.Exif[0].FileOffset, kDataAt + 4);

    // Data reference 1 names a self-contained 'url ' entry of dref: this file. Reference 2 names
    // another file, and is not read.
    const std::string dinf =
        Box("dinf", FullBox("dref", 0, Be(2, 4) + FullBox("url ", 0, "", 1) + FullBox("url ", 0, "x.heic")));
    for (const uint16_t reference : {1, 2}) {
        std::string iloc = Iloc1({{2, 0, {{at, static_cast<uint32_t>(kExifPayload.size())}}}});
        iloc.replace(8 + 4 + 4 + 2 + 2, 2, Be(reference, 2)); // header, version, sizes, count, id, method
        const TContainerScan scan = Scan(ScanIsoBmff, Heif(kExifPayload, dinf + iinf + iloc));
        EXPECT_EQ(scan.Exif.size(), reference == 1 ? 1u : 0u) << Notes(scan);
    }

    // One extent in the file: the TIFF header's own offset.
    const TContainerScan single =
        Scan(ScanIsoBmff,
             Heif(kExifPayload, FullBox("pitm", 0, Be(1, 2)) + iinf +
                                    Iloc1({{2, 0, {{at, static_cast<uint32_t>(kExifPayload.size())}}}})));
    ASSERT_EQ(single.Exif.size(), 1u);
    EXPECT_EQ(single.Exif[0].FileOffset, kDataAt + 4);
}

TEST(IsoBmffTest, PrimaryItemPropertiesAndBrands) {
    // irot (anticlockwise quarter turns) and imir (0: about the vertical axis) in association order.
    struct TCase {
        std::vector<std::string> Transforms;
        int Orientation;
    };
    const auto irot = [](int a) { return Box("irot", std::string(1, static_cast<char>(a))); };
    const auto imir = [](int axis) { return Box("imir", std::string(1, static_cast<char>(axis))); };
    const TCase cases[] = {
        {{}, 0},
        {{irot(0)}, 1},
        {{irot(1)}, 8},
        {{irot(2)}, 3},
        {{irot(3)}, 6},
        {{imir(0)}, 2},
        {{imir(1)}, 4},
        {{irot(1), imir(0)}, 7},
        {{irot(3), imir(0)}, 5},
        {{imir(0), irot(1)}, 5},
        {{irot(2), imir(1)}, 2},
    };
    const std::string icc = std::string(36, 'p') + "acsp" + std::string(88, 'q');
    for (const TCase& c : cases) {
        std::string properties = Ispe(640, 480) + Box("colr", "prof" + icc);
        std::vector<uint8_t> indices = {0x81, 2};
        for (const std::string& t : c.Transforms) {
            properties += t;
            indices.push_back(static_cast<uint8_t>(indices.size() + 1));
        }
        const std::string file = Heif("",
                                      // iprp first: its associations wait for the items named after it
                                      Iprp(properties, 7, indices) + FullBox("pitm", 0, Be(7, 2)) +
                                          FullBox("iinf", 0, Be(1, 2) + Infe(7, "hvc1")),
                                      "mif1");
        const TContainerScan scan = Scan(ScanIsoBmff, file);
        EXPECT_EQ(scan.Orientation, c.Orientation) << c.Transforms.size();
        // The reader keeps the container's turn for the report, beside the size.
        TimgData d;
        d.ProcessBytes("turned.heic", file);
        EXPECT_EQ(d.ContainerOrientation, c.Orientation);
        EXPECT_EQ(d.FrameWidth, 640);
        EXPECT_EQ(scan.Width, 640u);
        EXPECT_EQ(scan.Height, 480u);
        EXPECT_EQ(scan.Icc, icc);
        EXPECT_EQ(scan.Format, "HEIC"); // mif1 with an hvc1 primary item
    }

    struct TBrand {
        std::string Major, Compatible, PrimaryType, Format;
    };
    const TBrand brands[] = {
        {"mif1", "mif1", "av01", "HEIF"},
        {"mif1", "miafavif", "av01", "AVIF"},
        {"avis", "", "av01", "AVIF"},
        {"heix", "", "hvc1", "HEIC"},
        {"crx ", "isom", "", "CR3"},
        {"isom", "mp41", "", ""},
        {"qt  ", "", "", ""},
    };
    for (const TBrand& b : brands) {
        const std::string file =
            Ftyp(b.Major, b.Compatible) +
            FullBox("meta", 0,
                    FullBox("pitm", 0, Be(1, 2)) + FullBox("iinf", 0, Be(1, 2) + Infe(1, b.PrimaryType)));
        const TContainerScan scan = Scan(ScanIsoBmff, file, !b.Format.empty());
        EXPECT_EQ(scan.Format, b.Format) << b.Major;
    }
}

// --- hostile boxes -----------------------------------------------------------------------------

TEST(IsoBmffTest, HostileBoxesEndTheirBoxNeverTheFile) {
    const std::string iinf = FullBox("iinf", 0, Be(1, 2) + Infe(2, "Exif"));
    const auto at = static_cast<uint32_t>(kDataAt);
    const std::string iloc = Iloc1({{2, 0, {{at, static_cast<uint32_t>(kExifPayload.size())}}}});

    // A 64-bit size on mdat: the box after it is still found.
    {
        const std::string ftyp = Ftyp("heic", "mif1heic");
        const std::string mdat = Be(1, 4) + "mdat" + Be(16 + kExifPayload.size(), 8) + kExifPayload;
        const std::string file =
            ftyp + mdat +
            FullBox("meta", 0,
                    iinf + Iloc1({{2, 0, {{at + 8, static_cast<uint32_t>(kExifPayload.size())}}}}));
        const TContainerScan scan = Scan(ScanIsoBmff, file);
        ASSERT_EQ(scan.Exif.size(), 1u) << Notes(scan);
        EXPECT_EQ(scan.Exif[0].FileOffset, kDataAt + 8 + 4);
    }
    // A meta box claiming far more than the file: read as far as it goes, with a note.
    {
        std::string file = Heif(kExifPayload, iinf + iloc);
        file.replace(24 + 8 + kExifPayload.size(), 4, Be(0xfffffff0u, 4));
        const TContainerScan scan = Scan(ScanIsoBmff, file);
        EXPECT_EQ(scan.Exif.size(), 1u);
        EXPECT_NE(Notes(scan).find("meta box past the end of the file"), std::string::npos) << Notes(scan);
    }
    // An Exif item past the end of the file, and one whose offset points nowhere near a TIFF header.
    {
        const TContainerScan past =
            Scan(ScanIsoBmff, Heif(kExifPayload, iinf + Iloc1({{2, 0, {{at, 0xffffff00u}}}})));
        EXPECT_EQ(past.Exif.size(), 1u); // what there is
        EXPECT_NE(Notes(past).find("item past the end of the file"), std::string::npos) << Notes(past);
        std::string bad = kExifPayload;
        bad.replace(0, 4, Be(0xfffffff0u, 4));
        const TContainerScan nowhere = Scan(ScanIsoBmff, Heif(bad, iinf + iloc));
        EXPECT_TRUE(nowhere.Exif.empty());
    }
    // Nesting: boxes inside boxes a million deep, and a hundred thousand boxes in a row.
    {
        std::string deep = Box("iprp", "");
        for (int i = 0; i < 2000; ++i)
            deep = Box(i % 2 ? "iprp" : "ipco", deep);
        const TContainerScan scan = Scan(ScanIsoBmff, Heif("", deep));
        EXPECT_EQ(scan.Format, "HEIC");
        std::string many = Ftyp("heic", "");
        for (int i = 0; i < 100000; ++i)
            many += Box("free", "");
        const TContainerScan crowd = Scan(ScanIsoBmff, many + FullBox("meta", 0, iinf));
        EXPECT_NE(Notes(crowd).find("too many boxes"), std::string::npos) << Notes(crowd);
    }
    // Sizes that cannot be: smaller than a header, a 64-bit size near the top of the range, a
    // header cut by the end of the file, iloc field sizes of 3 bytes.
    for (const std::string& tail :
         {Be(3, 4) + "meta", Be(1, 4) + "meta" + Be(UINT64_MAX, 8) + "xx", std::string("\0\0\0\x20me", 6),
          FullBox("meta", 0,
                  FullBox("iloc", 0, Be(0x3300, 2) + Be(1, 2) + Be(2, 2) + Be(0, 2) + Be(1, 2)))}) {
        const TContainerScan scan = Scan(ScanIsoBmff, Ftyp("avif", "") + tail);
        EXPECT_EQ(scan.Format, "AVIF");
        EXPECT_FALSE(scan.Notes.empty());
    }
}

// --- JPEG XL -----------------------------------------------------------------------------------

const std::string kJxlSignature("\0\0\0\x0cJXL \x0d\x0a\x87\x0a", 12);

TEST(IsoBmffTest, JpegXlBoxesAndBrotli) {
    // kExifPayload compressed with the Brotli encoder (quality 11).
    const std::string exifBrotli(
        "\x1b\x1d\x00\xf8\x8f\xd4\x51\x8d\xcb\xdd\x10\x37\xb6\x23\x88\xd9\xda\x1f\x2a"
        "\x31\x51\x20\x70\x68\xe1\x24\x6f\x10\x0b",
        29);
    // 20000000 zero bytes compressed: far past the block bound from 40 bytes.
    const std::string bomb("\xcb\xff\xff\x3f\xf8\x27\x00\xe2\xb1\x40\x20\xf7\xfe\x8f\xff\xff\x7f\xf0\x4f\x00"
                           "\xc4\x61\x11\x80\xee\xfd\x5f\xfe\xb3\xc4\xe0\x9f\x00\x88\xc3\x02\x00\x5d\x92\x18",
                           40);
    const std::string head = kJxlSignature + Box("ftyp", "jxl " + Be(0, 4) + "jxl ");
    // A codestream whose SizeHeader is not small: height 130, ratio 0, width 200.
    const std::string codestream("\xff\x0a\x08\x04\x8e\x81", 6);

    const std::string file = head + Box("brob", "Exif" + exifBrotli) + Box("xml ", "<x:xmpmeta/>") +
                             Box("Exif", kExifPayload) + Box("brob", "Exif" + bomb) +
                             Box("brob", "xml " + exifBrotli.substr(0, 20)) + Box("jxlc", codestream);
    const TContainerScan scan = Scan(ScanJpegXl, file);
    EXPECT_EQ(scan.Format, "JXL");
    ASSERT_EQ(scan.Exif.size(), 2u) << Notes(scan);
    EXPECT_EQ(scan.Exif[0].Bytes, kExifPayload.substr(4));
    EXPECT_EQ(scan.Exif[0].FileOffset, TTiffStructure::kNotInFile);
    EXPECT_EQ(scan.Exif[1].Bytes, kExifPayload.substr(4));
    EXPECT_EQ(scan.Exif[1].FileOffset, file.find(kExifPayload) + 4);
    ASSERT_EQ(scan.Xmp.size(), 1u);
    EXPECT_EQ(scan.Xmp[0], "<x:xmpmeta/>");
    EXPECT_NE(Notes(scan).find("decompresses past 16 MiB"), std::string::npos) << Notes(scan);
    EXPECT_NE(Notes(scan).find("broken Brotli stream"), std::string::npos) << Notes(scan);
    EXPECT_EQ(scan.Width, 200u);
    EXPECT_EQ(scan.Height, 130u);

    // Twenty Exif boxes: sixteen are kept, and the rest said.
    std::string many = head;
    for (int i = 0; i < 20; ++i)
        many += Box("Exif", kExifPayload);
    const TContainerScan crowded = Scan(ScanJpegXl, many);
    EXPECT_EQ(crowded.Exif.size(), 16u);
    EXPECT_NE(Notes(crowded).find("more than 16 EXIF blocks"), std::string::npos) << Notes(crowded);

    // A bare codestream: small SizeHeader, height (1+1)*8, ratio 7 (2:1).
    const TContainerScan bare = Scan(ScanJpegXl, std::string("\xff\x0a\xc3\x01", 4));
    EXPECT_EQ(bare.Format, "JXL");
    EXPECT_EQ(bare.Height, 16u);
    EXPECT_EQ(bare.Width, 32u);
    Scan(ScanJpegXl, "\x89PNG\r\n\x1a\n", false);
}

// --- JPEG 2000 ---------------------------------------------------------------------------------

TEST(IsoBmffTest, Jpeg2000HeaderAndUuidBoxes) {
    const std::string icc = std::string(36, 'p') + "acsp" + std::string(40, 'q');
    const std::string tiff = kExifPayload.substr(4);
    const std::string xmpUuid("\xbe\x7a\xcf\xcb\x97\xa9\x42\xe8\x9c\x71\x99\x94\x91\xe3\xaf\xac", 16);
    const std::string file =
        std::string("\0\0\0\x0cjP  \x0d\x0a\x87\x0a", 12) + Box("ftyp", "jp2 " + Be(0, 4) + "jp2 ") +
        Box("jp2h", Box("ihdr", Be(300, 4) + Be(400, 4) + Be(3, 2) + std::string("\x07\x07\x00", 3)) +
                        Box("colr", std::string("\x02\x00\x00", 3) + icc)) +
        Box("uuid", "JpgTiffExif->JP2" + tiff) +
        Box("uuid", "JpgTiffExif->JP2Exif" + std::string(2, '\0') + tiff) +
        Box("uuid", xmpUuid + "<?xpacket begin?>") + Box("xml ", "<gml:FeatureCollection/>") +
        Box("xml ", "<x:xmpmeta/>") + Box("jp2c", std::string("\xff\x4f\xff\x51", 4));
    const TContainerScan scan = Scan(ScanJpeg2000, file);
    EXPECT_EQ(scan.Format, "JP2");
    EXPECT_EQ(scan.Width, 400u);
    EXPECT_EQ(scan.Height, 300u);
    EXPECT_EQ(scan.Icc, icc);
    ASSERT_EQ(scan.Exif.size(), 2u);
    EXPECT_EQ(scan.Exif[0].Bytes, tiff);
    EXPECT_EQ(scan.Exif[0].FileOffset, file.find(tiff));
    EXPECT_EQ(scan.Exif[1].Bytes, tiff);
    ASSERT_EQ(scan.Xmp.size(), 2u);
    EXPECT_EQ(scan.Xmp[0], "<?xpacket begin?>");
    EXPECT_EQ(scan.Xmp[1], "<x:xmpmeta/>");
    EXPECT_TRUE(scan.Notes.empty()) << Notes(scan);

    // Another brand (Motion JPEG 2000), and no ftyp at all, are not this scan's.
    Scan(ScanJpeg2000, std::string("\0\0\0\x0cjP  \x0d\x0a\x87\x0a", 12) + Box("ftyp", "mjp2" + Be(0, 4)),
         false);
    Scan(ScanJpeg2000, std::string("\0\0\0\x0cjP  \x0d\x0a\x87\x0a", 12), false);
}

} // namespace
} // namespace quillmark
