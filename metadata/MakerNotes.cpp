#include "MakerNotes.h"

#include "ImageInfo.h"
#include "ImgData.h"
#include "MakerDecoders.h"
#include "MakerTables.h"
#include "ReaderSettings.h"
#include "TagTables.h"
#include "ValueFormat.h"

#include <algorithm>
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

} // namespace

TmsInfo::TmsInfo(bool fromTiff, TImageInfo* reader)
    : FromTiff(fromTiff), Reader(reader),
      // The note's position as it would be in a JPEG's EXIF block (base 9), whatever the block's base.
      Position(reader ? ClampToInt32(int64_t{reader->MakerNotePos} + 9 -
                                     (reader->Owner ? reader->Owner->BlockBase : 9))
                      : 0) {}

bool TmsInfo::DecodeMakerNote(TImageInfo& reader) {
    const std::string key = AsciiUpper(reader.CameraMake.substr(0, 5));
    DecoderTargetScope scope(&reader);
    for (const TMakerLayout& layout : MakerLayouts()) {
        if (key != layout.Key) continue;
        if (layout.Applies && !layout.Applies(reader, FromTiff)) continue;
        // The note's place comes from the file: near the top of the 32-bit range, adding to it must
        // not overflow.
        int32_t S = layout.S;
        int32_t B = layout.BFromPosition ? ClampToInt32(int64_t{Position} + layout.BOffset) : layout.BOffset;
        const bool bigEndian = reader.BigEndian;
        const std::string& note = reader.MakerNoteRaw;
        if (layout.LittleEndian) reader.BigEndian = false;
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
    return false;
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
        const std::optional<int64_t> shift = ValueShift(note, D, count, B);
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
    // Beyond half the budget only a short head of a text is read, as the directory walk does.
    const size_t textLimit = Budget().KeepsWholeValues() ? kTextInputLimit : kOverBudgetKeep;
    std::string valueText;
    if (type == ttAscii) {
        // Only the head that can be shown is looked at for its closing zero.
        const std::string_view head = raw.substr(0, textLimit);
        valueText = "\"" + std::string(head.substr(0, head.find('\0'))) + "\"";
    } else if (type == ttUndefined) {
        valueText = "\"" + std::string(raw.substr(0, textLimit)) + "\"";
    } else {
        valueText = ValueText(raw, type, row && settings.DecodeValues ? row->ValueMap : "",
                              row ? row->FormatPattern : "", BigEndian);
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
        AddEntry(std::move(e));
    }
}

} // namespace quillmark
