// quillmark-bench-corpus: makes the folders of photos the benchmarks read.
//
//   quillmark-bench-corpus OUTDIR [--small N] [--large N] [--mp 12|24] [--samples DIR] [--force]
//
//   OUTDIR/small          N small camera files (default 1000; 0 makes none)
//   OUTDIR/12mp           N camera-size photos (default 500; 0 makes none) with EXIF thumbnails
//   OUTDIR/12mp-nothumb   the same photos without EXIF thumbnails
//   (24mp and 24mp-nothumb with --mp 24)
//
// Every file carries the EXIF section of one of the real camera samples (maker note included), with its
// pixel dimensions and dates made to fit, in front of a freshly encoded picture. File i takes sample
// i mod 9 and picture pattern (i / 9) mod 3, so every maker's layout meets every picture; the small files
// also cycle through 640 x 480, 480 x 360 and 320 x 240. The EXIF thumbnail shows the file's own picture
// at 160 x 120, letterboxed, as cameras write it (the collectors shrank some of the samples' thumbnails
// along with their pictures); a sample without a thumbnail gets an IFD1 for one. The big pictures (4000 x
// 3000 or 6000 x 4000) carry a fine grain, so that they compress about as badly as a camera's (about 3 MB at
// 12 megapixels) and cost libjpeg about as much to decode.
//
// The output depends only on the arguments and the samples: running it twice gives the same bytes. A
// folder whose stamp says it was made with the same arguments by this version is left as it is, so a
// benchmark script can call this every time; --force makes it anew.
#include "ExifBuilder.h"
#include "ImgData.h"
#include "JpegWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;
using namespace quillmark;
using craft::Pattern;
using craft::RgbImage;

namespace {

// Bumped whenever a change here changes the bytes written, so that old folders are made anew.
constexpr int kCorpusVersion = 2;

// The JPEG camera samples: Canon, Nikon (older and newer maker-note layouts, one with GPS), Fujifilm,
// Olympus and Sanyo maker notes. (The TIFF scan has no sections to copy.) Fixed here rather than listed
// from the folder, so that a sample added there does not change the corpora.
constexpr const char* kSampleNames[] = {
    "Canon_40D.jpg",        "Canon_PowerShot_S40.jpg", "Fujifilm_FinePix_E500.jpg",
    "Nikon_COOLPIX_P1.jpg", "Nikon_D70.jpg",           "Olympus_C8080WZ.jpg",
    "nikon-e950.jpg",       "nikon-gps-DSCN0010.jpg",  "sanyo-vpcsx550.jpg",
};
constexpr int kSampleCount = static_cast<int>(std::size(kSampleNames));
constexpr Pattern kPatterns[] = {Pattern::Landscape, Pattern::Flower, Pattern::TestCard};
constexpr int kPatternCount = static_cast<int>(std::size(kPatterns));
constexpr int kThumbWidth = 160, kThumbHeight = 120;

struct Sample {
    std::string Stem; // file name without ".jpg"
    std::string Bytes;
};

struct Options {
    fs::path OutDir;
    fs::path SamplesDir = QUILLMARK_SAMPLES_DIR;
    int Small = 1000;
    int Large = 500;
    int Megapixels = 12;
    bool Force = false;
};

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteWholeFile(const fs::path& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path.string());
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path.string());
}

// ------------------------------------------------------------------------------------------------
// Reading and patching the TIFF block of an EXIF section. The samples are trusted, but every position
// is still checked, so that a damaged sample stops the run with a message instead of writing nonsense.

uint32_t Get(const std::string& b, size_t at, int width, bool bigEndian) {
    if (at > b.size() || b.size() - at < static_cast<size_t>(width))
        throw std::runtime_error("EXIF block too short for a value at " + std::to_string(at));
    uint32_t v = 0;
    for (int i = 0; i < width; ++i) {
        const uint32_t byte = static_cast<unsigned char>(b[at + static_cast<size_t>(i)]);
        v |= byte << (8 * (bigEndian ? width - 1 - i : i));
    }
    return v;
}

