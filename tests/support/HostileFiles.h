// Small crafted files that make a reader hold or do far more than their size warrants when it does
// not keep count: many pointers at one directory, one text, one maker note; thousands of empty IPTC
// datasets. Made on demand (no binaries in the repository) for the budget tests and the benchmark.
#pragma once

#include "ExifBuilder.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace quillmark::hostile {

struct TCraftedFile {
    std::string Name;
    std::string Bytes;
};

// An Olympus JPEG whose maker note points `pointers` camera-settings entries (0x2020) at one
// directory of `entries` entries.
inline std::string MakerSubDirectoryFanOut(int pointers, int entries) {
    using namespace craft;
    TiffBlock t(false);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, "OLYMPUS IMAGING CORP.").Link(0, kExifIfdTag, exif);
    t.UndefinedAt(exif, kMakerNoteTag, [=](uint32_t) {
        TiffBlock inner(false);
        inner.WithoutHeader().Before(0, std::string("OLYMPUS\0II\3\0", 12));
        const int settings = inner.AddIfd();
        for (int i = 0; i < entries; ++i)
            inner.Short(settings, 0x0300, {2});
        for (int i = 0; i < pointers; ++i)
            inner.Link(0, 0x2020, settings);
        return inner.Build();
    });
    return JpegFile().Soi().Exif(t).ScanAndEnd().Bytes();
}

// `entries` Windows XP comments (0x9C9C) that all point at one UTF-16 text of `textBytes` bytes
// holding multi-byte characters, a right-to-left override and a line separator among them.
inline std::string TextFanOut(int entries, size_t textBytes, bool tiff) {
    using namespace craft;
    std::string text = Utf16Le("\xE2\x80\xAE"
                               "Caf\xC3\xA9 \xE2\x80\xA8",
                               false);
    const std::string unit = Utf16Le("\xC3\xA9t\xC3\xA9 ", false);
    while (text.size() + unit.size() <= textBytes)
        text += unit;
    TiffBlock t(false);
    // The text lies right after the header, where IFD0's leading bytes go.
    t.Before(0, text);
    for (int i = 0; i < entries; ++i)
        t.RawField(0, 0x9C9C, kByte, static_cast<uint32_t>(text.size()), 8);
    if (tiff) return t.Build();
    return JpegFile().Soi().Exif(t).ScanAndEnd().Bytes();
}

// A TIFF whose IPTC tag (0x83BB) holds `datasets` empty datasets.
inline std::string IptcDatasetsTiff(size_t datasets) {
    using namespace craft;
    std::string block;
    block.reserve(datasets * 5);
    const std::string one = IptcDatasets({{2, 5, ""}});
    for (size_t i = 0; i < datasets; ++i)
        block += one;
    TiffBlock t(false);
    t.Ascii(0, 0x010F, "Maker").Undefined(0, 0x83BB, block);
    return t.Build();
}

// A Canon TIFF whose Exif directory holds `pointers` maker notes (0x927C) that are all one note of
// `entries` entries, padded to `noteBytes` bytes.
inline std::string MakerNoteFanOut(int pointers, int entries, size_t noteBytes) {
    using namespace craft;
    TiffBlock note(false);
    note.WithoutHeader();
    for (int i = 0; i < entries; ++i)
        note.Long(0, i % 2 ? 0x000C : 0x0008, {static_cast<uint32_t>(i)}); // image and serial numbers
    std::string bytes = note.Build();
    if (bytes.size() < noteBytes) bytes.resize(noteBytes, '\0');
    if (bytes.size() % 2) bytes += '\0';
    TiffBlock t(false);
    const int exif = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon").Link(0, kExifIfdTag, exif);
    t.Before(exif, bytes);
    const uint32_t at = t.IfdOffset(exif) - static_cast<uint32_t>(bytes.size());
    for (int i = 0; i < pointers; ++i)
        t.RawField(exif, kMakerNoteTag, kUndefined, static_cast<uint32_t>(bytes.size()), at);
    return t.Build();
}

// The crafted files, the TIFF ones near `tiffBytes` bytes each (at least the size their layout
// needs); the JPEG ones are as large as a JPEG's EXIF section allows at most.
inline std::vector<TCraftedFile> CraftedFiles(size_t tiffBytes) {
    const size_t iptcDatasets = std::max<size_t>((tiffBytes - std::min<size_t>(tiffBytes, 64)) / 5, 1000);
    const size_t xpText = tiffBytes > 786432 + 8192 ? tiffBytes - 786432 : 8192;
    const size_t note = tiffBytes / 2 > 786436 ? tiffBytes / 2 : 786436;
    return {
        {"maker-subdirectory-fan-out.jpg", MakerSubDirectoryFanOut(317, 317)},
        {"xp-comment-fan-out.jpg", TextFanOut(4700, 8192, false)},
        {"xp-comment-fan-out.tif", TextFanOut(65535, xpText, true)},
        {"iptc-datasets.tif", IptcDatasetsTiff(iptcDatasets)},
        {"maker-note-fan-out.tif", MakerNoteFanOut(65534, 65535, note)},
    };
}

} // namespace quillmark::hostile
