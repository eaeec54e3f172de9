#include "MakerNotes.h"

#include "ImageInfo.h"
#include "ImgData.h"
#include "MakerDecoders.h"
#include "MakerTables.h"
#include "ReaderSettings.h"
#include "TagTables.h"
#include "ValueFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace quillmark {

namespace {

// Sets the decoders' target for one walk and clears it on every way out.
class DecoderTargetScope {
public:
    explicit DecoderTargetScope(TImageInfo* reader) { DecoderTarget() = {reader, 0}; }
    ~DecoderTargetScope() { DecoderTarget() = {}; }
};

// Text values are shown cut (display texts keep 50 characters, decoders read their first
// elements): no more of a text value than this is ever formatted.
constexpr size_t kTextInputLimit = 4096;

// Where the values a maker directory keeps outside its entries really lie, as a shift to add to the
// positions its offsets give. A camera writes them right after the directory (and its 4-byte
// pointer to a next one), inside the note. Software that moves a note without rewriting its
// offsets leaves them all pointing the same distance away; the shift that brings the first value
// back behind the directory, when it brings every value inside the note, undoes that. No shift
// when the first value is where it belongs or every value lies inside the note after the
// directory; none at all when no single shift puts them there (the offsets are then not to be
// trusted).
std::optional<int64_t> ValueShift(const tEndInd& note, int64_t D, uint16_t count, int64_t B) {
    struct Value {
        int64_t Start, Size;
    };
    std::vector<Value> values;
    values.reserve(count);
    const int64_t end = D + 2 + 12 * int64_t{count}; // just past the entries
    for (int64_t i = 0; i < count; ++i) {
        const int64_t E = D + 2 + 12 * i;
        if (!note.Holds(E, 12)) break;
        const int64_t size = static_cast<int64_t>(static_cast<uint32_t>(note.Read32(E + 4))) *
                             ComponentSize(note.Read16(E + 2));
        if (size > 4)
            values.push_back({int64_t{static_cast<uint32_t>(note.Read32(E + 8))} + D - B + 1, size});
    }
    const auto noteSize = static_cast<int64_t>(note.GetData().size());
    const auto lands = [&](int64_t shift) {
        return std::all_of(values.begin(), values.end(), [&](const Value& v) {
            return v.Start + shift >= end && v.Start + shift + v.Size - 1 <= noteSize;
        });
    };
    if (values.empty()) return 0;
    const int64_t first = std::min_element(values.begin(), values.end(), [](const Value& a, const Value& b) {
                              return a.Start < b.Start;
                          })->Start;
    // Where the layout puts it: a value that then runs past the note's end is the camera's own
    // doing (some write a last value beyond the size they give the note) and costs only itself.
    if (first == end + 4 || first == end || lands(0)) return 0;
    for (const int64_t expected : {end + 4, end})
        if (lands(expected - first)) return expected - first;
    return std::nullopt;
}

// Floating-point values (a drone's speeds and attitude), up to 16 of them.
std::string FloatsText(std::string_view raw, uint16_t type, bool bigEndian) {
    const size_t size = type == ttFloat ? 4 : 8;
    std::string text;
    for (size_t at = 0; at + size <= raw.size() && at < 16 * size; at += size) {
        uint64_t bits = 0;
        for (size_t k = 0; k < size; ++k)
            bits = bits << 8 | static_cast<unsigned char>(raw[at + (bigEndian ? k : size - 1 - k)]);
        double value;
        if (size == 4) {
            const auto narrow = static_cast<uint32_t>(bits);
            float f;
            std::memcpy(&f, &narrow, 4);
            value = f;
        } else {
            std::memcpy(&value, &bits, 8);
        }
        if (!text.empty()) text += ", ";
        if (!std::isfinite(value) || std::fabs(value) > 1e15) {
            text += "n/a";
            continue;
        }
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.6g", value);
        text += buffer;
    }
    return text;
}

} // namespace

