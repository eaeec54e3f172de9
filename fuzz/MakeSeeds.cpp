// Writes the seed corpora of the fuzz targets into OUTDIR/<target>/:
//   - fuzz_jpeg_reader: each photo's header sections up to its first scan (the reader never looks
//     further, and the fuzzer's mutations are wasted on scan data), and crafted files;
//   - fuzz_tiff_reader: the first kilobytes of each TIFF, and each JPEG's EXIF block as a TIFF file
//     of its own (so the TIFF path meets maker notes, GPS and thumbnail directories too);
//   - fuzz_maker_notes: the maker notes found in the photos, and a crafted note for every layout of
//     the maker dispatch table in both byte orders, each with the two selector bytes that make the
//     harness build the file that layout is read from (MakerNoteHarness.h);
//   - fuzz_iptc: the APP13 sections of the photos and crafted ones;
//   - fuzz_xmp: the XMP packets of the photos (and their sidecars) and their ICC profiles;
//   - fuzz_gif_frames: GIFs with several frames, extensions, local colour tables, and frame marks
//     where they should not be;
//   - fuzz_psd_decode: Photoshop documents in every colour mode and packing the viewer draws, PSD and PSB,
//     with and without a thumbnail and transparency;
//   - fuzz_writer_skip: encoded JPEG streams with and without the header sections the writer skips;
//   - fuzz_jpeg_header: the JPEG header seeds, and EXIF sections (with their thumbnails) on their own;
//   - fuzz_report_output: the photos' header sections, as for the reader.
#include "ExifBuilder.h"
#include "ImgData.h"
#include "MakerNoteHarness.h"
#include "Xmp.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>

namespace fs = std::filesystem;
using namespace quillmark;
using craft::IptcDataset;
using craft::JpegFile;
using craft::TiffBlock;
using namespace std::string_literals;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

// A JPEG file up to and including its first SOS section, and a few bytes of scan data and EOI.
std::string HeaderSections(const std::string& jpeg) {
    size_t p = 2;
    while (p + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[p]) == 0xFF) {
        const auto marker = static_cast<unsigned char>(jpeg[p + 1]);
        const size_t length =
            static_cast<unsigned char>(jpeg[p + 2]) * 256u + static_cast<unsigned char>(jpeg[p + 3]);
        p += 2 + length;
        if (marker == 0xDA) return jpeg.substr(0, std::min(p + 8, jpeg.size())) + "\xFF\xD9";
    }
    return jpeg.substr(0, std::min<size_t>(jpeg.size(), 65536));
}

// The harness's selector bytes and note for a photo's own maker note; empty for a maker without a
// layout.
std::string SelectedNote(const TimgData& d, bool tiff) {
    const TImageInfo& info = *d.ExifReader;
    const TMakerLayout* layout = FindMakerLayout(info, tiff);
    if (!layout) return {};
    const auto layouts = MakerLayouts();
    const auto index = static_cast<size_t>(layout - layouts.data());
    const std::string& v = info.ExifVersionText;
    const int version = v.empty() ? 2 : v.compare("0210") > 0 ? 0 : 1;
    const size_t blank = info.CameraModel.find(' ');
    const size_t at = blank == std::string::npos ? 0 : blank + 1;
    const bool dSeries = at < info.CameraModel.size() && info.CameraModel[at] == 'D';
    std::string note = info.MakerNoteRaw;
    // The harness puts the layout's header back itself.
    if (note.starts_with(layout->Header)) note.erase(0, layout->Header.size());
    return std::string(1, static_cast<char>(index)) +
           static_cast<char>(fuzzing::MakerFlags(dSeries, version, tiff, d.BigEndian)) + note;
}