void Put(std::string& b, size_t at, uint32_t v, int width, bool bigEndian) {
    if (at > b.size() || b.size() - at < static_cast<size_t>(width))
        throw std::runtime_error("EXIF block too short for a value at " + std::to_string(at));
    for (int i = 0; i < width; ++i)
        b[at + static_cast<size_t>(i)] =
            static_cast<char>((v >> (8 * (bigEndian ? width - 1 - i : i))) & 0xFF);
}

// Where the thumbnail directory (IFD1) and its JPEG thumbnail lie in a TIFF block.
struct ThumbLayout {
    bool BigEndian = false;
    size_t NextOfIfd0 = 0;  // position of IFD0's next-directory offset
    uint32_t Ifd1 = 0;      // 0 when there is no IFD1
    size_t StartEntry = 0;  // positions of the 0x0201 and 0x0202 entries
    size_t LengthEntry = 0; // 0 when IFD1 has no JPEG thumbnail
    uint32_t Start = 0;     // the thumbnail's offset and length
    uint32_t Length = 0;
};

ThumbLayout FindThumbnail(const std::string& tiff) {
    ThumbLayout t;
    if (tiff.size() < 8 || (tiff.compare(0, 2, "II") != 0 && tiff.compare(0, 2, "MM") != 0))
        throw std::runtime_error("EXIF section without a TIFF header");
    t.BigEndian = tiff[0] == 'M';
    const uint32_t ifd0 = Get(tiff, 4, 4, t.BigEndian);
    t.NextOfIfd0 = ifd0 + 2 + 12 * size_t{Get(tiff, ifd0, 2, t.BigEndian)};
    t.Ifd1 = Get(tiff, t.NextOfIfd0, 4, t.BigEndian);
    if (t.Ifd1 == 0) return t;
    const uint32_t count = Get(tiff, t.Ifd1, 2, t.BigEndian);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = t.Ifd1 + 2 + 12 * size_t{i};
        const uint32_t tag = Get(tiff, entry, 2, t.BigEndian);
        const uint32_t type = Get(tiff, entry + 2, 2, t.BigEndian);
        if ((tag != 0x0201 && tag != 0x0202) || type != craft::kLong) continue;
        const uint32_t value = Get(tiff, entry + 8, 4, t.BigEndian);
        if (tag == 0x0201) {
            t.Start = value;
            t.StartEntry = entry;
        } else {
            t.Length = value;
            t.LengthEntry = entry;
        }
    }
    if (t.StartEntry == 0 || t.Start > tiff.size() || tiff.size() - t.Start < t.Length) t.LengthEntry = 0;
    return t;
}