TmsInfo::TmsInfo(bool fromTiff, TImageInfo* reader)
    : FromTiff(fromTiff), Reader(reader),
      // The note's position as it would be in a JPEG's EXIF block (base 9), whatever the block's base.
      Position(reader ? ClampToInt32(int64_t{reader->MakerNotePos} + 9 -
                                     (reader->Owner ? reader->Owner->BlockBase : 9))
                      : 0) {}

namespace {

// The byte order a note's directory is consistent in: the block's own, unless only the other one
// gives a count the note can hold and entries of known types (a block rewritten in the other order
// by software that left the note as the camera wrote it).
bool ConsistentOrder(const std::string& note, int32_t S, bool blockBigEndian) {
    const auto consistent = [&](bool bigEndian) {
        if (S < 0 || note.size() < static_cast<size_t>(S) + 2) return false;
        const std::string_view v = std::string_view(note).substr(static_cast<size_t>(S));
        const auto count = static_cast<uint32_t>(BytesToInt(v.substr(0, 2), bigEndian)) & 0xFFFFu;
        if (count == 0 || 2 + 12 * uint64_t{count} > v.size() + 12) return false;
        for (uint32_t i = 0; i < count && i < 8 && 2 + 12 * size_t{i} + 4 <= v.size(); ++i) {
            const auto type =
                static_cast<uint32_t>(BytesToInt(v.substr(2 + 12 * i + 2, 2), bigEndian)) & 0xFFFFu;
            if (type < 1 || type > 13) return false;
        }
        return true;
    };
    if (consistent(blockBigEndian) || !consistent(!blockBigEndian)) return blockBigEndian;
    return !blockBigEndian;
}

// The one entry of a maker whose note is not a directory (or who writes none).
void DescribeNote(TImageInfo& reader, const TMakerLayout& layout) {
    const std::string text = layout.Describe(reader.MakerNoteRaw);
    const std::string caption =
        reader.MakerNoteRaw.empty() ? "Maker note" : std::string(layout.Name) + " note";
    if (ReaderSettings().KeepTraces) {
        const std::string line = "\r\n" + caption + " = " + text;
        if (reader.KeepsTrace(line.size())) reader.MakerTrace += line;
    }
    reader.AddMakerItem(caption, text, ttAscii, 0x927C);
}

} // namespace

bool TmsInfo::DecodeMakerNote(TImageInfo& reader) {
    DecoderTargetScope scope(&reader);
    const TMakerLayout* found = FindMakerLayout(reader, FromTiff);
    if (!found) return false;
    const TMakerLayout& layout = *found;
    if (layout.Describe) {
        DescribeNote(reader, layout);
        return true;
    }
    // The note's place comes from the file: near the top of the 32-bit range, adding to it must
    // not overflow.
    int32_t S = layout.S;
    int32_t B = layout.BFromPosition ? ClampToInt32(int64_t{Position} + layout.BOffset) : layout.BOffset;
    const bool bigEndian = reader.BigEndian;
    const std::string& note = reader.MakerNoteRaw;
    if (layout.LittleEndian) reader.BigEndian = false;
    if (layout.OrderFromNote) reader.BigEndian = ConsistentOrder(note, S, reader.BigEndian);
    const auto mark = static_cast<size_t>(layout.OrderMark);
    if (layout.OrderMark >= 0 && note.size() >= mark + 2) {
        reader.BigEndian = note[mark] == 'M';
        if (layout.OwnTiffHeader && note.size() >= mark + 8) {
            // The header's own directory offset; value offsets count from the header.
            const auto ifd = static_cast<uint32_t>(
                BytesToInt(std::string_view(note).substr(mark + 4, 4), reader.BigEndian));
            S = ClampToInt32(int64_t{layout.OrderMark} + ifd);
            B = ClampToInt32(int64_t{S} + 1 - layout.OrderMark);
        }
    }
    reader.WalkMakerDirectory(note, layout.Table, S, B, layout.SubDirectories);
    reader.BigEndian = bigEndian;
    return true;
}