// Entries for a maker directory taken from the maker's own table, in a mix of types and of values
// inside the entry and behind offsets; decoder rows get values their decoders take apart.
void FillFromTable(TiffBlock& n, std::span<const TTagRow> table, int variant) {
    int k = 0;
    for (const TTagRow& row : table) {
        const uint16_t tag = row.Tag;
        if (row.Formatter) {
            std::vector<uint16_t> values(34);
            for (size_t i = 0; i < values.size(); ++i)
                values[i] = static_cast<uint16_t>(i % 3 == 0 ? 0x0100 * (i % 16) + i % 4 : i % 7);
            n.Short(0, tag, values);
            n.Rational(0, tag, {{180, 10}, {700, 10}, {35, 10}, {56, 10}});
            n.Ascii(0, tag, " MODE1 and more");
            continue;
        }
        switch ((k++ + variant) % 6) {
        case 0:
            n.Short(0, tag, {static_cast<uint16_t>(k % 4)});
            break;
        case 1:
            n.Ascii(0, tag, "Text " + std::to_string(k));
            break;
        case 2:
            n.Long(0, tag, {static_cast<uint32_t>(k), 7});
            break;
        case 3:
            n.Rational(0, tag, {{static_cast<uint32_t>(k), 3}});
            break;
        case 4:
            n.Undefined(0, tag, "\x01\x02\x03\x04\x05\x06"s);
            break;
        default:
            n.SShort(0, tag, {-1, static_cast<int16_t>(k)});
            break;
        }
        if (k >= 24) break;
    }
}

// What comes before the directory in a layout's note, and the selector choices that lead the
// dispatch to that layout.
struct LayoutSeed {
    std::string Prefix;
    int Version = 0; // index into kMakerVersions
    bool Tiff = false;
};

LayoutSeed SeedFor(const TMakerLayout& layout, bool bigEndian) {
    const std::string name = layout.Name;
    LayoutSeed seed;
    if (name == "Nikon (newer)")
        seed = {"Nikon\0\2\x10\0\0"s + (bigEndian ? "MM\0\x2A"s : "II\x2A\0"s) + craft::U32(8, bigEndian), 0};
    else if (name == "Nikon (old)")
        seed = {"Nikon\0\1\0"s, 1};
    else if (name == "Nikon (headerless)")
        seed = {"", 2};
    else if (name == "Fujifilm")
        seed = {"FUJIFILM\x0C\0\0\0"s, 0};
    else {
        // A header of S bytes like the cameras' own ("OLYMP\0\1\0", "SANYO\0\1\0", "AOC\0MM"), with the
        // note's byte-order mark where the layout reads it.
        std::string prefix = layout.Header.empty() ? std::string(layout.Key).substr(0, 5) + "\0\1\0"s
                                                   : std::string(layout.Header);
        prefix.resize(static_cast<size_t>(std::max(layout.S, 0)), '\0');
        if (layout.OrderMark >= 0 && static_cast<size_t>(layout.OrderMark) + 2 <= prefix.size())
            prefix.replace(static_cast<size_t>(layout.OrderMark), 2, bigEndian ? "MM" : "II");
        if (layout.OwnTiffHeader && layout.OrderMark == 0)
            prefix = (bigEndian ? "MM\0\x2A"s : "II\x2A\0"s) + craft::U32(8, bigEndian);
        seed = {prefix, 0};
    }
    return seed;
}

