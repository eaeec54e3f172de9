// The makers whose notes are decoded: one tag table per maker layout, and the dispatch table that
// chooses a layout from the photo's Make. Adding a maker means adding its table and one row to
// the dispatch table, both in MakerTables.cpp.
#pragma once

#include "TagEntry.h"

#include <cstdint>
#include <span>

namespace quillmark {

class TImageInfo;

// A directory inside a maker's note, named by an entry of its main directory, whose entries are read with a
// table of their own. Only the entries of that table are read from it.
struct TMakerSubDirectory {
    uint16_t Tag;
    std::span<const TTagRow> Table;
};

// How one maker's directory is laid out inside its maker note.
struct TMakerLayout {
    const char* Key;  // the first five letters of the Make, upper-cased
    const char* Name; // for traces and tests
    // Whether this layout applies (the first matching row of a key wins); nullptr: always.
    bool (*Applies)(const TImageInfo& reader, bool fromTiff);
    std::span<const TTagRow> Table;
    int32_t S;          // the directory's offset from the start of the maker note
    bool BFromPosition; // B = maker-note position + BOffset when set, else B = BOffset
    int32_t BOffset;
    bool LittleEndian; // walked little-endian whatever the EXIF block's byte order
    // Where the note carries its own byte-order mark ("II" or "MM"), which then rules the walk;
    // -1 when it has none and the EXIF block's order (or LittleEndian) holds.
    int32_t OrderMark = -1;
    // The mark begins a TIFF header of the note's own: the directory lies where the header says and
    // value offsets count from the header (S and B above give the usual header's values).
    bool OwnTiffHeader = false;
    // Directories the main one points to, read one level deep with the same value offsets.
    std::span<const TMakerSubDirectory> SubDirectories = {};
};

// The layouts in the order they are tried.
std::span<const TMakerLayout> MakerLayouts();

// The ten maker tag tables.
std::span<const TTagRow> NikonTable();
std::span<const TTagRow> NikonOldTable();
std::span<const TTagRow> OlympusTable();
std::span<const TTagRow> CasioTable();
std::span<const TTagRow> CasioQvcTable();
std::span<const TTagRow> FujiTable();
std::span<const TTagRow> CanonTable();
std::span<const TTagRow> SeikoTable();
std::span<const TTagRow> SanyoTable();
std::span<const TTagRow> MinoltaTable();

} // namespace quillmark