void TmsInfo::NoteMissingMakerNote(TImageInfo& reader) {
    if (reader.MakerNoteDecoded || !reader.MakerNoteRaw.empty() || reader.CameraMake.empty()) return;
    const std::string make = NormalisedMake(reader.CameraMake);
    for (const TMakerLayout& layout : MakerLayouts()) {
        if (!layout.Describe || !layout.Header.empty() || !make.starts_with(layout.Key)) continue;
        try {
            DescribeNote(reader, layout);
            reader.MakerNoteDecoded = true;
        } catch (const std::exception&) {
            // Only a note of what is missing; nothing is lost without it.
        }
        return;
    }
}

void TImageInfo::WalkMakerDirectory(const std::string& makerNote, std::span<const TTagRow> table, int32_t S,
                                    int32_t B, std::span<const TMakerSubDirectory> subDirectories) {
    // The note is read on its own, in the walk's byte order; its values come from the note only.
    auto& settings = ReaderSettings();
    const bool detail = settings.KeepTraces && settings.TraceDetail > 0;
    try {
        tEndInd note;
        note.BigEndian = BigEndian;
        note.SetData(makerNote);
        const int64_t D = static_cast<int64_t>(S) + 1;
        const uint16_t count = note.Read16(D);
        if (count == 0) return;
        // The check of where the values lie reads every entry once more: it counts as work.
        if (!Budget().Step(count)) return;
        const std::optional<int64_t> shift = MakerValueBase
                                                 ? std::optional<int64_t>(*MakerValueBase - (D - B + 1))
                                                 : ValueShift(note, D, count, B);
        if (!shift) {
            if (detail)
                AppendTrace(MakerTrace,
                            "\r\nMaker note: its values lie outside the note wherever its offsets "
                            "are taken to count from; no entries shown");
            return;
        }
        if (*shift != 0 && detail)
            AppendTrace(MakerTrace, "\r\nMaker note: moved without its offsets; each value read " +
                                        std::to_string(*shift) + " bytes from where its offset points");
        WalkMakerEntries(note, D, D - B + 1 + *shift, table, subDirectories, false);
    } catch (const std::exception& failure) {
        if (Owner) Owner->ErrorText = std::string("Error Detected = ") + failure.what();
    }
}

void TImageInfo::WalkMakerEntries(const tEndInd& note, int64_t D, int64_t base,
                                  std::span<const TTagRow> table,
                                  std::span<const TMakerSubDirectory> subDirectories, bool listedOnly) {
    auto& settings = ReaderSettings();
    const bool detail = settings.KeepTraces && settings.TraceDetail > 0;
    const std::string_view bytesOfNote = note.GetData();
    const auto noteSize = static_cast<int64_t>(bytesOfNote.size());
    // Each directory of the note is read once, however many entries point at it.
    if (!MakerVisited.insert({MakerNotePos, D}).second) return;
    const uint16_t count = note.Read16(D);
    for (int64_t i = 0; i < count; ++i) {
        if (++EntriesRead > kMaxEntries || !Budget().Step()) break;
        const int64_t E = D + 2 + 12 * i;
        const uint16_t tag = note.Read16(E);
        const uint16_t type = note.Read16(E + 2);
        const auto components = static_cast<uint32_t>(note.Read32(E + 4));
        const int64_t byteCount = static_cast<int64_t>(components) * ComponentSize(type);
        const auto offset = int64_t{static_cast<uint32_t>(note.Read32(E + 8))};
        int64_t V = E + 8;
        if (byteCount > 4) V = offset + base;
        const int index = IndexOfTag(tag, table);
        if (index < 0 && listedOnly) continue;
        const std::string caption = index >= 0 ? table[static_cast<size_t>(index)].Caption : "Unknown";
        if (caption.size() == 4 && AsciiUpper(caption) == "SKIP") continue;
        // Values are read inside the note only. One that lies (partly) outside it is left out.
        if (V < 1 || V + byteCount - 1 > noteSize) {
            if (detail)
                AppendTrace(MakerTrace,
                            "\r\ntag[$" + HexWord(tag) + "]: value outside the maker note, left out");
            continue;
        }
        const std::string_view raw =
            bytesOfNote.substr(static_cast<size_t>(V - 1), static_cast<size_t>(byteCount));
        ListMakerEntry(tag, type, raw, V, index >= 0 ? &table[static_cast<size_t>(index)] : nullptr, caption);

        // A directory this one points to (an IFD, or a LONG holding its offset): read once, and a
        // damaged one costs only itself.
        for (const TMakerSubDirectory& sub : subDirectories) {
            if (sub.Tag != tag || components != 1 || (type != ttLong && type != ttIfd)) continue;
            try {
                WalkMakerEntries(note, offset + base, base, sub.Table, {}, true);
            } catch (const ReadError&) {
                if (detail)
                    AppendTrace(MakerTrace,
                                "\r\ntag[$" + HexWord(tag) + "]: directory outside the maker note, left out");
            }
        }
    }
}

