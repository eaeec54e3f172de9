// A folder of the files a photo folder collects over the years, good and bad, for the load case
// (tests/app/LoadCaseTest.cpp in CI, bench/LoadCase.cpp by hand): camera photos, photos cut short
// by an interrupted copy, photos with damaged bytes, crafted files whose metadata lies, TIFFs, files
// named like photos that are something else or nothing at all, and a folder, a dangling link and an
// upper-case name among them. Plain C++ and the crafted-file builder: no Qt.
#pragma once

#include "ExifBuilder.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace loadcase {

namespace fs = std::filesystem;
using namespace std::string_literals;

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// What was made, for the checks that follow a scan.
struct TLoadFolder {
    fs::path Folder;
    std::vector<std::string>
        StripNames; // what the strip lists (picture names in any case), sorted as a folder listing
    std::vector<std::string> NotFiles; // those of them that are no regular file (a folder, a dangling link)
    std::vector<std::string> CameraPhotos; // whole camera photos: their lists must fill when shown
    std::vector<std::string> Missing;      // camera photos not found in the samples folder
    int Files = 0;                         // entries in the folder, of every kind
};

// A JPEG whose frame header claims width x height pixels for a few bytes of picture data: a small file
// that asks a decoder for a large picture.
inline std::string ClaimedSizeJpeg(uint16_t width, uint16_t height) {
    std::string jpeg = quillmark::craft::JpegFile().Soi().Image(16, 16, 50).Bytes();
    const size_t sof = jpeg.find("\xFF\xC0"s);
    if (sof != std::string::npos && sof + 9 <= jpeg.size()) {
        jpeg[sof + 5] = static_cast<char>(height >> 8);
        jpeg[sof + 6] = static_cast<char>(height & 0xFF);
        jpeg[sof + 7] = static_cast<char>(width >> 8);
        jpeg[sof + 8] = static_cast<char>(width & 0xFF);
    }
    return jpeg;
}

// Metadata that lies: a directory count of 65535, a chain of sub-directories, offsets outside the
// block, a maker note whose directory runs past its bytes.
inline quillmark::craft::TiffBlock LyingBlock(int variant) {
    using quillmark::craft::TiffBlock;
    TiffBlock t(variant % 2 == 0);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, variant % 3 == 0 ? "Canon" : "NIKON").Link(0, 0x8769, exif);
    t.RawField(0, 0x0110, 2, 0xFFFFFFFF, 0x7FFFFFF0).RawField(0, 0x0131, 2, 40, 0xFFFFFFF0);
    int previous = exif;
    for (int i = 0; i < 40; ++i) {
        const int next = t.AddIfd();
        t.Link(previous, 0x8769, next);
        previous = next;
    }
    TiffBlock note(variant % 2 == 0);
    note.WithoutHeader().Ascii(0, 0x0007, "v1").CountOverride(0, 65535);
    t.Undefined(exif, 0x927C, note.Build()).Short(exif, 0x8827, {200});
    if (variant % 4 == 1) t.CountOverride(exif, 65535);
    return t;
}

// What the strip lists of an existing folder: its entries named as pictures (the folder holds JPEG, TIFF and
// GIF names only, and nothing unnamed that holds a picture), in any letter case, sorted, and which of them
// are no regular file.
inline TLoadFolder ListLoadFolder(const fs::path& folder) {
    TLoadFolder listed;
    listed.Folder = folder;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string ext = entry.path().extension().string();
        for (char& ch : ext)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        ++listed.Files;
        if (ext != ".jpg" && ext != ".tif" && ext != ".gif") continue;
        listed.StripNames.push_back(entry.path().filename().string());
        std::error_code error;
        if (!fs::is_regular_file(entry.path(), error))
            listed.NotFiles.push_back(entry.path().filename().string());
    }
    std::sort(listed.StripNames.begin(), listed.StripNames.end());
    std::sort(listed.NotFiles.begin(), listed.NotFiles.end());
    return listed;
}

