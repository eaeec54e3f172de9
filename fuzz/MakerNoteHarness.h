// The file the maker-note harness wraps the fuzzer's bytes in, and the two selector bytes that
// choose it. Shared by the harness and the seed maker, so that a seed means to the harness exactly
// what the seed maker meant.
//
// First byte: the layout, modulo the number of rows of the maker dispatch table. Its key is the
// Make, and a layout that names its writer in the note's first bytes gets them before the rest, so
// every layout is reached however long the table grows.
// Second byte (the rest of the input is the maker note):
//   bit  3    the Model: "NIKON D70" (a D-series camera) or "E950"
//   bits 4-5  ExifVersion: "0220", "0210", none, "0230"
//   bit  6    a TIFF-structured file (".nef") instead of a JPEG
//   bit  7    big-endian ("MM") instead of little-endian
#pragma once

#include "ExifBuilder.h"
#include "MakerTables.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::fuzzing {

inline constexpr const char* kMakerVersions[4] = {"0220", "0210", "", "0230"};

struct MakerChoice {
    std::string Make;
    std::string Model;
    std::string Version;
    std::string Header; // put before the fuzzer's note
    bool Tiff = false;
    bool BigEndian = false;
};

inline MakerChoice ChooseMaker(uint8_t layoutByte, uint8_t flags) {
    MakerChoice c;
    const auto layouts = MakerLayouts();
    const TMakerLayout& layout = layouts[layoutByte % layouts.size()];
    c.Make = layout.Key;
    c.Header = std::string(layout.Header);
    c.Model = flags & 8u ? "NIKON D70" : "E950";
    c.Version = kMakerVersions[(flags >> 4) & 3u];
    c.Tiff = flags & 0x40u;
    c.BigEndian = flags & 0x80u;
    return c;
}

inline uint8_t MakerFlags(bool dSeriesModel, int versionIndex, bool tiff, bool bigEndian) {
    return static_cast<uint8_t>((dSeriesModel ? 8 : 0) | ((versionIndex & 3) << 4) | (tiff ? 0x40 : 0) |
                                (bigEndian ? 0x80 : 0));
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
    note.insert(0, c.Header);
    if (c.Tiff) {
        name = "fuzz.nef";
        return MakerBlock(c, std::move(note)).Build();
    }
    name = "fuzz.jpg";
    if (note.size() > 60000) return {};
    return craft::JpegFile().Soi().Exif(MakerBlock(c, std::move(note))).ScanAndEnd().Bytes();
}

} // namespace quillmark::fuzzing
