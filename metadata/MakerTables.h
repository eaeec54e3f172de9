// The makers whose notes are decoded: one tag table per maker layout, and the dispatch table that
// chooses a layout from the note's own header or the photo's Make. Adding a maker means adding its
// table and one row to the dispatch table, both in MakerTables.cpp.
#pragma once

#include "TagEntry.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

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
    // The start of the Make as cameras write it, upper-cased ("SONY", "RICOH IMAGING"): the layout
    // is a candidate for every Make that begins with it once folded to upper case and stripped of
    // trailing blanks (NormalisedMake).
    const char* Key;
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
    // The first bytes of the notes this layout reads when they name their writer ("Apple iOS\0",
    // "AOC\0"): such a note is read with this layout whatever the Make says, and the layout is never
    // taken for a note without them.
    std::string_view Header = {};
    // A note written in the other byte order than its EXIF block (software that rewrote the block
    // leaves the note as the camera wrote it): the order that makes the directory consistent rules.
    bool OrderFromNote = false;
    // Makers whose note is not a directory, or who write none: the one entry shown instead, made
    // from the note's bytes (empty when there is no note).
    std::string (*Describe)(std::string_view note) = nullptr;
};

// The layouts in the order they are tried.
std::span<const TMakerLayout> MakerLayouts();

// The Make as layouts are keyed: upper-cased, without trailing blanks and zero bytes.
std::string NormalisedMake(std::string_view make);
// The layout a maker note is read with: the first whose header the note begins with, else the
// first whose key begins the normalised Make (and whose test, if any, holds); nullptr for none.
const TMakerLayout* FindMakerLayout(const TImageInfo& reader, bool fromTiff);

// The maker tag tables.
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
std::span<const TTagRow> SonyTable();
std::span<const TTagRow> PanasonicTable();
std::span<const TTagRow> PentaxTable();
std::span<const TTagRow> AppleTable();
std::span<const TTagRow> SamsungTable();
std::span<const TTagRow> RicohTable();
std::span<const TTagRow> SigmaTable();
std::span<const TTagRow> DjiTable();

} // namespace quillmark
