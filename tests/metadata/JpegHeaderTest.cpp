// The checked byte view, the walk of a JPEG's marker sections, and the thumbnail strip's header scan over
// them: edges of offsets and lengths, damaged and hostile sections, and what the scan finds.
#include "JpegHeader.h"
#include "ExifBuilder.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace quillmark;

namespace {

constexpr uint64_t kU32Max = std::numeric_limits<uint32_t>::max();
constexpr uint64_t kSizeMax = std::numeric_limits<size_t>::max();

std::string Bytes(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes)
        out += static_cast<char>(b);
    return out;
}

// An EXIF block (APP1 content) whose IFD0 links to a thumbnail directory filled by `fill`.
template <typename Fill> std::string WithIfd1(Fill&& fill, bool bigEndian = false) {
    craft::TiffBlock tiff(bigEndian);
    const int ifd1 = tiff.AddIfd();
    tiff.Next(0, ifd1);
    fill(tiff, ifd1);
    return craft::ExifApp1Body(tiff.Build());
}

const std::string& Thumbnail() {
    static const std::string jpeg = craft::EncodeJpeg(32, 24);
    return jpeg;
}

// IFD1 naming the thumbnail, laid after the directories.
void NameThumbnail(craft::TiffBlock& t, int ifd1) {
    t.LinkTrailer(ifd1, 0x0201).Long(ifd1, 0x0202, {uint32_t(Thumbnail().size())}).Trailer(Thumbnail());
}

} // namespace

TEST(ByteView, ReadsOnlyInsideAndNeverWrapsRound) {
    const TByteView view(std::string_view("\x01\x02\x03\x04\x05", 5));
    struct Case {
        uint64_t offset, length;
        bool holds;
    };
    for (const Case& c : std::initializer_list<Case>{{0, 5, true},
                                                     {5, 0, true},
                                                     {4, 1, true},
                                                     {4, 2, false},
                                                     {6, 0, false},
                                                     {1, kU32Max, false},
                                                     {kU32Max, 2, false},
                                                     {2, kSizeMax, false},
                                                     {kSizeMax, 1, false},
                                                     {kSizeMax - 1, 3, false}}) {
        SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.length));
        EXPECT_EQ(view.Holds(c.offset, c.length), c.holds);
        EXPECT_EQ(view.Sub(c.offset, c.length).has_value(), c.holds);
    }
    EXPECT_EQ(view.U8(4), 5);
    EXPECT_EQ(view.U16(3, true), 0x0405);
    EXPECT_EQ(view.U16(3, false), 0x0504);
    EXPECT_EQ(view.U32(1, true), 0x02030405u);
    EXPECT_EQ(view.U32(1, false), 0x05040302u);
    EXPECT_FALSE(view.U8(5));
    EXPECT_FALSE(view.U16(4, true));
    EXPECT_FALSE(view.U32(2, false));
    EXPECT_FALSE(view.U32(kSizeMax - 1, false));
    EXPECT_FALSE(TByteView().U8(0));
    EXPECT_EQ(view.Sub(1, 3)->U16(1, true), 0x0304);
    EXPECT_EQ(view.Clip(3, kSizeMax).Data(), "\x04\x05");
    EXPECT_TRUE(view.Clip(5, 1).Empty());
    EXPECT_TRUE(view.Clip(kSizeMax, kSizeMax).Empty());
}

