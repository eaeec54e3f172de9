// The container scans of PNG, WebP, PSD, RAF, MRW and CRW: what they find in real camera and editor
// files (places and first bytes as exiftool -v3 shows them), what little they read, and how they end
// on damaged and hostile files.
#include "TestFiles.h"
#include "formats/Scans.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

using namespace quillmark;
using namespace quillmark::testing;

namespace {

// A source that counts what is read, so a test can say that pixel data was left alone.
class TCountingSource : public TMemorySource {
public:
    using TMemorySource::TMemorySource;
    size_t ReadAt(uint64_t offset, char* into, size_t n) override {
        const size_t got = TMemorySource::ReadAt(offset, into, n);
        BytesRead += got;
        return got;
    }
    uint64_t BytesRead = 0;
};

struct TScanResult {
    bool Recognised = false;
    TContainerScan Scan;
    uint64_t BytesRead = 0;
};

TScanResult Scan(TScanFunction scan, std::string_view bytes) {
    TScanResult r;
    TCountingSource source(bytes);
    r.Recognised = scan(source, bytes.size(), r.Scan);
    r.BytesRead = source.BytesRead;
    return r;
}

bool HasNote(const TContainerScan& s, std::string_view part) {
    return std::any_of(s.Notes.begin(), s.Notes.end(),
                       [&](const std::string& n) { return n.find(part) != std::string::npos; });
}

std::string Be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}
std::string Le32(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}
std::string Le16(uint16_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8)};
}
std::string Be16(uint16_t v) {
    return {static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string Deflate(std::string_view data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

std::string Field(const TContainerScan& s, uint16_t tag) {
    for (const auto& f : s.Fields)
        if (f.Tag == tag) return f.Bytes;
    return "(none)";
}

const std::string kTiff = std::string("MM\0*\0\0\0\x08\0\0\0\0\0\0", 14);

// PNG ----------------------------------------------------------------------------------------------

const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);

std::string Chunk(std::string_view type, std::string_view data) {
    return Be32(static_cast<uint32_t>(data.size())) + std::string(type) + std::string(data) + "CRC!";
}

std::string Ihdr(uint32_t w, uint32_t h) {
    return Chunk("IHDR", Be32(w) + Be32(h) + std::string("\x08\x02\0\0\0", 5));
}

std::string RawProfile(std::string_view name, std::string_view bytes) {
    static const char* hex = "0123456789abcdef";
    std::string t(1, '\n');
    t.append(name).append("\n     ").append(std::to_string(bytes.size())).append(1, '\n');
    for (size_t i = 0; i < bytes.size(); ++i) {
        t += hex[static_cast<uint8_t>(bytes[i]) >> 4];
        t += hex[static_cast<uint8_t>(bytes[i]) & 15];
        if (i % 36 == 35) t += '\n';
    }
    return t + "\n";
}

} // namespace

// The real samples: what each holds and where, as exiftool -v3 places it.
TEST(ContainerScan, RealSamples) {
    struct Sample {
        const char* File;
        TScanFunction Function;
        const char* Format;
        uint32_t Width, Height;
        std::vector<std::pair<uint64_t, std::string>> Exif; // file offset and first bytes
        std::vector<size_t> XmpSizes;
        size_t IptcSize, IccSize;
        std::string Comment;
        std::vector<std::pair<std::string, TFileRegion>> Previews;
        std::optional<TFileRegion> Region; // TiffInFile or EmbeddedJpeg
    };
    const Sample samples[] = {
        {"PNG.png", ScanPng, "PNG", 16, 16, {}, {421}, 0, 0, "test comment", {}, {}},
        {"RIFF.webp",
         ScanWebP,
         "WEBP",
         1,
         1,
         {{90, std::string("MM\0*\0\0\0\x10", 8)}},
         {389},
         0,
         0,
         "",
         {},
         {}},
        {"Nikon_COOLPIX_P7000.webp",
         ScanWebP,
         "WEBP",
         3648,
         2736,
         {{410642, std::string("II*\0\x08\0\0\0", 8)}},
         {4155},
         0,
         0,
         "",
         {},
         {}},
        {"Photoshop.psd",
         ScanPsd,
         "PSD",
         8,
         8,
         {{16794, std::string("MM\0*\0\0\0\x08", 8)}},
         {6862},
         126,
         552,
         "",
         {},
         {}},
        {"FujiFilm.raf",
         ScanRaf,
         "RAF",
         4256,
         1424,
         {},
         {},
         0,
         0,
         "",
         {{"Preview", {148, 12167}}},
         TFileRegion{148, 12167}},
        {"Minolta.mrw", ScanMrw, "MRW", 3264, 2448, {}, {}, 0, 0, "", {}, TFileRegion{48, 2180}},
        {"CanonRaw.crw", ScanCrw, "CRW", 3072, 2048, {}, {460}, 0, 0, "", {{"JpgFromRaw", {48, 29}}}, {}},
    };
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.File);
        const std::string bytes = ReadAll(SamplePath(s.File));
        const TScanResult r = Scan(s.Function, bytes);
        ASSERT_TRUE(r.Recognised);
        const TContainerScan& c = r.Scan;
        EXPECT_EQ(c.Format, s.Format);
        EXPECT_EQ(c.Width, s.Width);
        EXPECT_EQ(c.Height, s.Height);
        EXPECT_TRUE(c.Notes.empty()) << c.Notes.front();
        ASSERT_EQ(c.Exif.size(), s.Exif.size());
        for (size_t i = 0; i < s.Exif.size(); ++i) {
            EXPECT_EQ(c.Exif[i].FileOffset, s.Exif[i].first);
            EXPECT_EQ(c.Exif[i].Bytes.substr(0, 8), s.Exif[i].second);
            // The copy is the file's bytes from that place.
            EXPECT_EQ(bytes.substr(c.Exif[i].FileOffset, c.Exif[i].Bytes.size()), c.Exif[i].Bytes);
        }
        ASSERT_EQ(c.Xmp.size(), s.XmpSizes.size());
        for (size_t i = 0; i < c.Xmp.size(); ++i) {
            EXPECT_EQ(c.Xmp[i].size(), s.XmpSizes[i]);
            EXPECT_EQ(c.Xmp[i].substr(0, 9), "<?xpacket");
        }
        EXPECT_EQ(c.Iptc.size(), s.IptcSize);
        if (s.IptcSize) {
            EXPECT_EQ(c.Iptc.substr(0, 2), "\x1c\x02");
        }
        EXPECT_EQ(c.Icc.size(), s.IccSize);
        if (s.IccSize) {
            EXPECT_EQ(c.Icc.substr(4, 4), "ADBE");
        }
        EXPECT_EQ(c.Comment, s.Comment);
        ASSERT_EQ(c.Previews.size(), s.Previews.size());
        for (size_t i = 0; i < c.Previews.size(); ++i) {
            EXPECT_EQ(c.Previews[i].Kind, s.Previews[i].first);
            EXPECT_EQ(c.Previews[i].Region.Offset, s.Previews[i].second.Offset);
            EXPECT_EQ(c.Previews[i].Region.Length, s.Previews[i].second.Length);
        }
        const std::optional<TFileRegion> region = c.TiffInFile ? c.TiffInFile : c.EmbeddedJpeg;
        ASSERT_EQ(region.has_value(), s.Region.has_value());
        if (region) {
            EXPECT_EQ(region->Offset, s.Region->Offset);
            EXPECT_EQ(region->Length, s.Region->Length);
        }
        // Only headers and metadata are read: never the picture data of the large WebP.
        uint64_t kept = 0;
        for (const auto& e : c.Exif)
            kept += e.Bytes.size();
        for (const auto& x : c.Xmp)
            kept += x.size();
        EXPECT_LE(r.BytesRead, kept + c.Iptc.size() + c.Icc.size() + 4096) << r.BytesRead;
        // No other scan takes the file for its own.
        for (TScanFunction other : {ScanPng, ScanWebP, ScanPsd, ScanRaf, ScanMrw, ScanCrw})
            if (other != s.Function) {
                EXPECT_FALSE(Scan(other, bytes).Recognised);
            }
    }
}

