// The built-in tag tables (TIFF/EXIF, GPS, JPEG marker names) and their look-ups.
#pragma once

#include "TagEntry.h"

#include <span>
#include <string>
#include <string_view>

namespace quillmark {

// Directory kinds of the walk: they choose the tag table.
enum DirectoryKind : int { dkMain = 1, dkGps = 2, dkThumbnail = 4 };

// 362 rows: 361 tags and a closing "Unknown" row with Tag 0.
std::span<const TTagRow> MainTagTable();
// 32 rows, tags 0x0000 to 0x001F.
std::span<const TTagRow> GpsTagTable();
// 30 rows: marker code in Tag, name in Caption.
std::span<const TTagRow> MarkerNameTable();

// Fills the empty captions of the main and GPS tables, once per program run: later calls do nothing.
void FillCaptions(bool splitWords);

// "FocalLength" -> "Focal Length": a space before each upper-case letter that follows a character
// that is not an upper-case letter.
std::string SplitCamelCase(std::string_view name);

// The main-table row (kinds 1 and 4) or GPS row (kind 2) with that tag; the closing "Unknown" row
// (Tag 0) when none matches or for any other kind.
TTagEntry LookupTagEntry(uint16_t tag, int kind);

// Index of the first row of a table with that tag; -1 if none.
int IndexOfTag(uint16_t tag, std::span<const TTagRow> table);
// The value map of the last row with that tag; empty if none.
std::string ValueMapOf(uint16_t tag, std::span<const TTagRow> table);
// Index of the first of the 361 tag rows of the main table whose name matches, ignoring case.
int MainTableIndexOfName(std::string_view name);
// A main-table row as an entry, with its caption as currently filled.
TTagEntry MainTableEntry(int index);

// Name of a JPEG marker; "Unknown" when no row has that code. The last matching row wins.
std::string MarkerName(int code);

// ASCII comparison ignoring letter case, as every look-up by name does.
bool SameName(std::string_view a, std::string_view b);

} // namespace quillmark