// Gives an EXIF section (two length bytes, "Exif\0\0", the TIFF block) a new thumbnail, or none when
// `thumbnail` is null. The old thumbnail's bytes are dropped when they end the block, as they do in most
// of the samples (elsewhere they stay, unreferenced, since other values may follow them). A new one goes
// at the end of the block, described by the sample's IFD1, or by a new IFD1 when the sample had none.
void SetThumbnail(std::string& app1, const std::string* thumbnail) {
    if (app1.size() < 16 || app1.compare(2, 6, std::string_view("Exif\0\0", 6)) != 0)
        throw std::runtime_error("not an EXIF section");
    std::string tiff = app1.substr(8);
    const ThumbLayout t = FindThumbnail(tiff);
    // Cameras pad the block after the thumbnail by a byte or two at most.
    const bool thumbnailEndsBlock = t.LengthEntry != 0 && tiff.size() - (t.Start + t.Length) <= 4;
    const bool be = t.BigEndian;

    if (!thumbnail) {
        Put(tiff, t.NextOfIfd0, 0, 4, be);
        if (thumbnailEndsBlock) tiff.resize(t.Start);
    } else if (t.Ifd1 != 0) {
        if (!t.LengthEntry) throw std::runtime_error("the sample's IFD1 holds no JPEG thumbnail");
        if (thumbnailEndsBlock) tiff.resize(t.Start);
        if (tiff.size() % 2) tiff += '\0';
        Put(tiff, t.StartEntry + 8, static_cast<uint32_t>(tiff.size()), 4, be);
        Put(tiff, t.LengthEntry + 8, static_cast<uint32_t>(thumbnail->size()), 4, be);
        tiff += *thumbnail;
    } else {
        // A new IFD1 as cameras write it: JPEG compression, 72 dots per inch, the thumbnail's offset and
        // length, no next directory; the two resolutions after it, then the thumbnail.
        if (tiff.size() % 2) tiff += '\0';
        const auto ifd1 = static_cast<uint32_t>(tiff.size());
        constexpr uint32_t kEntries = 6, kIfdSize = 2 + kEntries * 12 + 4;
        const uint32_t xResolution = ifd1 + kIfdSize, yResolution = xResolution + 8, start = yResolution + 8;
        const struct {
            uint16_t Tag, Type;
            uint32_t Value;
        } entries[kEntries] = {{0x0103, craft::kShort, 6},
                               {0x011A, craft::kRational, xResolution},
                               {0x011B, craft::kRational, yResolution},
                               {0x0128, craft::kShort, 2},
                               {0x0201, craft::kLong, start},
                               {0x0202, craft::kLong, static_cast<uint32_t>(thumbnail->size())}};
        tiff.append(kIfdSize + 16, '\0');
        Put(tiff, ifd1, kEntries, 2, be);
        size_t at = ifd1 + 2;
        for (const auto& e : entries) {
            Put(tiff, at, e.Tag, 2, be);
            Put(tiff, at + 2, e.Type, 2, be);
            Put(tiff, at + 4, 1, 4, be);
            Put(tiff, at + 8, e.Value, e.Type == craft::kShort ? 2 : 4, be);
            at += 12;
        }
        for (const uint32_t at : {xResolution, yResolution}) {
            Put(tiff, at, 72, 4, be);
            Put(tiff, at + 4, 1, 4, be);
        }
        tiff += *thumbnail;
        Put(tiff, t.NextOfIfd0, ifd1, 4, be);
    }
    std::string section = app1.substr(0, 8) + tiff;
    if (section.size() > 0xFFFF)
        throw std::runtime_error("EXIF section with the new thumbnail exceeds 64 KiB");
    Put(section, 0, static_cast<uint32_t>(section.size()), 2, true);
    app1 = std::move(section);
}

// ------------------------------------------------------------------------------------------------
// Pictures

// A fine, deterministic grain of +-amplitude on every channel.
void AddGrain(RgbImage& image, uint32_t seed, int amplitude) {
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& p : image.pixels) {
        state = state * 1664525u + 1013904223u;
        const int noise =
            static_cast<int>((state >> 16) % static_cast<uint32_t>(2 * amplitude + 1)) - amplitude;
        p = static_cast<uint8_t>(std::clamp(p + noise, 0, 255));
    }
}

// The pattern fitted into width x height with black bars, as cameras fit a 3:2 photo into a 4:3 thumbnail.
RgbImage Letterboxed(int width, int height, int photoWidth, int photoHeight, Pattern pattern) {
    int w = width, h = static_cast<int>(int64_t{width} * photoHeight / photoWidth);
    if (h > height) {
        h = height;
        w = static_cast<int>(int64_t{height} * photoWidth / photoHeight);
    }
    w = std::max(w, 1);
    h = std::max(h, 1);
    const RgbImage inner = craft::DrawPattern(w, h, pattern);
    RgbImage out;
    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, 0);
    const int left = (width - w) / 2, top = (height - h) / 2;
    for (int y = 0; y < h; ++y)
        std::copy_n(inner.pixels.begin() + static_cast<ptrdiff_t>(y) * w * 3, static_cast<size_t>(w) * 3,
                    out.pixels.begin() + (static_cast<ptrdiff_t>(top + y) * width + left) * 3);
    return out;
}

