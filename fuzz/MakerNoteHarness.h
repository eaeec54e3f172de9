// The file the maker-note harness wraps the fuzzer's bytes in, and the selector byte that chooses
// it. Shared by the harness and the seed maker, so that a seed means to the harness exactly what
// the seed maker meant.
//
// Selector byte (the input's first byte; the rest is the maker note):
//   bits 0-2  the maker: the n-th distinct key of the maker dispatch table, used as the Make
//   bit  3    the Model: "NIKON D70" (a D-series camera) or "E950"
//   bits 4-5  ExifVersion: "0220", "0210", none, "0230"
//   bit  6    a TIFF-structured file (".nef") instead of a JPEG
//   bit  7    big-endian ("MM") instead of little-endian
// Every layout of the first eight keys is reachable: the note's own first bytes choose between the
// Nikon, Olympus and Casio layouts. ("KONIC", the ninth key, walks the Minolta table as "MINOL" does.)
#pragma once

#include "ExifBuilder.h"
#include "MakerTables.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::fuzzing {

inline const std::vector<std::string>& MakerKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        for (const TMakerLayout& layout : MakerLayouts()) {
            bool known = false;
            for (const std::string& key : k)
                known = known || key == layout.Key;
            if (!known) k.emplace_back(layout.Key);
        }
        return k;
    }();
    return keys;
}

inline constexpr const char* kMakerVersions[4] = {"0220", "0210", "", "0230"};

struct MakerChoice {
    std::string Make;
    std::string Model;
    std::string Version;
    bool Tiff = false;
    bool BigEndian = false;
};

inline MakerChoice ChooseMaker(uint8_t selector) {
    MakerChoice c;
    const auto& keys = MakerKeys();
    c.Make = keys[(selector & 7u) % keys.size()];
    c.Model = selector & 8u ? "NIKON D70" : "E950";
    c.Version = kMakerVersions[(selector >> 4) & 3u];
    c.Tiff = selector & 0x40u;
    c.BigEndian = selector & 0x80u;
    return c;
}

inline uint8_t MakerSelector(int makerIndex, bool dSeriesModel, int versionIndex, bool tiff, bool bigEndian) {
    return static_cast<uint8_t>((makerIndex & 7) | (dSeriesModel ? 8 : 0) | ((versionIndex & 3) << 4) |
                                (tiff ? 0x40 : 0) | (bigEndian ? 0x80 : 0));
}

// The EXIF block: IFD0 with Make, Model and the EXIF link; the EXIF directory with ExifVersion, the
// maker note and Contrast, which is read after the note and so shows whether the walk came back to
// the block's own byte order.
inline craft::TiffBlock MakerBlock(const MakerChoice& c, std::string note) {
    craft::TiffBlock t(c.BigEndian);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, c.Make).Ascii(0, 0x0110, c.Model).Link(0, 0x8769, exif);
    if (!c.Version.empty()) t.Undefined(exif, 0x9000, c.Version);
    t.Undefined(exif, 0x927C, std::move(note)).Short(exif, 0xA408, {1});
    return t;
}

// Where a maker note of more than four bytes lands in the block (its TIFF offset): the same for
// every note length, as nothing follows it.
inline uint32_t MakerNoteOffset(const MakerChoice& c) {
    const craft::TiffBlock t = MakerBlock(c, std::string(8, 'x'));
    return t.ValueOffsetOf(1, 0x927C);
}

// The file's name and bytes; empty bytes when the note is too long for a JPEG's EXIF section.
inline std::string MakerFile(const MakerChoice& c, std::string note, std::string& name) {
    if (c.Tiff) {
        name = "fuzz.nef";
        return MakerBlock(c, std::move(note)).Build();
    }
    name = "fuzz.jpg";
    if (note.size() > 60000) return {};
    return craft::JpegFile().Soi().Exif(MakerBlock(c, std::move(note))).ScanAndEnd().Bytes();
}

} // namespace quillmark::fuzzing