// CRW keeps its facts in CIFF records; they come out as the EXIF fields that mean the same, with the
// values exiftool shows for the sample.
TEST(ContainerScan, CrwFieldsMatchExiftool) {
    const TScanResult r = Scan(ScanCrw, ReadAll(SamplePath("CanonRaw.crw")));
    const TContainerScan& c = r.Scan;
    EXPECT_EQ(Field(c, 0x010F), std::string("Canon\0", 6));
    EXPECT_EQ(Field(c, 0x0110), std::string("Canon EOS DIGITAL REBEL\0", 24));
    EXPECT_EQ(Field(c, 0x9003), std::string("2003:11:10 17:39:26\0", 20));
    EXPECT_EQ(Field(c, 0xA002), Be32(3072));
    EXPECT_EQ(Field(c, 0xA003), Be32(2048));
    EXPECT_EQ(Field(c, 0x829D), Be32(36) + Be32(10)); // f/3.6
    EXPECT_EQ(Field(c, 0x829A), Be32(1) + Be32(64));  // 1/64 s
    EXPECT_EQ(Field(c, 0x8827), Be16(100));
    EXPECT_EQ(c.Previews.at(0).Codec, ""); // the sample's preview is a placeholder text, not a JPEG
    EXPECT_EQ(c.Previews.at(0).Width, 2048u);
    EXPECT_EQ(c.Previews.at(0).Height, 1360u);
}