TEST(JpegMarkers, StepsOverTheSectionsUpToThePictureData) {
    struct Step {
        int code;
        uint64_t offset;
        uint32_t length;
    };
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<Step> steps;
        TJpegMarkerEnd end;
        int maxSteps = TJpegMarkers::kMaxSteps;
    };
    const std::string soi = Bytes({0xFF, 0xD8});
    const std::string app1 = Bytes({0xFF, 0xE1, 0, 4, 'a', 'b'});
    const std::string sof = Bytes({0xFF, 0xC0, 0, 7, 8, 0, 48, 0, 64});
    const std::string sos = Bytes({0xFF, 0xDA, 0, 2});
    const Case cases[] = {
        {"sections then the scan",
         soi + app1 + sof + sos + "\x12\x34",
         {{0xE1, 2, 4}, {0xC0, 8, 7}, {0xDA, 17, 2}},
         TJpegMarkerEnd::ScanData},
        {"fill bytes before a marker",
         soi + "\xFF\xFF\xFF" + app1 + sos,
         {{0xE1, 5, 4}, {0xDA, 11, 2}},
         TJpegMarkerEnd::ScanData},
        {"stand-alone markers carry nothing",
         soi + Bytes({0xFF, 0xD0, 0xFF, 0x01, 0xFF, 0xD8}) + app1,
         {{0xE1, 8, 4}},
         TJpegMarkerEnd::EndOfData},
        {"end of image", soi + app1 + Bytes({0xFF, 0xD9}) + app1, {{0xE1, 2, 4}}, TJpegMarkerEnd::EndOfImage},
        {"length cut short", soi + app1 + Bytes({0xFF, 0xE2, 0}), {{0xE1, 2, 4}}, TJpegMarkerEnd::EndOfData},
        {"marker cut short", soi + "\xFF", {}, TJpegMarkerEnd::EndOfData},
        {"body past the end",
         soi + Bytes({0xFF, 0xFE, 0xFF, 0xF0, 'x'}),
         {{0xFE, 2, 0xFFF0}},
         TJpegMarkerEnd::EndOfData},
        {"length 1", soi + Bytes({0xFF, 0xE2, 0, 1}), {}, TJpegMarkerEnd::BadLength},
        {"length 0 in the scan header",
         soi + app1 + Bytes({0xFF, 0xDA, 0, 0}),
         {{0xE1, 2, 4}},
         TJpegMarkerEnd::BadLength},
        {"no marker where one should begin",
         soi + app1 + Bytes({0, 0xFF, 0xE1, 0, 2}),
         {{0xE1, 2, 4}},
         TJpegMarkerEnd::NotAMarker},
        {"not a JPEG", "\x89PNG", {}, TJpegMarkerEnd::NotJpeg},
        {"nothing", "", {}, TJpegMarkerEnd::NotJpeg},
        {"fill bytes without end", soi + std::string(5000, '\xFF'), {}, TJpegMarkerEnd::TooManySteps},
        {"stand-alone markers count as steps",
         soi + Bytes({0xFF, 0xD0, 0xFF, 0xD1}) + app1,
         {},
         TJpegMarkerEnd::TooManySteps,
         2},
        {"bounded sections",
         soi + app1 + app1 + app1,
         {{0xE1, 2, 4}, {0xE1, 8, 4}},
         TJpegMarkerEnd::TooManySteps,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TJpegMarkers markers(c.bytes, c.maxSteps);
        std::vector<Step> steps;
        while (const auto m = markers.Next())
            steps.push_back({m->Code, m->Offset, m->Length});
        ASSERT_EQ(steps.size(), c.steps.size());
        for (size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(steps[i].code, c.steps[i].code) << i;
            EXPECT_EQ(steps[i].offset, c.steps[i].offset) << i;
            EXPECT_EQ(steps[i].length, c.steps[i].length) << i;
        }
        EXPECT_EQ(markers.End(), c.end);
        EXPECT_FALSE(markers.Next());
    }
}

TEST(JpegMarkers, ReadsOnlyMarkersAndLengthsThroughAReadAt) {
    // Three sections of 60000 bytes: the walk asks for a few bytes at each marker, never for a body.
    craft::JpegFile file;
    file.Soi();
    for (int i = 0; i < 3; ++i)
        file.Segment(0xE2, std::string(60000, 'p'));
    const std::string bytes = file.Image(16, 16).Bytes();
    size_t asked = 0;
    const TReadAt counted = [&](uint64_t offset, char* into, size_t n) {
        asked += n;
        return ReadAtBytes(bytes)(offset, into, n);
    };
    TJpegMarkers markers(counted);
    std::vector<TJpegMarker> seen;
    while (const auto m = markers.Next())
        seen.push_back(*m);
    EXPECT_EQ(markers.End(), TJpegMarkerEnd::ScanData);
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen[2].Offset, 2u + 2 * 60004);
    EXPECT_EQ(seen[1].Content(std::string_view(bytes)).Data(), std::string(60000, 'p'));
    EXPECT_LT(asked, 16 * (seen.size() + 1));
}