// Makes `count` entries in `folder` (created; emptied first). The same count and seed make the same
// folder. samplesDir holds the camera photos (tests/data/cameras); those not found are listed in Missing.
inline TLoadFolder MakeLoadFolder(const fs::path& folder, int count, const fs::path& samplesDir,
                                  uint32_t seed = 20261209) {
    using namespace quillmark::craft;
    fs::remove_all(folder);
    fs::create_directories(folder);
    TLoadFolder made;
    made.Folder = folder;

    std::vector<std::string> cameras;
    std::vector<std::string> cameraNames;
    for (const char* name : {"Canon_40D.jpg", "Canon_PowerShot_S40.jpg", "Fujifilm_FinePix_E500.jpg",
                             "Nikon_COOLPIX_P1.jpg", "Nikon_D70.jpg", "Olympus_C8080WZ.jpg", "nikon-e950.jpg",
                             "nikon-gps-DSCN0010.jpg", "sanyo-vpcsx550.jpg"}) {
        const std::string bytes = ReadFile(samplesDir / name);
        if (bytes.size() < 2) { // missing, or too short to be cut
            made.Missing.push_back((samplesDir / name).string());
            continue;
        }
        cameras.push_back(bytes);
        cameraNames.push_back(fs::path(name).stem().string());
    }
    if (cameras.empty()) return made; // nothing to fill the folder with; the caller reports Missing
    const std::string tiff = ReadFile(samplesDir / "BSG1.tiff").substr(0, 20000);
    std::mt19937 random(seed);

    std::vector<std::string> crafted;
    for (int v = 0; v < 4; ++v) {
        TiffBlock t(v % 2 == 1);
        const int exif = t.AddIfd();
        t.Ascii(0, 0x010F, "Quillmark").Ascii(0, 0x0110, "Load " + std::to_string(v)).Link(0, 0x8769, exif);
        t.Rational(exif, 0x829A, {{1, 125}}).Short(exif, 0x8827, {static_cast<uint16_t>(100 * (v + 1))});
        crafted.push_back(JpegFile()
                              .Soi()
                              .Jfif()
                              .Comment("load case")
                              .Exif(t)
                              .Iptc({{2, 25, "load"}})
                              .Image(96 + 16 * v, 64 + 8 * v, 80, Pattern(v % 3))
                              .Bytes());
    }
    std::string gif = "GIF89a\x04\0\x04\0\x80\0\0\0\0\0\xFF\xFF\xFF"s;
    for (int f = 0; f < 3; ++f)
        gif += "\x21\xF9\x04\x04\x0A\0\0\0\x2C\0\0\0\0\x04\0\x04\0\0\x02\x02\x44\x01\0"s;
    gif += ';';

    auto add = [&](const std::string& name, const std::string& bytes) {
        WriteFile(folder / name, bytes);
        ++made.Files;
    };
    auto damaged = [&](std::string bytes, bool nearTheStart) {
        const int flips = 1 + static_cast<int>(random() % 16);
        for (int k = 0; k < flips && !bytes.empty(); ++k) {
            const size_t span = nearTheStart ? std::min<size_t>(bytes.size(), 4096) : bytes.size();
            bytes[random() % span] = static_cast<char>(random());
        }
        return bytes;
    };

    for (int i = 0; made.Files < count; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%05d-", i);
        const std::string prefix = number;
        const size_t c = static_cast<size_t>(i) % cameras.size();
        const std::string& camera = cameras[c];
        const std::string& own = crafted[static_cast<size_t>(i) % crafted.size()];
        switch (i % 16) {
        case 0:
        case 8:
            add(prefix + cameraNames[c] + ".jpg", camera);
            made.CameraPhotos.push_back(prefix + cameraNames[c] + ".jpg");
            break;
        case 1:
            add(prefix + "cut.jpg", camera.substr(0, 1 + random() % (camera.size() - 1)));
            break;
        case 2:
            add(prefix + "damaged-head.jpg", damaged(camera, true));
            break;
        case 3:
            add(prefix + "damaged.jpg", damaged(camera, false));
            break;
        case 4:
            add(prefix + "crafted.jpg", own);
            break;
        case 5:
            add(prefix + "crafted-damaged.jpg", damaged(own, i % 32 < 16));
            break;
        case 6:
            add(prefix + "scan.tif", tiff);
            break;
        case 7:
            add(prefix + "tiff-named.jpg", i % 32 < 16 ? tiff : LyingBlock(i).Build());
            break;
        case 9:
            add(prefix + "notes.jpg", "These are not the photos you are looking for.\n");
            break;
        case 10:
            add(prefix + "empty.jpg", "");
            break;
        case 11: {
            std::string noise(64 + random() % 4000, '\0');
            for (char& b : noise)
                b = static_cast<char>(random());
            if (i % 32 < 16) noise.replace(0, 3, "\xFF\xD8\xFF"s);
            add(prefix + "noise.jpg", noise);
            break;
        }
        case 12:
            add(prefix + (i % 32 < 16 ? "animated.jpg" : "animated.gif"), gif);
            break;
        case 13:
            add(prefix + "lying.jpg", JpegFile().Soi().Exif(LyingBlock(i)).Image(32, 24, 60).Bytes());
            break;
        case 14:
            // A few hundred bytes that claim a camera-size picture, or (one in four) the largest a
            // JPEG can name, which costs a reduced decode hundreds of megabytes.
            if (i % 64 == 14)
                add(prefix + "claims-huge.jpg", ClaimedSizeJpeg(65500, 65500));
            else
                add(prefix + "claims-large.jpg", ClaimedSizeJpeg(4000, 3000));
            break;
        default:
            add(prefix + cameraNames[c] + ".JPG", camera);
            made.CameraPhotos.push_back(prefix + cameraNames[c] + ".JPG");
            break;
        }
    }
    // A folder named like a photo (with a photo inside), a link to nowhere, and a file of another kind.
    fs::create_directories(folder / "folder.jpg");
    WriteFile(folder / "folder.jpg" / "inside.jpg", cameras.front());
    fs::create_symlink(folder / "gone.jpg", folder / "dangling.jpg");
    WriteFile(folder / "readme.txt", "a folder of photos\n");
    made.Files += 3;
    made.NotFiles = {"dangling.jpg", "folder.jpg"};
    made.StripNames = ListLoadFolder(folder).StripNames;
    return made;
}

} // namespace loadcase