void TImageInfo::ListMakerEntry(uint16_t tag, uint16_t type, std::string_view raw, int64_t V,
                                const TTagRow* row, const std::string& caption) {
    if (!BuildsLists()) return;
    auto& settings = ReaderSettings();
    const auto byteCount = static_cast<int64_t>(raw.size());
    // A row with a value map describes a number; the same tag holding text or bytes (older bodies
    // of a maker keep binary blocks under tags newer ones use for settings) is not what it maps.
    if (row && row->ValueMap[0] != '\0' && (type == ttAscii || type == ttUndefined)) row = nullptr;
    // Beyond half the budget only a short head of a text is read, as the directory walk does.
    const size_t textLimit = Budget().KeepsWholeValues() ? kTextInputLimit : kOverBudgetKeep;
    std::string valueText;
    if (type == ttAscii) {
        // Only the head that can be shown is looked at for its closing zero.
        std::string_view head = raw.substr(0, textLimit);
        head = head.substr(0, head.find('\0'));
        // Cameras pad a text to its field with blanks ("FINE   "), which are no part of it.
        while (!head.empty() && head.back() == ' ')
            head.remove_suffix(1);
        valueText = "\"" + std::string(head) + "\"";
    } else if (type == ttUndefined) {
        valueText = "\"" + std::string(raw.substr(0, textLimit)) + "\"";
    } else if (type == ttFloat || type == ttDouble) {
        valueText = FloatsText(raw, type, BigEndian);
    } else {
        valueText = ValueText(raw, type, row && settings.DecodeValues ? row->ValueMap : "",
                              row ? row->FormatPattern : "", BigEndian);
        // A code the map does not know is shown as the number it is, as such.
        if (row && settings.DecodeValues && row->ValueMap[0] != '\0' && TrimText(valueText).empty() &&
            !raw.empty())
            valueText = "Unknown (" + ValueText(raw, type, "", "", BigEndian) + ")";
        if (row && std::strchr(row->ValueMap, '|'))
            std::replace(valueText.begin(), valueText.end(), '|', ',');
    }

    settings.MultiLine = false;
    std::string display;
    if (row && row->Formatter && settings.DecodeValues) {
        DecoderTarget().ParentTag = tag;
        try {
            display = row->Formatter(valueText);
        } catch (const FormatError&) {
            display = CleanText(valueText);
        }
    } else {
        display = CleanText(valueText);
    }
    const bool multi = settings.MultiLine;

    if (settings.KeepTraces && KeepsTrace(0)) {
        std::string line;
        if (settings.TraceDetail > 0) {
            line = "\r\ntag[$" + HexWord(tag) + "]: " + caption + " = " + (multi ? "" : display) +
                   " [size: " + std::to_string(byteCount) + "] [raw: " + HexDump(raw) +
                   "] [start: " + std::to_string(V) + "]" + (multi ? display : "");
        } else if (multi) {
            line = display + "\r\n" + caption + " = " + valueText;
        } else {
            line = "\r\n" + caption + " = " + display;
        }
        AppendTrace(MakerTrace, line);
    }

    if (row) {
        TTagEntry e = EntryFromRow(*row);
        e.ListId = 1;
        e.FieldType = type;
        e.Raw = std::string(KeptBytes(raw));
        e.Text = multi ? std::move(valueText) : std::move(display);
        const bool outer = std::exchange(TagZeroIsReal, true);
        AddEntry(std::move(e));
        TagZeroIsReal = outer;
    }
}

} // namespace quillmark