// Every prefix of every sample scans without fault; recognition needs only the first bytes.
TEST(ContainerScan, EveryCutOfTheSamplesEndsCleanly) {
    const std::pair<const char*, TScanFunction> samples[] = {
        {"PNG.png", ScanPng},       {"RIFF.webp", ScanWebP},   {"Nikon_COOLPIX_P7000.webp", ScanWebP},
        {"Photoshop.psd", ScanPsd}, {"FujiFilm.raf", ScanRaf}, {"Minolta.mrw", ScanMrw},
        {"CanonRaw.crw", ScanCrw},
    };
    for (const auto& [file, function] : samples) {
        const std::string bytes = ReadAll(SamplePath(file));
        const size_t step = std::max<size_t>(1, bytes.size() / 2000);
        for (size_t n = 0; n < bytes.size(); n += step) {
            const TScanResult r = Scan(function, std::string_view(bytes).substr(0, n));
            if (n >= 16) {
                EXPECT_TRUE(r.Recognised) << file << " cut at " << n;
            }
        }
    }
}

// PNG: chunks after IDAT, the ImageMagick raw profiles, compressed XMP and profiles, damage.
TEST(ContainerScan, PngChunks) {
    const std::string xmp = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta/>";
    const std::string bigIdat(200000, 'p');
    const std::string iptcResource =
        std::string("8BIM\x04\x04\0\0", 8) + Be32(5) + std::string("\x1c\x02\x00\x00\x02", 5);
    const std::string png =
        kPngSignature + Ihdr(640, 480) + Chunk("IDAT", bigIdat) +
        Chunk("eXIf", std::string("Exif\0\0", 6) + kTiff) +
        Chunk("zTXt", std::string("Raw profile type exif\0\0", 23) +
                          Deflate(RawProfile("exif", std::string("Exif\0\0", 6) + kTiff))) +
        Chunk("tEXt",
              std::string("Raw profile type iptc\0", 22) +
                  RawProfile("iptc", std::string("8BIM\x04\x25\0\0", 8) + Be32(2) + "ab" + iptcResource)) +
        Chunk("iTXt", std::string("XML:com.adobe.xmp\0\x01\0en\0\0", 24) + Deflate(xmp)) +
        Chunk("iCCP", std::string("sRGB\0\0", 6) + Deflate("icc profile bytes")) + Chunk("IEND", "");
    const TScanResult r = Scan(ScanPng, png);
    ASSERT_TRUE(r.Recognised);
    const TContainerScan& c = r.Scan;
    EXPECT_TRUE(c.Notes.empty()) << c.Notes.front();
    EXPECT_EQ(c.Width, 640u);
    EXPECT_EQ(c.Height, 480u);
    ASSERT_EQ(c.Exif.size(), 2u);
    EXPECT_EQ(c.Exif[0].Bytes, kTiff);
    EXPECT_EQ(c.Exif[0].FileOffset, 8 + 25 + 12 + bigIdat.size() + 8 + 6);
    EXPECT_EQ(c.Exif[1].Bytes, kTiff);
    EXPECT_EQ(c.Exif[1].FileOffset, TTiffStructure::kNotInFile);
    EXPECT_EQ(c.Iptc, std::string("\x1c\x02\x00\x00\x02", 5));
    ASSERT_EQ(c.Xmp.size(), 1u);
    EXPECT_EQ(c.Xmp[0], xmp);
    EXPECT_EQ(c.Icc, "icc profile bytes");
    EXPECT_LT(r.BytesRead, 2000u); // the IDAT was stepped over

    // Picture data cut into more chunks than the bound on other chunks still lets a late eXIf be found.
    std::string many = kPngSignature + Ihdr(1, 1);
    for (int i = 0; i < kMaxBoxes + 10; ++i)
        many += Chunk("IDAT", "");
    const TScanResult m = Scan(ScanPng, many + Chunk("eXIf", kTiff) + Chunk("IEND", ""));
    EXPECT_TRUE(m.Scan.Notes.empty());
    EXPECT_EQ(m.Scan.Exif.size(), 1u);
}

