// The JPEG codec: round trips, reduced-scale decoding, colour layouts, and input that must give an
// error (or a marked partial picture) instead of a crash or an exit.
#include "JpegCodec.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <jpeglib.h>

using namespace quillmark;
using namespace quillmark::testing;

namespace {

// Four quadrants: red, green, blue, white.
TRgbImage Quadrants(int w, int h) {
    TRgbImage img;
    img.Width = w;
    img.Height = h;
    img.Pixels.resize(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &img.Pixels[(static_cast<size_t>(y) * w + x) * 3];
            const int q = (y >= h / 2) * 2 + (x >= w / 2);
            static const uint8_t colours[4][3] = {
                {230, 20, 20}, {20, 200, 40}, {30, 40, 220}, {255, 255, 255}};
            p[0] = colours[q][0];
            p[1] = colours[q][1];
            p[2] = colours[q][2];
        }
    return img;
}

// Quadrants with noise on top, so that most of the stream is scan data.
TRgbImage Noisy(int w, int h) {
    TRgbImage img = Quadrants(w, h);
    std::mt19937 rng(11);
    for (uint8_t& v : img.Pixels)
        v = static_cast<uint8_t>(std::clamp(static_cast<int>(v) + static_cast<int>(rng() % 17) - 8, 0, 255));
    return img;
}

void ExpectColourNear(const TRgbImage& img, int x, int y, int r, int g, int b, int tolerance = 12) {
    const uint8_t* p = &img.Pixels[(static_cast<size_t>(y) * img.Width + x) * 3];
    EXPECT_NEAR(p[0], r, tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(p[1], g, tolerance) << "at " << x << "," << y;
    EXPECT_NEAR(p[2], b, tolerance) << "at " << x << "," << y;
}

// A grey or CMYK picture straight from libjpeg, for the colour layouts our encoder never writes.
std::string EncodeRaw(int w, int h, int components, J_COLOR_SPACE space, const std::vector<uint8_t>& pixel) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row;
    for (int x = 0; x < w; ++x)
        row.insert(row.end(), pixel.begin(), pixel.end());
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    return bytes;
}

// Offset of the first SOF0 marker's length field.
size_t FrameHeader(const std::string& jpeg) {
    const size_t at = jpeg.find("\xFF\xC0");
    EXPECT_NE(at, std::string::npos);
    return at + 2;
}

} // namespace

TEST(JpegCodec, EncodeThenDecodeKeepsSizeAndColours) {
    const TEncodedJpeg enc = EncodeJpeg(Quadrants(64, 48), 90);
    EXPECT_EQ(enc.Width, 64);
    EXPECT_EQ(enc.Height, 48);
    ASSERT_GT(enc.Bytes.size(), 20u);
    // SOI, then libjpeg's own JFIF APP0; EOI last.
    EXPECT_EQ(enc.Bytes.substr(0, 4), "\xFF\xD8\xFF\xE0");
    EXPECT_EQ(enc.Bytes.substr(6, 5), std::string("JFIF\0", 5));
    EXPECT_EQ(enc.Bytes.substr(enc.Bytes.size() - 2), "\xFF\xD9");

    const TRgbImage dec = DecodeJpeg(enc.Bytes);
    ASSERT_EQ(dec.Width, 64);
    ASSERT_EQ(dec.Height, 48);
    ASSERT_EQ(dec.Pixels.size(), 64u * 48 * 3);
    EXPECT_FALSE(dec.Damaged);
    ExpectColourNear(dec, 16, 12, 230, 20, 20);
    ExpectColourNear(dec, 48, 12, 20, 200, 40);
    ExpectColourNear(dec, 16, 36, 30, 40, 220);
    ExpectColourNear(dec, 48, 36, 255, 255, 255);

    const TJpegSize size = ReadJpegSize(enc.Bytes);
    EXPECT_EQ(size.Width, 64);
    EXPECT_EQ(size.Height, 48);
    EXPECT_EQ(size.Components, 3);

    // Higher quality, bigger stream.
    EXPECT_LT(EncodeJpeg(Quadrants(64, 48), 20).Bytes.size(),
              EncodeJpeg(Quadrants(64, 48), 100).Bytes.size());
}