// Encoded pictures, made once each and shared by the files that use them.
class PictureCache {
public:
    const std::string& Photo(int width, int height, int pattern, int grain, int quality) {
        std::string& bytes = Photos[{width, height, pattern}];
        if (bytes.empty()) {
            RgbImage image = craft::DrawPattern(width, height, kPatterns[pattern]);
            if (grain > 0) AddGrain(image, static_cast<uint32_t>(pattern + 1), grain);
            bytes = craft::EncodeJpeg(image, quality, /*jfifHeader=*/false);
        }
        return bytes;
    }
    // Cameras write their thumbnails without an APP0 section.
    const std::string& Thumbnail(int width, int height, int photoWidth, int photoHeight, int pattern) {
        std::string& bytes = Thumbs[{width, height, photoWidth, photoHeight, pattern}];
        if (bytes.empty())
            bytes =
                craft::EncodeJpeg(Letterboxed(width, height, photoWidth, photoHeight, kPatterns[pattern]), 80,
                                  /*jfifHeader=*/false);
        return bytes;
    }

private:
    std::map<std::tuple<int, int, int>, std::string> Photos;
    std::map<std::tuple<int, int, int, int, int>, std::string> Thumbs;
};

// "yyyy:mm:dd hh:mm:ss", a minute and a half apart from one file to the next, as when shooting a series.
std::string ExifDate(int index) {
    const time_t t = 1682928000 /* 2023-05-01 08:00:00 UTC */ + static_cast<time_t>(index) * 97;
    struct tm parts {};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &parts);
    return text;
}

// The header sections of one file: the sample's sections read by our own reader, with the EXIF section
// told the new picture's size, the file's dates and the new thumbnail (or none).
std::string HeaderFor(const Sample& sample, int index, int width, int height, const std::string* thumbnail) {
    TimgData d(255);
    if (!d.ProcessBytes(sample.Stem + ".jpg", sample.Bytes) || !d.HasExif() || !d.ExifReader)
        throw std::runtime_error(sample.Stem + ": no EXIF section (" + d.ErrorText + ")");
    d.ExifReader->SetDimensions(height, width);
    const std::string date = ExifDate(index);
    for (const char* tag : {"DateTime", "DateTimeOriginal", "DateTimeDigitized"})
        d.ExifReader->WriteTagValue(tag, date);
    SetThumbnail(d.Section(d.ExifSection).Data, thumbnail);
    std::string header;
    d.WriteHeaderSections(header);
    return header;
}

// ------------------------------------------------------------------------------------------------
// Folders

struct FolderPlan {
    std::string Name;
    int Count = 0;
    int Width = 0, Height = 0;
    bool Thumbnails = true;
    int Grain = 0;
    int Quality = 90;
    bool VarySize = false; // the small files cycle through three picture sizes
};

std::string StampText(const FolderPlan& plan) {
    std::ostringstream s;
    s << "quillmark-bench-corpus " << kCorpusVersion << " " << plan.Name << " count " << plan.Count
      << " size " << plan.Width << "x" << plan.Height << (plan.Thumbnails ? " thumbnails" : " no-thumbnails")
      << "\n";
    return s.str();
}

bool UpToDate(const fs::path& dir, const FolderPlan& plan) {
    std::error_code ec;
    if (!fs::is_regular_file(dir / ".stamp", ec)) return false;
    try {
        return ReadWholeFile(dir / ".stamp") == StampText(plan);
    } catch (const std::exception&) {
        return false;
    }
}

// Removes the photos of an earlier run (only the .jpg files this tool writes, and its stamp).
void ClearFolder(const fs::path& dir) {
    std::error_code ec;
    fs::remove(dir / ".stamp", ec);
    if (!fs::is_directory(dir, ec)) return;
    std::vector<fs::path> old;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().extension() == ".jpg") old.push_back(entry.path());
    for (const auto& p : old)
        fs::remove(p);
}