TEST(ContainerScan, PngHostile) {
    const std::string bomb = Deflate(std::string(kMaxBlockBytes + 1000, '\0'));
    struct Case {
        const char* Name;
        std::string Bytes;
        const char* Note;
        uint32_t Width; // what was found before the damage
    };
    const Case cases[] = {
        {"length past the end", kPngSignature + Ihdr(5, 6) + Be32(1000) + "tEXtabc", "runs past the end", 5},
        {"cut header", kPngSignature + Ihdr(5, 6) + std::string(2, '\0'), "cut short", 5},
        {"no IEND", kPngSignature + Ihdr(5, 6), "no IEND", 5},
        {"iCCP bomb",
         kPngSignature + Ihdr(5, 6) + Chunk("iCCP", std::string("x\0\0", 3) + bomb) + Chunk("IEND", ""),
         "inflates past", 5},
        {"zTXt bomb",
         kPngSignature + Ihdr(5, 6) + Chunk("zTXt", std::string("XML:com.adobe.xmp\0\0", 19) + bomb) +
             Chunk("IEND", ""),
         "inflates past", 5},
        {"bombs past the file's budget",
         kPngSignature + Ihdr(5, 6) +
             [&] {
                 std::string chunks;
                 for (int i = 0; i < 5; ++i)
                     chunks += Chunk("zTXt", std::string("XML:com.adobe.xmp\0\0", 19) + bomb);
                 return chunks;
             }() +
             Chunk("IEND", ""),
         "not inflated", 5},
        {"broken zlib", kPngSignature + Ihdr(5, 6) + Chunk("iCCP", std::string("x\0\0\x78\x9c\xff\xff", 7)),
         "not a whole zlib stream", 5},
        {"raw profile that lies",
         kPngSignature + Ihdr(5, 6) +
             Chunk("tEXt", std::string("Raw profile type xmp\0\nxmp\n 99999999999\n00", 42)),
         "larger than", 5},
        {"huge IHDR length", kPngSignature + Be32(0xFFFFFFFF) + "IHDR", "runs past the end", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Name);
        const TScanResult r = Scan(ScanPng, k.Bytes);
        EXPECT_TRUE(r.Recognised);
        EXPECT_TRUE(HasNote(r.Scan, k.Note)) << (r.Scan.Notes.empty() ? "" : r.Scan.Notes.front());
        EXPECT_EQ(r.Scan.Width, k.Width);
        EXPECT_TRUE(r.Scan.Icc.empty() && r.Scan.Xmp.empty());
    }
    EXPECT_FALSE(Scan(ScanPng, "\x89PNG\r\n\x1a").Recognised);
}