TEST(JpegHeaderScan, FindsTheFrameSizeTheThumbnailAndTheOrientation) {
    for (const bool bigEndian : {false, true}) {
        const std::string block = WithIfd1(
            [](craft::TiffBlock& t, int ifd1) {
                t.Short(0, 0x0112, {6});
                NameThumbnail(t, ifd1);
            },
            bigEndian);
        const std::string file = craft::JpegFile().Soi().Jfif().Segment(0xE1, block).Image(64, 48).Bytes();
        const TJpegHeaderFacts facts = ScanJpegHeader(file);
        EXPECT_TRUE(facts.IsJpeg);
        EXPECT_EQ(facts.Width, 64);
        EXPECT_EQ(facts.Height, 48);
        EXPECT_EQ(facts.Thumbnail, Thumbnail());
        EXPECT_EQ(facts.Orientation, 6);
    }
    const TJpegHeaderFacts plain = ScanJpegHeader(craft::JpegFile().Soi().Image(40, 30).Bytes());
    EXPECT_TRUE(plain.IsJpeg);
    EXPECT_EQ(plain.Width, 40);
    EXPECT_TRUE(plain.Thumbnail.empty());
    EXPECT_EQ(plain.Orientation, 1);
    EXPECT_FALSE(ScanJpegHeader(std::string("\x89PNG\r\n\x1A\n", 8)).IsJpeg);
}

TEST(JpegHeaderScan, SurvivesHostileHeaders) {
    const std::string good =
        craft::JpegFile().Soi().Segment(0xE1, WithIfd1(NameThumbnail)).Image(64, 48).Bytes();
    // Every cut of the file ends the scan without a read past the end.
    for (size_t n = 0; n < good.size(); ++n) {
        const TJpegHeaderFacts facts = ScanJpegHeader(std::string_view(good).substr(0, n));
        EXPECT_TRUE(facts.Thumbnail.empty() || facts.Thumbnail == Thumbnail()) << n;
    }

    // Directories that lie: offsets past the block, lengths that run over it, counts far beyond it, a
    // thumbnail directory that is IFD0 again, types that are neither SHORT nor LONG.
    using craft::TiffBlock;
    EXPECT_TRUE(
        FindExifThumbnail(WithIfd1([](TiffBlock& t, int i) {
            t.RawField(i, 0x0201, craft::kLong, 1, 0xFFFFFFF0u).RawField(i, 0x0202, craft::kLong, 1, 64);
        })).empty());
    EXPECT_TRUE(
        FindExifThumbnail(WithIfd1([](TiffBlock& t, int i) {
            t.LinkTrailer(i, 0x0201).RawField(i, 0x0202, craft::kLong, 1, 0xFFFFFFFFu).Trailer(Thumbnail());
        })).empty());
    EXPECT_EQ(FindExifThumbnail(WithIfd1([](TiffBlock& t, int i) {
                  NameThumbnail(t, i);
                  t.CountOverride(i, 0xFFFF);
              })),
              Thumbnail()); // the entries that are there are still read
    EXPECT_TRUE(FindExifThumbnail(WithIfd1([](TiffBlock& t, int i) {
                    t.LinkTrailer(i, 0x0201)
                        .Raw(i, 0x0202, craft::kRational, 1, std::string(8, '\1'))
                        .Trailer(Thumbnail());
                })).empty());
    EXPECT_EQ(
        FindExifThumbnail(WithIfd1([](TiffBlock& t, int i) {
            t.LinkTrailer(i, 0x0201).Short(i, 0x0202, {uint16_t(Thumbnail().size())}).Trailer(Thumbnail());
        })),
        Thumbnail()); // SHORT values, as some writers use
    TiffBlock loop(false);
    loop.NextRaw(0, 8); // IFD0 names itself as the next directory
    EXPECT_TRUE(FindExifThumbnail(craft::ExifApp1Body(loop.Build())).empty());
    EXPECT_TRUE(FindExifThumbnail(std::string("Exif\0\0MM\0\x2A\xFF\xFF\xFF\xF0", 14)).empty());
    EXPECT_TRUE(FindExifThumbnail(std::string("Exif\0\0", 6)).empty());
    EXPECT_EQ(TiffOrientation(std::string("MM\0\x2A\xFF\xFF\xFF\xF8", 8)), 1);

    // Section lengths below 2, fill bytes without end, a frame header cut short.
    EXPECT_EQ(ScanJpegHeader(std::string("\xFF\xD8\xFF\xE1\x00\x01", 6)).Width, 0);
    EXPECT_EQ(ScanJpegHeader(std::string("\xFF\xD8") + std::string(100000, '\xFF')).Width, 0);
    EXPECT_EQ(ScanJpegHeader(std::string("\xFF\xD8\xFF\xC0\x00\x05\x08\x01", 8)).Width, 0);
}