void CraftedMakerNotes(const fs::path& dir) {
    int variant = 0;
    const auto layouts = MakerLayouts();
    for (size_t index = 0; index < layouts.size(); ++index) {
        const TMakerLayout& layout = layouts[index];
        for (const bool bigEndian : {false, true}) {
            for (const bool tiff : {false, true}) {
                LayoutSeed seed = SeedFor(layout, bigEndian);
                // Only a D-series model's raw file without a version reads the newer Nikon layout.
                bool dSeries = false;
                if (tiff && seed.Version == 0 && std::string(layout.Name) == "Nikon (newer)") {
                    seed.Version = 2;
                    dSeries = true;
                }
                const uint8_t flags = fuzzing::MakerFlags(dSeries, seed.Version, tiff, bigEndian);
                const fuzzing::MakerChoice choice = fuzzing::ChooseMaker(static_cast<uint8_t>(index), flags);
                const uint32_t at = fuzzing::MakerNoteOffset(choice);
                // Offsets count from the block's TIFF header for layouts placed by the note's
                // position, otherwise from B - 1 bytes into the note.
                const uint32_t origin = layout.BFromPosition ? at + static_cast<uint32_t>(layout.S)
                                                             : static_cast<uint32_t>(layout.BOffset - 1);
                TiffBlock inner(layout.LittleEndian ? false : bigEndian);
                inner.WithoutHeader().Origin(origin);
                FillFromTable(inner, layout.Table, variant++);
                inner.Trailer("trailing bytes of the note");
                std::string note = seed.Prefix + inner.Build();
                // The harness puts the header back itself.
                if (note.starts_with(layout.Header)) note.erase(0, layout.Header.size());
                std::string file = std::string(layout.Name);
                for (char& c : file)
                    if (!isalnum(static_cast<unsigned char>(c))) c = '-';
                Write(dir, "crafted-" + file + (bigEndian ? "-mm" : "-ii") + (tiff ? "-tif" : "-jpg"),
                      std::string(1, static_cast<char>(index)) + static_cast<char>(flags) + note);
            }
        }
    }
}

// A TIFF block with every kind of directory the walk follows.
TiffBlock CraftedBlock(bool bigEndian) {
    TiffBlock t(bigEndian);
    const int exif = t.AddIfd(), gps = t.AddIfd(), interop = t.AddIfd(), sub = t.AddIfd(), ifd1 = t.AddIfd();
    t.Ascii(0, 0x010F, "Canon").Ascii(0, 0x0110, "Canon EOS 40D").Short(0, 0x0112, {6});
    t.Rational(0, 0x011A, {{72, 1}}).Short(0, 0x0128, {2}).Ascii(0, 0x0132, "2024:05:06 07:08:09");
    t.XpText(0, 0x9C9B, "Title").XpText(0, 0x9C9E, "one; two").Link(0, 0x8769, exif).Link(0, 0x8825, gps);
    t.Link(0, 0x014A, sub).Next(0, ifd1);
    t.Rational(exif, 0x829A, {{1, 60}}).Rational(exif, 0x829D, {{28, 10}}).Short(exif, 0x8827, {400});
    t.Undefined(exif, 0x9000, "0221").Ascii(exif, 0x9003, "2024:05:06 07:08:09");
    t.SRational(exif, 0x9201, {{6, 1}}).Rational(exif, 0x9202, {{3, 1}}).SRational(exif, 0x9204, {{-1, 3}});
    t.Short(exif, 0x9207, {5}).Short(exif, 0x9209, {25}).Rational(exif, 0x920A, {{50, 1}});
    t.Undefined(exif, 0x9286, "ASCII\0\0\0A comment"s).Short(exif, 0xA001, {1});
    t.Long(exif, 0xA002, {3888}).Short(exif, 0xA003, {2592}).Link(exif, 0xA005, interop);
    t.Rational(exif, 0xA20E, {{3888000, 876}})
        .Rational(exif, 0xA20F, {{2592000, 583}})
        .Short(exif, 0xA210, {2});
    t.Short(exif, 0xA403, {0}).Short(exif, 0xA408, {1});
    t.Ascii(gps, 0x0001, "N").Rational(gps, 0x0002, {{51, 1}, {2955, 100}, {0, 1}}).Ascii(gps, 0x0003, "W");
    t.Rational(gps, 0x0004, {{0, 1}, {7, 1}, {3, 10}})
        .Byte(gps, 0x0005, {0})
        .Rational(gps, 0x0006, {{35, 1}});
    t.Ascii(interop, 0x0001, "R98").Undefined(interop, 0x0002, "0100");
    t.Long(sub, 0x00FE, {0}).Short(sub, 0x0103, {1});
    t.Short(ifd1, 0x0103, {6}).LinkTrailer(ifd1, 0x0201).Long(ifd1, 0x0202, {300});
    t.Trailer("\xFF\xD8\xFF\xDB"s + std::string(296, '\x11'));
    return t;
}