TEST(JpegCodec, ReducedScaleDecodingRoundsSidesUp) {
    const std::string bytes = EncodeJpeg(Quadrants(100, 60), 85).Bytes;
    const std::pair<int, int> expected[] = {{100, 60}, {50, 30}, {25, 15}, {13, 8}};
    const int denoms[] = {1, 2, 4, 8};
    for (int i = 0; i < 4; ++i) {
        const TRgbImage img = DecodeJpeg(bytes, denoms[i]);
        EXPECT_EQ(img.Width, expected[i].first) << "1/" << denoms[i];
        EXPECT_EQ(img.Height, expected[i].second) << "1/" << denoms[i];
        EXPECT_EQ(img.Pixels.size(), static_cast<size_t>(img.Width) * img.Height * 3);
    }
    ExpectColourNear(DecodeJpeg(bytes, 8), 2, 1, 230, 20, 20, 20);
    for (int bad : {0, 3, 16, -2})
        EXPECT_THROW(DecodeJpeg(bytes, bad), JpegCodecError) << bad;

    EXPECT_EQ(ChooseScaleDenom(4000, 3000, 160, 120), 8);
    EXPECT_EQ(ChooseScaleDenom(4000, 3000, 600, 450), 4);
    EXPECT_EQ(ChooseScaleDenom(1000, 1000, 250, 250), 4);
    EXPECT_EQ(ChooseScaleDenom(1001, 1001, 126, 126), 8); // 1001 / 8 rounds up to 126
    EXPECT_EQ(ChooseScaleDenom(1001, 1001, 127, 127), 4);
    EXPECT_EQ(ChooseScaleDenom(100, 100, 200, 200), 1);
}

TEST(JpegCodec, GreyAndCmykPicturesComeOutAsRgb) {
    const TRgbImage grey = DecodeJpeg(EncodeRaw(16, 16, 1, JCS_GRAYSCALE, {100}));
    ASSERT_EQ(grey.Width, 16);
    ExpectColourNear(grey, 8, 8, 100, 100, 100, 3);
    EXPECT_EQ(ReadJpegSize(EncodeRaw(16, 16, 1, JCS_GRAYSCALE, {100})).Components, 1);

    // libjpeg marks CMYK output with Adobe's APP14, so the channels read as inverted: 255 is no ink.
    const TRgbImage red = DecodeJpeg(EncodeRaw(16, 16, 4, JCS_CMYK, {255, 0, 0, 255}));
    ExpectColourNear(red, 8, 8, 255, 0, 0, 6);
    const TRgbImage black = DecodeJpeg(EncodeRaw(16, 16, 4, JCS_CMYK, {255, 255, 255, 0}));
    ExpectColourNear(black, 8, 8, 0, 0, 0, 6);
}