// WebP: the frame headers' sizes, an Exif prefix, odd padding at the end, chunks past the end.
TEST(ContainerScan, WebPChunks) {
    const auto riff = [](const std::string& chunks) {
        return "RIFF" + Le32(4 + chunks.size()) + "WEBP" + chunks;
    };
    const auto chunk = [](std::string_view type, std::string_view data) {
        std::string c = std::string(type) + Le32(static_cast<uint32_t>(data.size())) + std::string(data);
        return data.size() % 2 ? c + '\0' : c;
    };
    // VP8L: width-1 and height-1 as 14-bit fields after the signature.
    const uint32_t bits = (300 - 1) | (200 - 1) << 14;
    const std::string lossless = chunk("VP8L", std::string(1, '\x2f').append(Le32(bits)));
    const std::string exif = chunk("EXIF", std::string("Exif\0\0", 6) + kTiff);
    const std::string xmpOdd = "XMP " + Le32(3) + "abc"; // odd last chunk without its pad byte
    TScanResult r = Scan(ScanWebP, riff(lossless + exif + xmpOdd));
    ASSERT_TRUE(r.Recognised);
    EXPECT_TRUE(r.Scan.Notes.empty()) << r.Scan.Notes.front();
    EXPECT_EQ(r.Scan.Width, 300u);
    EXPECT_EQ(r.Scan.Height, 200u);
    ASSERT_EQ(r.Scan.Exif.size(), 1u);
    EXPECT_EQ(r.Scan.Exif[0].Bytes, kTiff);
    EXPECT_EQ(r.Scan.Exif[0].FileOffset, 12 + lossless.size() + 8 + 6);
    ASSERT_EQ(r.Scan.Xmp.size(), 1u);
    EXPECT_EQ(r.Scan.Xmp[0], "abc");

    // A chunk claiming more than the file holds ends the walk, keeping what came before.
    r = Scan(ScanWebP, riff(lossless + "EXIF" + Le32(0xFFFFFFF0) + "MM"));
    EXPECT_EQ(r.Scan.Width, 300u);
    EXPECT_TRUE(HasNote(r.Scan, "runs past the end"));
    EXPECT_TRUE(r.Scan.Exif.empty());
    // A RIFF size larger than the file (a cut download) is noted; the chunks there are still read.
    r = Scan(ScanWebP, "RIFF" + Le32(999999) + "WEBP" + lossless);
    EXPECT_EQ(r.Scan.Width, 300u);
    EXPECT_TRUE(HasNote(r.Scan, "RIFF size"));
    // Lossy key frame header, and a frame that is not a key frame.
    r = Scan(ScanWebP,
             riff(chunk("VP8 ", std::string("\x10\0\0\x9d\x01\x2a", 6) + Le16(0x4000 | 33) + Le16(44))));
    EXPECT_EQ(r.Scan.Width, 33u);
    EXPECT_EQ(r.Scan.Height, 44u);
    r = Scan(ScanWebP, riff(chunk("VP8 ", std::string("\x11\0\0\x9d\x01\x2a", 6) + Le16(33) + Le16(44))));
    EXPECT_EQ(r.Scan.Width, 0u);
    EXPECT_TRUE(HasNote(r.Scan, "key frame"));
    EXPECT_FALSE(Scan(ScanWebP, "RIFF" + Le32(4) + "WAVE").Recognised);
}