std::vector<IptcDataset> CraftedDatasets() {
    return {{2, 0, "\x00\x04"s},   {2, 5, "Object"},      {2, 25, "one"},
            {2, 25, "two, three"}, {2, 25, "One"},        {2, 20, "supp"},
            {2, 55, "20240506"},   {2, 120, "A caption"}, {2, 200, "custom dataset"},
            {8, 10, "\x00\x01"s},  {3, 10, "other"}};
}

// GIF pieces: header and logical screen (4x4, global colour table of 4 colours), extensions, and
// frames of one 4x4 image each.
std::string GifHeader(bool globalTable = true) {
    std::string g = "GIF89a\x04\0\x04\0"s + (globalTable ? "\x81"s : "\x00"s) + "\0\0"s;
    if (globalTable) g += "\0\0\0\xFF\xFF\xFF\xFF\0\0\0\0\xFF"s;
    return g;
}
std::string Loop(uint16_t count) {
    return "\x21\xFF\x0BNETSCAPE2.0\x03\x01"s + craft::U16(count, false) + "\0"s;
}
std::string CommentExtension(const std::string& text) {
    return "\x21\xFE"s + static_cast<char>(text.size()) + text + "\0"s;
}
std::string Control(uint16_t delay, int disposal, bool transparent = false) {
    return "\x21\xF9\x04"s + static_cast<char>((disposal << 2) | (transparent ? 1 : 0)) +
           craft::U16(delay, false) + "\0\0"s;
}
std::string Image(uint16_t left, uint16_t top, uint16_t w, uint16_t h, bool localTable, bool interlaced) {
    std::string d = "\x2C"s + craft::U16(left, false) + craft::U16(top, false) + craft::U16(w, false) +
                    craft::U16(h, false) +
                    static_cast<char>((localTable ? 0x81 : 0) | (interlaced ? 0x40 : 0));
    if (localTable) d += "\xFF\0\0\0\xFF\0\0\0\xFF\x10\x20\x30"s;
    return d + "\x02\x02\x44\x01\0"s;
}

void GifSeeds(const fs::path& dir) {
    for (int frames = 1; frames <= 3; ++frames) {
        std::string g = GifHeader();
        for (int f = 0; f < frames; ++f)
            g += Control(10, 1) + Image(0, 0, 4, 4, false, false);
        Write(dir, "frames" + std::to_string(frames) + ".gif", g + ";");
    }
    // An animation as editors write it: loop extension, comments, local colour tables, offsets,
    // every disposal, interlacing.
    std::string anim = GifHeader() + Loop(0) + CommentExtension("made for the fuzzer");
    for (int f = 0; f < 8; ++f)
        anim +=
            Control(static_cast<uint16_t>(f * 5), f % 4, f % 2) +
            Image(static_cast<uint16_t>(f % 2), static_cast<uint16_t>(f % 3), 3, 2, f % 2 == 1, f % 3 == 0);
    Write(dir, "animation.gif", anim + ";");
    // A plain-text extension and an image without a control extension between frames.
    Write(dir, "mixed.gif",
          GifHeader(false) + "\x21\x01\x0C\0\0\0\0\x04\0\x04\0\x04\x04\x01\0\x03"s + "abc\0"s +
              Image(0, 0, 4, 4, true, false) + Control(3, 2) + Image(1, 1, 2, 2, true, true) + ";");
    // Image data that looks like a frame mark, and a mark in the last ten bytes.
    Write(dir, "false-mark.gif",
          GifHeader() + Control(1, 0) +
              "\x2C\0\0\0\0\x04\0\x04\0\0\x02\x0A\x21\xF9\x04\x04\x0A\0\0\0\x2C\0\0\0"s + ";");
    Write(dir, "tail-mark.gif",
          GifHeader() + Control(4, 1) + Image(0, 0, 4, 4, false, false) + Control(9, 3) + "\x2C\x01"s);
    // Many frames.
    std::string many = GifHeader() + Loop(3);
    for (int f = 0; f < 30; ++f)
        many += Control(2, 2) + Image(0, 0, 1, 1, false, false);
    Write(dir, "many.gif", many + ";");
}