void MakeFolder(const fs::path& outDir, const FolderPlan& plan, const std::vector<Sample>& samples,
                PictureCache& pictures, bool force) {
    const fs::path dir = outDir / plan.Name;
    if (!force && UpToDate(dir, plan)) {
        std::printf("%-16s up to date (%d files)\n", plan.Name.c_str(), plan.Count);
        return;
    }
    const auto started = std::chrono::steady_clock::now();
    ClearFolder(dir);
    fs::create_directories(dir);
    static constexpr int kSmallSizes[][2] = {{640, 480}, {480, 360}, {320, 240}};
    uint64_t total = 0;
    for (int i = 0; i < plan.Count; ++i) {
        const int s = i % kSampleCount;
        const int pattern = (i / kSampleCount) % kPatternCount;
        int width = plan.Width, height = plan.Height;
        if (plan.VarySize) {
            const auto& size = kSmallSizes[(i / (kSampleCount * kPatternCount)) % std::size(kSmallSizes)];
            width = size[0];
            height = size[1];
        }
        const std::string* thumbnail = nullptr;
        if (plan.Thumbnails)
            thumbnail = &pictures.Thumbnail(kThumbWidth, kThumbHeight, width, height, pattern);
        const std::string& photo = pictures.Photo(width, height, pattern, plan.Grain, plan.Quality);
        std::string file = HeaderFor(samples[s], i, width, height, thumbnail);
        file.append(photo, SkipEncoderHeaderSections(photo));
        char name[64];
        std::snprintf(name, sizeof name, "%04d-%s.jpg", i + 1, samples[s].Stem.c_str());
        WriteWholeFile(dir / name, file);
        total += file.size();
    }
    WriteWholeFile(dir / ".stamp", StampText(plan));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%-16s %d files, %.1f MiB, made in %.1f s\n", plan.Name.c_str(), plan.Count,
                static_cast<double>(total) / 1048576.0, seconds);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: quillmark-bench-corpus OUTDIR [--small N] [--large N] [--mp 12|24] [--samples DIR] "
                 "[--force]\n");
    return 2;
}

bool ParseCount(const char* text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end || v < 0 || v > 100000) return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--small" && hasValue) {
            if (!ParseCount(argv[++i], o.Small)) return Usage();
        } else if (arg == "--large" && hasValue) {
            if (!ParseCount(argv[++i], o.Large)) return Usage();
        } else if (arg == "--mp" && hasValue) {
            const std::string mp = argv[++i];
            if (mp != "12" && mp != "24") return Usage();
            o.Megapixels = std::stoi(mp);
        } else if (arg == "--samples" && hasValue) {
            o.SamplesDir = argv[++i];
        } else if (arg == "--force") {
            o.Force = true;
        } else if (!arg.empty() && arg[0] != '-' && o.OutDir.empty()) {
            o.OutDir = arg;
        } else {
            return Usage();
        }
    }
    if (o.OutDir.empty()) return Usage();

    try {
        std::vector<Sample> samples;
        for (const char* name : kSampleNames) {
            Sample s;
            s.Stem = fs::path(name).stem().string();
            s.Bytes = ReadWholeFile(o.SamplesDir / name);
            samples.push_back(std::move(s));
        }
        PictureCache pictures;
        std::vector<FolderPlan> plans;
        if (o.Small > 0) {
            FolderPlan small;
            small.Name = "small";
            small.Count = o.Small;
            small.Width = 640;
            small.Height = 480;
            small.VarySize = true;
            small.Grain = 6;
            small.Quality = 85;
            plans.push_back(small);
        }
        if (o.Large > 0) {
            FolderPlan large;
            large.Name = std::to_string(o.Megapixels) + "mp";
            large.Count = o.Large;
            large.Width = o.Megapixels == 24 ? 6000 : 4000;
            large.Height = o.Megapixels == 24 ? 4000 : 3000;
            large.Grain = 10;
            large.Quality = 92;
            plans.push_back(large);
            large.Name += "-nothumb";
            large.Thumbnails = false;
            plans.push_back(large);
        }
        for (const FolderPlan& plan : plans)
            MakeFolder(o.OutDir, plan, samples, pictures, o.Force);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmark-bench-corpus: %s\n", e.what());
        return 1;
    }
    return 0;
}