TEST(JpegCodec, BrokenInputGivesAnErrorNotACrash) {
    const std::string good = EncodeJpeg(Noisy(64, 64), 85).Bytes;
    std::mt19937 rng(7);
    std::string garbage(1000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng());
    for (const std::string& bad : {std::string(), std::string("\xFF\xD8"), std::string("\xFF\xD8\xFF"),
                                   garbage, std::string("\xFF\xD8") + garbage, good.substr(0, 100)}) {
        EXPECT_THROW(DecodeJpeg(bad), JpegCodecError) << bad.size();
        EXPECT_THROW(ReadJpegSize(bad.substr(0, std::min<size_t>(bad.size(), 20))), JpegCodecError);
    }
    try {
        DecodeJpeg(garbage);
        FAIL();
    } catch (const JpegCodecError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot decode JPEG picture: ", 0), 0u) << e.what();
    }

    // Cut in the middle of the scan: the rows that exist, the rest filled, and the picture marked.
    const TRgbImage half = DecodeJpeg(good.substr(0, good.size() * 2 / 3));
    EXPECT_EQ(half.Width, 64);
    EXPECT_EQ(half.Height, 64);
    EXPECT_TRUE(half.Damaged);
    EXPECT_FALSE(half.Warning.empty());
    ExpectColourNear(half, 8, 8, 230, 20, 20, 24);

    // Random damage anywhere: decoded (possibly marked) or refused, never a crash or an exit.
    for (int round = 0; round < 400; ++round) {
        std::string damaged = good;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < flips; ++i)
            damaged[rng() % damaged.size()] = static_cast<char>(rng());
        if (round % 3 == 0) damaged.resize(rng() % damaged.size());
        try {
            const TRgbImage img = DecodeJpeg(damaged, 1 << (round % 4));
            EXPECT_EQ(img.Pixels.size(), static_cast<size_t>(img.Width) * img.Height * 3);
        } catch (const JpegCodecError&) {
        }
    }
}

TEST(JpegCodec, HugeClaimedSizeIsRefusedBeforeDecoding) {
    std::string bytes = EncodeJpeg(Quadrants(16, 16), 85).Bytes;
    const size_t sof = FrameHeader(bytes);
    // Length (2), precision (1), height (2), width (2).
    bytes[sof + 3] = '\xFD';
    bytes[sof + 4] = '\xE8';
    bytes[sof + 5] = '\xFD';
    bytes[sof + 6] = '\xE8';
    const TJpegSize claimed = ReadJpegSize(bytes);
    EXPECT_EQ(claimed.Width, 65000);
    EXPECT_EQ(claimed.Height, 65000);
    for (int denom : {1, 8}) {
        try {
            DecodeJpeg(bytes, denom);
            FAIL() << "decoded a 65000 x 65000 picture";
        } catch (const JpegCodecError& e) {
            EXPECT_NE(std::string(e.what()).find("too large: 65000 x 65000"), std::string::npos) << e.what();
        }
    }
}

TEST(JpegCodec, EncodingRefusesPicturesItCannotHold) {
    EXPECT_THROW(EncodeJpeg(TRgbImage{}), JpegCodecError);
    TRgbImage shortPixels = Quadrants(10, 10);
    shortPixels.Pixels.resize(299);
    EXPECT_THROW(EncodeJpeg(shortPixels), JpegCodecError);
    TRgbImage tooWide = Quadrants(1, 1);
    tooWide.Width = 70000;
    EXPECT_THROW(EncodeJpeg(tooWide), JpegCodecError);
    EXPECT_THROW(EncodeJpeg(Quadrants(8, 8), 0), JpegCodecError);
    EXPECT_THROW(EncodeJpeg(Quadrants(8, 8), 101), JpegCodecError);
    // A picture larger than the first output buffer grows it.
    const TEncodedJpeg big = EncodeJpeg(Noisy(600, 400), 100);
    EXPECT_GT(big.Bytes.size(), 64u * 1024);
    EXPECT_EQ(DecodeJpeg(big.Bytes, 8).Width, 75);
}

TEST(JpegCodec, DecodesFilesAndNamesTheOnesItCannotRead) {
    const std::string path = SamplePath("Canon_40D.jpg");
    const TRgbImage img = DecodeJpegFile(path, 2);
    const TJpegSize size = ReadJpegSize(ReadAll(path));
    EXPECT_EQ(img.Width, (size.Width + 1) / 2);
    EXPECT_EQ(img.Height, (size.Height + 1) / 2);
    EXPECT_GT(img.Width, 0);
    try {
        DecodeJpegFile("/nonexistent/folder/x.jpg");
        FAIL();
    } catch (const JpegCodecError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read /nonexistent/folder/x.jpg: No such file or directory");
    }
}