// PSD: the JPEG thumbnail resource, PSB, and resources that run past their section.
TEST(ContainerScan, PsdResources) {
    const auto psd = [](uint16_t version, const std::string& resources) {
        return "8BPS" + Be16(version) + std::string(6, '\0') + Be16(3) + Be32(480) + Be32(640) + Be16(8) +
               Be16(3) + Be32(0) + Be32(static_cast<uint32_t>(resources.size())) + resources +
               "layers and pixels";
    };
    const std::string jpeg = "\xff\xd8\xff\xdb jpeg bytes \xff\xd9";
    const std::string thumb = Be32(1) + Be32(160) + Be32(120) + Be32(480) + Be32(57600) +
                              Be32(static_cast<uint32_t>(jpeg.size())) + Be16(24) + Be16(1) + jpeg;
    // A named resource first: its Pascal name "ab" takes 3 bytes, padded to 4.
    const std::string named = "8BIM" + Be16(0x03ED) +
                              std::string("\x02"
                                          "ab\0",
                                          4) +
                              Be32(3) + "xyz" + '\0';
    const std::string resources = named + "8BIM" + Be16(0x040C) + std::string(2, '\0') +
                                  Be32(static_cast<uint32_t>(thumb.size())) + thumb;
    TScanResult r = Scan(ScanPsd, psd(2, resources));
    ASSERT_TRUE(r.Recognised);
    EXPECT_EQ(r.Scan.Format, "PSB");
    EXPECT_EQ(r.Scan.Width, 640u);
    EXPECT_EQ(r.Scan.Height, 480u);
    EXPECT_TRUE(r.Scan.Notes.empty()) << r.Scan.Notes.front();
    ASSERT_EQ(r.Scan.Previews.size(), 1u);
    const TPreview& p = r.Scan.Previews[0];
    EXPECT_EQ(p.Kind, "Thumbnail");
    EXPECT_EQ(p.Codec, "JPEG");
    EXPECT_EQ(p.Width, 160u);
    EXPECT_EQ(p.Height, 120u);
    EXPECT_EQ(psd(2, resources).substr(p.Region.Offset, p.Region.Length), jpeg);

    // A resource larger than its section ends the walk with a note.
    r = Scan(ScanPsd,
             psd(1, named + "8BIM" + Be16(0x0424) + std::string(2, '\0') + Be32(5000) + "<?xpacket"));
    EXPECT_TRUE(HasNote(r.Scan, "runs past"));
    EXPECT_TRUE(r.Scan.Xmp.empty());
    // A resource section larger than the file.
    std::string cut = psd(1, named);
    cut.replace(30, 4, Be32(0x7FFFFFFF));
    EXPECT_TRUE(HasNote(Scan(ScanPsd, cut).Scan, "past the end"));
    EXPECT_FALSE(Scan(ScanPsd, "8BPS" + Be16(3)).Recognised);
}

