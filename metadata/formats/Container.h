// What a photo container holds, as one format's scan finds it: where its EXIF TIFF structure lies,
// its XMP packets, IPTC, ICC profile, embedded previews, and the picture's own size and orientation.
// A scan reads only the places it needs from a TByteSource, never pixel data, and every size it
// takes from the file is a 64-bit number checked against what the file holds.
#pragma once

#include "../ByteSource.h"
#include "../TagEntry.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

// Bytes [Offset, Offset + Length) of the file.
struct TFileRegion {
    uint64_t Offset = 0;
    uint64_t Length = 0;
};

// An embedded picture other than the main one: an EXIF thumbnail, a raw file's preview, a HEIF
// thumbnail item, an MPF second image.
struct TPreview {
    std::string Kind;  // "Thumbnail", "Preview", "JpgFromRaw", "MPF", "THMB", "PRVW", ...
    std::string Codec; // "JPEG", "HEVC", "AV1", ... ("" when unknown)
    TFileRegion Region;
    uint32_t Width = 0, Height = 0; // 0 when the file does not say
};

// A TIFF structure found inside a container, copied out (bounded by kMaxBlockBytes). Bytes begin
// with its TIFF header ("II*\0", "MM\0*"); offsets inside it count from its first byte.
struct TTiffStructure {
    static constexpr uint64_t kNotInFile = UINT64_MAX;
    std::string Bytes;
    uint64_t FileOffset = kNotInFile; // where Bytes[0] lies in the file; kNotInFile when decompressed
    // What its first directory is: IFD0 for most; Canon CR3 keeps the EXIF directory (CMT2), the maker
    // note (CMT3) and GPS (CMT4) each as a TIFF structure of its own.
    TTagGroup Group = tgIFD0;
};

// A value a container keeps outside any TIFF structure (Canon CRW's CIFF records), as the EXIF tag
// that means the same: Tag, its TIFF field type, and the value bytes in big-endian order.
struct TContainerField {
    TTagGroup Group = tgIFD0;
    uint16_t Tag = 0;
    uint16_t FieldType = 0;
    std::string Bytes;
};

struct TContainerScan {
    std::string Format; // short name for reports and JSON: "HEIC", "AVIF", "CR3", "JXL", "PNG", ...
    std::vector<TTiffStructure> Exif;
    // A TIFF structure to read where it lies, as a TIFF file is read (MRW's TTW block).
    std::optional<TFileRegion> TiffInFile;
    // A whole JPEG inside the file that carries the photo's EXIF (RAF), read as a JPEG file is.
    std::optional<TFileRegion> EmbeddedJpeg;
    std::vector<TContainerField> Fields;
    std::vector<std::string> Xmp; // packets in file order
    std::string Iptc;             // IPTC-IIM datasets
    std::string Icc;              // ICC profile bytes
    std::string Comment;
    std::vector<TPreview> Previews;
    uint32_t Width = 0, Height = 0; // the main picture's, 0 when unknown
    int Orientation = 0;            // as EXIF counts 1..8, from the container's own fields; 0: none
    // What was found but not read, or damage met on the way ("brob box not decompressed", "box past
    // the end of the file"): said in the report, never an error on its own.
    std::vector<std::string> Notes;
};

// Bounds every scan keeps, whatever the file claims.
inline constexpr uint64_t kMaxBlockBytes = 16u << 20; // one EXIF, XMP, ICC or IPTC block copied out
inline constexpr int kMaxBoxes = 10000;               // boxes, chunks or records looked at per file
inline constexpr int kMaxBoxDepth = 16;               // nesting of boxes

// A format's scan: fills `out` from the file; false when the file is not of the format after all
// (its first bytes lied). Damage after a good start is a note, not a failure. Never throws.
using TScanFunction = bool (*)(TByteSource& source, uint64_t fileSize, TContainerScan& out);

} // namespace quillmark
