// The one record that carries every piece of metadata: table rows and decoded entries alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// Rewrites a display text into a friendlier one. May throw FormatError when the text is not what
// it expects; the directory walk then falls back to the cleaned text.
using TFormatter = std::string (*)(const std::string&);

// The directory an entry was read from.
enum TTagGroup : uint8_t {
    tgIFD0,
    tgExifIFD,
    tgGPS,
    tgInterop,
    tgIFD1,
    tgMakerNotes,
    tgIPTC,
    tgSubIFD,
    tgXMP,
    tgICCProfile,
};

struct TTagEntry {
    int32_t ListId = 0;     // 0: directory walk, 1: maker note
    uint16_t FieldType = 0; // TIFF field type of the stored value
    uint16_t SubCode = 0;   // IPTC record number
    uint16_t Tag = 0;       // 0: stands for no tag, never stored
    TTagGroup Group = tgIFD0;
    bool RawBigEndian = false; // byte order of Raw's numbers (a maker note may differ from its block)
    std::string Name;          // key without spaces; lookups ignore letter case
    std::string Caption;       // label shown to the user
    // The map and the pattern always come from the constant tables, so entries only point at them.
    std::string_view ValueMap; // "code:text,code:text"
    std::string Text;          // display value
    std::string Raw;           // value bytes
    int32_t ValueOffset = 0;   // 1-based position of the value in the EXIF block, 0 when none
    std::string_view FormatPattern;
    int32_t RawSize = 0;
    TFormatter Formatter = nullptr;
};

// A constant table row. Tables are arrays of these; a TTagEntry is made from a row when it is
// looked up or stored.
struct TTagRow {
    uint16_t Tag;
    const char* Name;
    const char* Caption;
    const char* ValueMap;
    const char* FormatPattern;
    TFormatter Formatter;
};

inline TTagEntry EntryFromRow(const TTagRow& row) {
    TTagEntry e;
    e.Tag = row.Tag;
    e.Name = row.Name;
    e.Caption = row.Caption;
    e.ValueMap = row.ValueMap;
    e.FormatPattern = row.FormatPattern;
    e.Formatter = row.Formatter;
    return e;
}

} // namespace quillmark