// RAF and MRW: their few header places, and places that lie.
TEST(ContainerScan, RafAndMrwHeaders) {
    const auto raf = [](uint32_t offset, uint32_t length, std::string_view tail) {
        return "FUJIFILMCCD-RAW 0201FF383501" + std::string(56, '\0') + Be32(offset) + Be32(length) +
               std::string(4, '\0') + std::string(tail);
    };
    TScanResult r = Scan(ScanRaf, raf(96, 4, "\xff\xd8\xff\xd9"));
    ASSERT_TRUE(r.Recognised);
    ASSERT_TRUE(r.Scan.EmbeddedJpeg.has_value());
    EXPECT_EQ(r.Scan.EmbeddedJpeg->Offset, 96u);
    EXPECT_EQ(r.Scan.EmbeddedJpeg->Length, 4u);
    for (const std::string& bad :
         {raf(96, 5, "\xff\xd8\xff\xd9"), raf(0xFFFFFFFF, 4, ""), raf(96, 4, "JPEG")}) {
        r = Scan(ScanRaf, bad);
        EXPECT_TRUE(r.Recognised);
        EXPECT_FALSE(r.Scan.EmbeddedJpeg.has_value());
        EXPECT_EQ(r.Scan.Notes.size(), 1u);
    }
    EXPECT_TRUE(HasNote(Scan(ScanRaf, "FUJIFILMCCD-RAW 0201").Scan, "cut short"));

    const std::string prd = std::string("\0PRD", 4) + Be32(24) + "21860002" + Be16(2000) + Be16(3000) +
                            Be16(1990) + Be16(2990) + std::string(8, '\0');
    const std::string ttw = std::string("\0TTW", 4) + Be32(static_cast<uint32_t>(kTiff.size())) + kTiff;
    const std::string other = std::string("\0PAD", 4) + Be32(3) + "pad";
    const auto mrw = [](const std::string& blocks) {
        return std::string("\0MRM", 4) + Be32(blocks.size()) + blocks;
    };
    r = Scan(ScanMrw, mrw(prd + other + ttw) + "raw data");
    ASSERT_TRUE(r.Recognised);
    EXPECT_TRUE(r.Scan.Notes.empty()) << r.Scan.Notes.front();
    EXPECT_EQ(r.Scan.Width, 2990u);
    EXPECT_EQ(r.Scan.Height, 1990u);
    ASSERT_TRUE(r.Scan.TiffInFile.has_value());
    EXPECT_EQ(r.Scan.TiffInFile->Offset, 8 + prd.size() + other.size() + 8);
    EXPECT_EQ(r.Scan.TiffInFile->Length, kTiff.size());
    // A block longer than the header blocks ends the walk; what came before stays.
    r = Scan(ScanMrw, mrw(prd + std::string("\0TTW", 4) + Be32(1000) + kTiff));
    EXPECT_EQ(r.Scan.Width, 2990u);
    EXPECT_FALSE(r.Scan.TiffInFile.has_value());
    EXPECT_TRUE(HasNote(r.Scan, "runs past"));
    EXPECT_TRUE(
        HasNote(Scan(ScanMrw, std::string("\0MRM", 4) + Be32(0xFFFFFFF0) + prd).Scan, "past the end"));
}

namespace {

// A CIFF heap: its records' data one after the other, then the table and its offset. A record is a
// tag and either its data in the heap or, with bit 14 of the tag set, eight bytes of its own.
struct TCiffRecord {
    uint16_t Tag;
    std::string Data;
};

std::string CiffHeap(const std::vector<TCiffRecord>& records) {
    std::string data, table = Le16(static_cast<uint16_t>(records.size()));
    for (const TCiffRecord& r : records) {
        if (r.Tag & 0x4000) {
            table += Le16(r.Tag) + (r.Data + std::string(8, '\0')).substr(0, 8);
            continue;
        }
        table += Le16(r.Tag) + Le32(static_cast<uint32_t>(r.Data.size())) +
                 Le32(static_cast<uint32_t>(data.size()));
        data += r.Data;
    }
    return data + table + Le32(static_cast<uint32_t>(data.size()));
}

std::string CrwFile(const std::string& heap) {
    return "II" + Le32(26) + "HEAPCCDR" + Le16(2) + Le16(1) + std::string(8, '\0') + heap;
}

} // namespace

