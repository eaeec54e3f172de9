#include "MakerNotes.h"

#include "ImageInfo.h"
#include "ImgData.h"
#include "MakerDecoders.h"
#include "MakerTables.h"
#include "ReaderSettings.h"
#include "TagTables.h"
#include "ValueFormat.h"

#include <cstdio>
#include <utility>

namespace quillmark {

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Sets the decoders' target for one walk and clears it on every way out.
class DecoderTargetScope {
public:
    explicit DecoderTargetScope(TImageInfo* reader) { DecoderTarget() = {reader, 0}; }
    ~DecoderTargetScope() { DecoderTarget() = {}; }
};

} // namespace

TmsInfo::TmsInfo(bool fromTiff, TImageInfo* reader)
    : FromTiff(fromTiff), Reader(reader),
      // The note's position as it would be in a JPEG's EXIF block (base 9), whatever the block's base.
      Position(reader ? ClampToInt32(int64_t{reader->MakerNotePos} + 9 -
                                     (reader->Owner ? reader->Owner->BlockBase : 9))
                      : 0) {}

bool TmsInfo::DecodeMakerNote(TImageInfo& reader) {
    const std::string key = Upper(reader.CameraMake.substr(0, 5));
    DecoderTargetScope scope(&reader);
    for (const TMakerLayout& layout : MakerLayouts()) {
        if (key != layout.Key) continue;
        if (layout.Applies && !layout.Applies(reader, FromTiff)) continue;
        // The note's place comes from the file: near the top of the 32-bit range, adding to it must
        // not overflow.
        const int32_t B =
            layout.BFromPosition ? ClampToInt32(int64_t{Position} + layout.BOffset) : layout.BOffset;
        const bool bigEndian = reader.BigEndian;
        if (layout.LittleEndian) reader.BigEndian = false;
        reader.WalkMakerDirectory(reader.MakerNoteRaw, layout.Table, layout.S, B, layout.A);
        reader.BigEndian = bigEndian;
        return true;
    }
    return false;
}

void TImageInfo::WalkMakerDirectory(const std::string& makerNote, std::span<const TTagRow> table, int32_t S,
                                    int32_t B, int32_t A) {
    // Directory reads go to the maker note; values outside it come from the EXIF block. The block
    // being read is put aside, not copied, and given back at the end whatever happens.
    std::string saved = std::exchange(DataBuffer, makerNote);
    const std::string& block = Owner ? Owner->GetData() : saved;
    auto& settings = ReaderSettings();
    try {
        const int64_t D = static_cast<int64_t>(S) + 1;
        const uint16_t count = Read16(D);
        for (int64_t i = 0; i < count; ++i) {
            const int64_t E = D + 2 + 12 * i;
            const uint16_t tag = Read16(E);
            const uint16_t type = Read16(E + 2);
            const auto components = static_cast<uint32_t>(Read32(E + 4));
            const int64_t byteCount = static_cast<int64_t>(components) * ComponentSize(type);
            int64_t O = 0, V = E + 8;
            if (byteCount > 4) {
                O = Read32(E + 8);
                V = O + D - B + 1;
            }
            // A value that lies wholly inside the note is read there, up to and including its last
            // byte; only one that does not is looked for in the EXIF block.
            std::string raw;
            if (V >= 1 && V + byteCount - 1 <= static_cast<int64_t>(makerNote.size()))
                raw = makerNote.substr(static_cast<size_t>(V - 1), static_cast<size_t>(byteCount));
            else
                raw = tEndInd::Slice(block, std::max<int64_t>(1, A + O), byteCount);

            const int index = IndexOfTag(tag, table);
            const std::string caption = index >= 0 ? table[static_cast<size_t>(index)].Caption : "Unknown";
            if (caption.size() == 4 && Upper(caption) == "SKIP") continue;
            if (!BuildsLists()) continue;

            const TTagRow* row = index >= 0 ? &table[static_cast<size_t>(index)] : nullptr;
            std::string valueText;
            if (type == ttAscii)
                valueText = "\"" + raw.substr(0, raw.find('\0')) + "\"";
            else if (type == ttUndefined)
                valueText = "\"" + raw + "\"";
            else
                valueText = ValueText(raw, type, row && settings.DecodeValues ? row->ValueMap : "",
                                      row ? row->FormatPattern : "", BigEndian);

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

            if (settings.KeepTraces) {
                if (settings.TraceDetail > 0) {
                    MakerTrace += "\r\ntag[$" + HexWord(tag) + "]: " + caption + " = " +
                                  (multi ? "" : display) + " [size: " + std::to_string(byteCount) +
                                  "] [raw: " + HexDump(raw) + "] [start: " + std::to_string(V) + "]" +
                                  (multi ? display : "");
                } else if (multi) {
                    MakerTrace += display + "\r\n" + caption + " = " + valueText;
                } else {
                    MakerTrace += "\r\n" + caption + " = " + display;
                }
            }

            if (row) {
                TTagEntry e = EntryFromRow(*row);
                e.ListId = 1;
                e.FieldType = type;
                e.Raw = std::move(raw);
                e.Text = multi ? valueText : display;
                AddEntry(std::move(e));
            }
        }
    } catch (const std::exception& failure) {
        if (Owner) Owner->ErrorText = std::string("Error Detected = ") + failure.what();
    }
    DataBuffer = std::move(saved);
}

} // namespace quillmark