// A Photoshop document of w x h pixels: its sections, then the planes of its merged picture, each row of
// a plane a run of one value (the channel's number), packed or raw.
std::string Psd(bool big, uint16_t mode, uint16_t channels, uint16_t depth, uint32_t w, uint32_t h,
                bool packed, const std::string& colourData = "", const std::string& resources = "",
                bool transparent = false) {
    using craft::U16;
    using craft::U32;
    std::string d = "8BPS"s + U16(big ? 2 : 1, true) + std::string(6, '\0') + U16(channels, true) +
                    U32(h, true) + U32(w, true) + U16(depth, true) + U16(mode, true);
    d += U32(uint32_t(colourData.size()), true) + colourData + U32(uint32_t(resources.size()), true) +
         resources;
    // A layer information of a negative count alone: the merged picture carries the transparency.
    const std::string layers =
        transparent ? (big ? U32(0, true) : "") + U32(2, true) + U16(0xFFFF, true) : "";
    d += (big ? U32(0, true) : "") + U32(uint32_t(layers.size()), true) + layers;
    d += U16(packed, true);
    const uint32_t rowBytes = depth == 1 ? (w + 7) / 8 : w * (depth / 8);
    std::string counts, rows;
    for (uint32_t c = 0; c < channels; ++c)
        for (uint32_t y = 0; y < h; ++y) {
            const std::string row = packed ? "\xFD"s + char(c * 60 + y) + char(0) + char(y)
                                           : std::string(rowBytes, char(c * 60 + y));
            counts += big ? U32(uint32_t(row.size()), true) : U16(uint16_t(row.size()), true);
            rows += row;
        }
    return d + (packed ? counts : "") + rows;
}

void PsdSeeds(const fs::path& dir) {
    const std::string jpeg = craft::EncodeJpeg(16, 12, 70);
    const std::string thumbnail = "8BIM\x04\x0C\0\0"s + craft::U32(uint32_t(28 + jpeg.size()), true) +
                                  craft::U32(1, true) + std::string(24, '\0') + jpeg +
                                  (jpeg.size() % 2 ? "\0"s : "");
    Write(dir, "rgb-packed.psd", Psd(false, 3, 3, 8, 8, 6, true, "", thumbnail));
    Write(dir, "rgba-raw.psd", Psd(false, 3, 4, 8, 5, 3, false, "", "", true));
    Write(dir, "grey16-raw.psd", Psd(false, 1, 1, 16, 4, 4, false));
    Write(dir, "grey-packed.psb", Psd(true, 1, 2, 8, 6, 4, true, "", thumbnail, true));
    Write(dir, "cmyk-packed.psd", Psd(false, 4, 5, 8, 4, 2, true));
    Write(dir, "indexed-raw.psd", Psd(false, 2, 1, 8, 4, 2, false, std::string(768, '\x40')));
    Write(dir, "bitmap-raw.psd", Psd(false, 0, 1, 1, 12, 3, false));
    Write(dir, "thumbnail-only.psd",
          Psd(false, 3, 3, 8, 300, 200, true, "", thumbnail).substr(0, 120 + jpeg.size()));
}