// CRW: heaps whose tables lie, point at themselves, nest without end or fan out past every bound.
TEST(ContainerScan, CrwHostileHeaps) {
    // In-record values, a thumbnail, the camera's set ISO (element 16 of the settings: code 18 is 200),
    // a two-second exposure (-32/32 EV in element 22 of the shot info) and CRW's own APEX record.
    std::string settings = Le16(34), shot = Le16(46);
    for (int i = 1; i < 23; ++i) {
        if (i < 17) settings += Le16(i == 16 ? 18 : 0);
        shot += Le16(i == 22 ? 0xFFE0 : 0);
    }
    const auto floatBits = [](float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return Le32(u);
    };
    TScanResult r =
        Scan(ScanCrw,
             CrwFile(CiffHeap({{0x300a, CiffHeap({{0x102d, settings}, {0x102a, shot}, {0x501c, Le16(400)}})},
                               {0x1818, floatBits(0) + floatBits(6.0f) + floatBits(3.75f)},
                               {0x2008, "\xff\xd8thumb"}})));
    ASSERT_TRUE(r.Recognised);
    EXPECT_TRUE(r.Scan.Notes.empty()) << r.Scan.Notes.front();
    EXPECT_EQ(Field(r.Scan, 0x8827), Be16(200));
    EXPECT_EQ(Field(r.Scan, 0x829A), Be32(20) + Be32(10));
    EXPECT_EQ(Field(r.Scan, 0x829D), "(none)");
    EXPECT_EQ(Field(r.Scan, 0x9201), Be32(6000) + Be32(1000));
    EXPECT_EQ(Field(r.Scan, 0x9202), Be32(3750) + Be32(1000));
    ASSERT_EQ(r.Scan.Previews.size(), 1u);
    EXPECT_EQ(r.Scan.Previews[0].Kind, "Thumbnail");
    EXPECT_EQ(r.Scan.Previews[0].Codec, "JPEG");
    // Without the settings' ISO the base ISO record counts.
    r = Scan(ScanCrw, CrwFile(CiffHeap({{0x501c, Le16(400)}})));
    EXPECT_EQ(Field(r.Scan, 0x8827), Be16(400));

    // Heaps nested forty deep: the walk stops at the bound and keeps the outer heaps' records.
    std::string deep = CiffHeap({{0x080a, std::string("Deep\0Model\0", 11)}});
    for (int i = 0; i < 40; ++i)
        deep = CiffHeap({{0x300a, deep}});
    r = Scan(ScanCrw, CrwFile(CiffHeap({{0x080a, std::string("Canon\0X\0", 8)}, {0x2804, deep}})));
    EXPECT_TRUE(HasNote(r.Scan, "nested deeper"));
    EXPECT_EQ(Field(r.Scan, 0x010F), std::string("Canon\0", 6));

    // A table offset that points at itself, a count past the table's room, a record outside its heap.
    std::string self = CiffHeap({});
    self.replace(self.size() - 4, 4, Le32(static_cast<uint32_t>(self.size() - 4)));
    EXPECT_TRUE(HasNote(Scan(ScanCrw, CrwFile(self)).Scan, "no record table"));
    std::string lying = CiffHeap({{0x080a, std::string("Canon\0Y\0", 8)}});
    lying.replace(8, 2, Le16(0xFFFF));
    r = Scan(ScanCrw, CrwFile(lying));
    EXPECT_TRUE(HasNote(r.Scan, "claims 65535 records"));
    EXPECT_EQ(Field(r.Scan, 0x0110), std::string("Y\0", 2));
    std::string outside = CiffHeap({{0x2007, "\xff\xd8"}});
    outside.replace(2 + 2 + 4, 4, Le32(0x7FFFFFFF));
    EXPECT_TRUE(HasNote(Scan(ScanCrw, CrwFile(outside)).Scan, "outside its heap"));

    // Records fanning out to one shared heap again and again stop at the bound on records.
    std::vector<TCiffRecord> leaves(300, TCiffRecord{0x1804, "abcd"});
    const std::string shared = CiffHeap(leaves);
    std::string fan = shared;
    std::string table = Le16(300);
    for (int i = 0; i < 300; ++i)
        table += Le16(0x300a) + Le32(static_cast<uint32_t>(shared.size())) + Le32(0);
    fan += table + Le32(static_cast<uint32_t>(shared.size()));
    r = Scan(ScanCrw, CrwFile(fan));
    EXPECT_TRUE(HasNote(r.Scan, "more than 10000 CIFF records"));
    // Ten thousand records outside their heap are noted a few times, not ten thousand.
    std::string strays = Le16(3000);
    for (int i = 0; i < 3000; ++i)
        strays += Le16(0x0805) + Le32(8) + Le32(0x10000);
    r = Scan(ScanCrw, CrwFile(strays + Le32(0)));
    EXPECT_TRUE(HasNote(r.Scan, "more damage not listed"));
    EXPECT_EQ(r.Scan.Notes.size(), 33u);
    EXPECT_LT(r.BytesRead, 2000000u);

    EXPECT_FALSE(Scan(ScanCrw, "II" + Le32(26) + "HEAPJPGM").Recognised);
    EXPECT_TRUE(HasNote(Scan(ScanCrw, "II" + Le32(0xFFFFFF) + "HEAPCCDR").Scan, "past the end"));
}