void WriterSeeds(const fs::path& dir) {
    const std::string encoded = craft::EncodeJpeg(16, 16, 75);
    Write(dir, "encoded.jpg", encoded.substr(0, 700));
    Write(dir, "no-app0.jpg", craft::EncodeJpeg(craft::DrawPattern(8, 8), 50, false).substr(0, 400));
    Write(dir, "all-sections.jpg",
          JpegFile().Soi().Jfif().Exif(TiffBlock(true)).Iptc({{2, 5, "x"}}).Comment("c").Bytes() +
              encoded.substr(2, 300));
    Write(dir, "short-length.jpg", "\xFF\xD8\xFF\xE0\x00\x01\xFF\xE1\xFF\xFF"s);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: quillmark-fuzz-seeds OUTDIR [PHOTO...]\n";
        return 2;
    }
    const fs::path out = argv[1];
    int n = 0;
    for (int i = 2; i < argc; ++i) {
        const fs::path photo = argv[i];
        const std::string bytes = ReadAll(photo);
        const std::string name = photo.filename().string();
        const std::string ext = Upper(photo.extension().string());
        const bool tiff = ext == ".TIF" || ext == ".TIFF" || ext == ".NEF";
        if (!tiff && bytes.compare(0, 2, "\xFF\xD8") != 0) continue;
        const std::string head = tiff ? bytes.substr(0, 8192) : HeaderSections(bytes);
        Write(out / (tiff ? "fuzz_tiff_reader" : "fuzz_jpeg_reader"), name, head);
        if (!tiff) Write(out / "fuzz_jpeg_header", name, head);
        Write(out / "fuzz_report_output", name, head);
        TimgData d(255);
        d.ProcessBytes(tiff ? "seed.tif" : "seed.jpg", head);
        if (!tiff && d.ExifSection && d.Section(d.ExifSection).Data.compare(2, 6, "Exif\0\0"s) == 0) {
            Write(out / "fuzz_tiff_reader", name + ".tif", d.Section(d.ExifSection).Data.substr(8));
            Write(out / "fuzz_jpeg_header", name + ".exif", d.Section(d.ExifSection).Data.substr(2));
        }
        if (d.ExifReader && !d.ExifReader->MakerNoteRaw.empty()) {
            const std::string selected = SelectedNote(d, tiff);
            if (!selected.empty()) Write(out / "fuzz_maker_notes", name, selected);
        }
        if (d.IptcSection) Write(out / "fuzz_iptc", name, d.Section(d.IptcSection).Data);
        for (size_t k = 0; k < d.XmpPackets.size(); ++k)
            Write(out / "fuzz_xmp", name + ".xmp" + std::to_string(k), d.XmpPackets[k]);
        if (!d.IccProfile.empty()) Write(out / "fuzz_xmp", name + ".icc", d.IccProfile);
        if (const std::string sidecar = ReadXmpSidecar(photo.string()); !sidecar.empty())
            Write(out / "fuzz_xmp", name + ".sidecar.xmp", sidecar);
        ++n;
    }

    for (const bool bigEndian : {false, true}) {
        const std::string order = bigEndian ? "-mm" : "-ii";
        const TiffBlock block = CraftedBlock(bigEndian);
        Write(out / "fuzz_jpeg_reader", "crafted" + order + ".jpg",
              JpegFile()
                  .Soi()
                  .Jfif()
                  .Comment("A comment")
                  .Exif(block)
                  .Iptc(CraftedDatasets())
                  .ScanAndEnd()
                  .Bytes());
        Write(out / "fuzz_tiff_reader", "crafted" + order + ".tif", block.Build());
        Write(out / "fuzz_jpeg_header", "crafted" + order + ".jpg",
              JpegFile().Soi().Jfif().Exif(block).Image(24, 16, 60).Bytes());
        Write(out / "fuzz_jpeg_header", "crafted" + order + ".exif", craft::ExifApp1Body(block.Build()));
    }
    Write(out / "fuzz_jpeg_reader", "comment-only.jpg",
          JpegFile().Soi().Comment("Only a comment").ScanAndEnd().Bytes());
    CraftedMakerNotes(out / "fuzz_maker_notes");
    Write(out / "fuzz_iptc", "crafted", "\xFF\xED\0\0"s + craft::PhotoshopApp13Body(CraftedDatasets()));
    Write(out / "fuzz_iptc", "bare-datasets",
          "\0\0Photoshop 3.0\0"s + craft::IptcDatasets(CraftedDatasets()));
    GifSeeds(out / "fuzz_gif_frames");
    WriterSeeds(out / "fuzz_writer_skip");
    PsdSeeds(out / "fuzz_psd_decode");
    std::cout << "seeds from " << n << " photos and crafted files in " << out.string() << "\n";
    return 0;
}
