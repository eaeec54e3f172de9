#include "ImageInfo.h"

#include "ByteView.h"
#include "ImgData.h"
#include "MakerNotes.h"
#include "ReaderSettings.h"
#include "TagTables.h"
#include "ValueFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace quillmark {

namespace {

// Display texts of text-like fields never need more than this much of the value: cleaned texts keep
// 50 characters and the callbacks for such fields look at their first few.
constexpr size_t kTextInputLimit = 4096;

// The user comment, GPSProcessingMethod and GPSAreaInformation (a character code in their first
// eight bytes) and the Windows XP texts (UTF-16LE). The tag is the row's: GPS tags lie below 0x20,
// where the main table has no rows.
bool IsEncodedText(uint16_t tag) {
    return tag == 0x9286 || (tag >= 0x9C9B && tag <= 0x9C9F) || tag == 0x001B || tag == 0x001C;
}

// The texts that begin with an 8-byte character code: the user comment, and GPSProcessingMethod
// and GPSAreaInformation. The others are the Windows XP texts.
bool HasCharacterCode(uint16_t tag) {
    return tag == 0x9286 || tag == 0x001B || tag == 0x001C;
}

} // namespace

TImageInfo::TImageInfo(TimgData* owner, int32_t buildMode) : Owner(owner), BuildMode(buildMode) {
    FillCaptions(true);
    // A camera photo holds some fifty to a hundred entries: room for them without regrowing.
    Entries.reserve(96);
}

std::string_view TImageInfo::BlockBytes(int64_t position, int64_t length) const {
    const std::string& block = Owner ? Owner->GetData() : DataBuffer;
    const auto size = static_cast<int64_t>(block.size());
    if (position < 1 || position > size || length <= 0) return {};
    const int64_t available = size - (position - 1);
    return std::string_view(block).substr(static_cast<size_t>(position - 1),
                                          static_cast<size_t>(std::min(length, available)));
}

bool TImageInfo::BuildsTrace() const {
    return (BuildMode == bmTrace || BuildMode == bmBoth) && ReaderSettings().KeepTraces;
}

std::string TImageInfo::TraceLine(uint16_t tag, const std::string& caption, const std::string& text,
                                  int64_t size, int64_t start) const {
    const bool detail = ReaderSettings().TraceDetail > 0;
    std::string line = "\r\n";
    if (detail) line += "tag[$" + HexWord(tag) + "]: ";
    line += caption + " = " + text;
    if (detail) line += " [size: " + std::to_string(size) + "] [start: " + std::to_string(start) + "]";
    return line;
}

void TImageInfo::ReadDirectory(int64_t position, int64_t base, int64_t length, int kind) {
    // Whether a directory holds a reduced-resolution image is its own matter: the flag is set by its
    // entries and given back, however the walk leaves it, to the directory that led here.
    struct RestoreReduced {
        bool& flag;
        bool saved;
        ~RestoreReduced() { flag = saved; }
    } restore{ReducedImage, std::exchange(ReducedImage, false)};
    Visited.insert({base, position});
    if (++DirectoriesRead > kMaxDirectories) return;
    const uint16_t n = Read16(position);
    if (ReaderSettings().TraceDetail > 0 && ReaderSettings().KeepTraces)
        AppendTrace(Trace,
                    "\r\nDirectory: Start, entries = " + std::to_string(position) + ", " + std::to_string(n));
    // Entries that run past the block end this directory where the block does; those before stay.
    const int64_t blockEnd = static_cast<int64_t>(DataBuffer.size()) + 1;
    int64_t whole = n;
    if (position + 2 + 12 * whole > blockEnd) {
        if (Owner) Owner->ErrorText = "Illegally sized directory";
        whole = std::max<int64_t>(0, (blockEnd - position - 2) / 12);
    }
    if (kind == dkMain && ThumbnailStart == 0 && !FromTiff && whole == n &&
        Holds(position + 2 + 12 * whole, 4)) {
        ThumbnailStart = Read32(position + 2 + 12 * static_cast<int64_t>(n));
        ThumbnailLength = ClampToInt32(base + length - ThumbnailStart);
    }
    for (int64_t i = 0; i < whole; ++i) {
        if (++EntriesRead > kMaxEntries || !Budget().Step()) return;
        ReadEntry(position + 2 + 12 * i, base, length, kind);
    }
    if (kind == dkMain && Depth == 0) TmsInfo::NoteMissingMakerNote(*this);
}

void TImageInfo::ReadDirectoryAs(int64_t position, int64_t base, int64_t length, int kind, TTagGroup group) {
    const TTagGroup outer = std::exchange(WalkGroup, group);
    try {
        ReadDirectory(position, base, length, kind);
    } catch (...) {
        WalkGroup = outer;
        throw;
    }
    WalkGroup = outer;
}

void TImageInfo::ReadEntry(int64_t P, int64_t base, int64_t length, int kind) {
    const uint16_t tag = Read16(P);
    const uint16_t type = Read16(P + 2);
    const auto count = static_cast<uint32_t>(Read32(P + 4));
    // 64 bits: a count near 2^32 times a component size cannot wrap.
    const int64_t size = static_cast<int64_t>(count) * ComponentSize(type);
    if (size == 0) return;
    const int64_t valuePos = size <= 4 ? P + 8 : static_cast<int64_t>(Read32(P + 8)) + base;
    const std::string_view bytes = BlockBytes(valuePos, size);

    TTagEntry row = LookupTagEntry(tag, kind);
    const auto& settings = ReaderSettings();
    // Tag 0 stands for "no row" everywhere but in GPS directories, whose GPSVersionID it is.
    const bool known = row.Tag != 0 || (kind == dkGps && tag == 0);

    // Beyond half the budget a text keeps only a short head: no more of the value is decoded, so that
    // thousands of entries pointing at one long text cost no more than their number.
    const size_t textLimit = Budget().KeepsWholeValues() ? kTextInputLimit : kOverBudgetKeep;
    std::string text;
    if (IsEncodedText(row.Tag)) {
        // Texts whose bytes say how they are written: read by that, never cleaned into dots.
        const std::string_view value = bytes.substr(0, 2 * textLimit);
        text = CutText(HasCharacterCode(row.Tag) ? UserCommentBody(value, BigEndian) : WideText(value),
                       textLimit);
    } else {
        if (type == ttAscii) {
            // What pads the value at its end (zero bytes, blanks) is no part of it.
            text = CutText(AsciiValue(bytes.substr(0, textLimit + 1)), textLimit);
        } else if (type == ttUndefined && row.Formatter == CfaPatternText) {
            // Colour codes, zero among them: the formatter reads them as numbers.
            text = ValueText(bytes, ttByte, "", "", BigEndian);
        } else if (type == ttUndefined && !row.ValueMap.empty()) {
            // A code held in a single byte (FileSource, SceneType): mapped as a BYTE would be.
            text = ValueText(bytes, ttByte, row.ValueMap, row.FormatPattern, BigEndian);
        } else if (type == ttUndefined) {
            // Only the head that can be shown is looked at for its closing zero.
            const std::string_view head = bytes.substr(0, textLimit + 1);
            std::string v = CutText(head.substr(0, head.find('\0')), textLimit);
            // A maker note shows its maker's signature ("AOC", "Nikon", "FUJIFILM", "Apple iOS"), the
            // letters before its first binary byte; one that begins with its directory has none, and the
            // count's bytes (")" for 41 entries) are no text.
            if (row.Tag == 0x927C) {
                const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
                v.resize(static_cast<size_t>(
                    std::find_if(v.begin(), v.end(), [](char c) { return c < 0x20 || c >= 0x7F; }) -
                    v.begin()));
                if (v.size() < 3 || !letter(v[0]) || !letter(v[1])) v.clear();
            }
            text.reserve(v.size() + 2);
            text.append(1, '"').append(v).append(1, '"');
        } else {
            text = ValueText(bytes, type, row.ValueMap, row.FormatPattern, BigEndian);
        }
        if (known && row.Formatter && settings.DecodeValues) {
            try {
                text = row.Formatter(text);
            } catch (const FormatError&) {
                // A value the callback cannot read is shown as it is; the rest of the photo still reads.
                text = CleanText(text);
            }
        } else {
            text = CleanText(text);
        }
    }
    if (BuildsTrace() && !TraceCut) {
        std::string& trace = kind == dkThumbnail ? ThumbTrace : Trace;
        AppendTrace(trace, TraceLine(tag, row.Caption, text, size, valuePos));
    }

    // The stored copy is taken now: the maker-note hand-off below may swap the buffer being read.
    std::string raw;
    if (BuildsLists() && known) raw = std::string(KeptBytes(bytes));

    // Values other parts need directly. Only the photo's own directories record the photo: the
    // thumbnail's directory (and a reduced-resolution image's) records its own size and date, which
    // stay in its entries.
    if (kind == dkMain) {
        switch (tag) {
        case 0x00FE: // NewSubfileType: bit 0 marks a reduced-resolution image
            ReducedImage = (RoundToInt(ValueAsNumber(bytes, type)) & 1) != 0;
            break;
        case 0x00FF: // SubfileType: 2 is a reduced-resolution image
            ReducedImage = RoundToInt(ValueAsNumber(bytes, type)) == 2;
            break;
        case 0x0100:
        case 0xA002:
            if (!ReducedImage) RecordDimension(Width, WidthPos, WidthType, WidthFields, P + 8, type, bytes);
            break;
        case 0x0101:
        case 0xA003:
            if (!ReducedImage)
                RecordDimension(Height, HeightPos, HeightType, HeightFields, P + 8, type, bytes);
            break;
        case 0x010F:
            CameraMake = CutText(text, 32);
            break;
        case 0x0110:
            CameraModel = CutText(text, 40);
            break;
        case 0x0132:
            DateTimePos = ClampToInt32(valuePos);
            // The moment the photo was taken, once met, stays the photo's date.
            if (DateTimeOriginalPos == 0) DateTimeText = CutText(text, 20);
            break;
        case 0x9003:
            DateTimeOriginalPos = ClampToInt32(valuePos);
            DateTimeText = CutText(text, 20);
            break;
        case 0x9004:
            DateTimeDigitizedPos = ClampToInt32(valuePos);
            break;
        case 0x9000:
            ExifVersionText = std::string(bytes.substr(0, 6));
            break;
        case 0x9209:
            FlashValue = RoundToInt(ValueAsNumber(bytes, type));
            break;
        case 0x9286:
            // The comment is kept whole to its last byte: one written without a closing zero keeps
            // its last letter. The field's room for a new comment leaves out the code and a closing zero.
            UserCommentText = text;
            UserCommentPos = ClampToInt32(valuePos);
            UserCommentLength = ClampToInt32(size - 9);
            break;
        case 0x927C:
            HandOffMakerNote(bytes, valuePos);
            break;
        case 0xC634: {
            // A DNG keeps the original raw file's maker note here: "Adobe\0MakN", its length, its byte
            // order and where it lay in that file. Its value offsets count from that file's header,
            // which the maker walk's shift search undoes; it is read in its own byte order.
            const TByteView priv(bytes);
            const auto mark = priv.Sub(14, 2);
            if (bytes.substr(0, 10) != std::string_view("Adobe\0MakN", 10) || !mark ||
                (mark->Data() != "II" && mark->Data() != "MM"))
                break;
            const auto length = priv.U32(10, true);
            if (!length || *length < 6) break;
            const auto note = priv.Sub(20, uint64_t{*length} - 6);
            const auto origin = priv.U32(16, true);
            if (!note || !origin) break;
            const bool outer = std::exchange(BigEndian, mark->Data() == "MM");
            MakerValueBase = 1 - int64_t{*origin};
            HandOffMakerNote(note->Data(), valuePos + 20);
            MakerValueBase.reset();
            BigEndian = outer;
            break;
        }
        default:
            break;
        }
    } else if (kind == dkThumbnail && tag == 0x0103) {
        ThumbCompression = RoundToInt(ValueAsNumber(bytes, type));
    }
    // The directories this entry leads to.
    switch (tag) {
    case 0x014A: {
        // A raw file's SubIFDs: a preview, the full picture, ...; each may record the photo's size.
        const TTagGroup outer = std::exchange(WalkGroup, tgSubIFD);
        for (int64_t k = 0; k < std::min<int64_t>(count, 8); ++k)
            ReadSubDirectory(valuePos + 4 * k, base, length, dkMain);
        WalkGroup = outer;
        break;
    }
    case 0x8769:
    case 0xA005: {
        const TTagGroup outer = WalkGroup;
        WalkGroup = tag == 0x8769 ? tgExifIFD : tag == 0xA005 ? tgInterop : tgSubIFD;
        ReadSubDirectory(valuePos, base, length, dkMain);
        WalkGroup = outer;
        break;
    }
    case 0x8825:
        ReadSubDirectory(valuePos, base, length, dkGps);
        break;
    default:
        break;
    }

    if (BuildsLists() && known) {
        row.Text = std::move(text);
        row.Raw = std::move(raw);
        row.RawSize = static_cast<int32_t>(row.Raw.size());
        row.ValueOffset = ClampToInt32(valuePos);
        row.FieldType = type;
        row.Group = kind == dkThumbnail ? tgIFD1 : kind == dkGps ? tgGPS : WalkGroup;
        if (kind == dkThumbnail)
            AddThumbEntry(std::move(row));
        else
            AddEntry(std::move(row));
    }
}

void TImageInfo::RecordDimension(int32_t& value, int32_t& position, uint16_t& fieldType,
                                 std::vector<TDimensionField>& fields, int64_t fieldPos, uint16_t type,
                                 std::string_view bytes) {
    value = RoundToInt(ValueAsNumber(bytes, type));
    position = ClampToInt32(fieldPos);
    fieldType = type;
    // A photo records its size in two or three places; a file that claims more gains no more.
    if (fields.size() < 8) fields.push_back({position, type});
}

void TImageInfo::ReadSubDirectory(int64_t valuePos, int64_t base, int64_t length, int kind) {
    if (Depth >= kMaxDepth) return;
    try {
        const int64_t target = static_cast<int64_t>(Read32(valuePos)) + base;
        if (Visited.contains({base, target})) return;
        ++Depth;
        try {
            ReadDirectory(target, base, length, kind);
        } catch (const ReadError&) {
            --Depth;
            throw;
        }
        --Depth;
    } catch (const ReadError&) {
        // A broken sub-directory costs only its own entries.
    }
}

void TImageInfo::HandOffMakerNote(std::string_view bytes, int64_t valuePos) {
    // A note that several entries point at is walked once: its entries are the same each time.
    if (!MakerNotesWalked.insert(valuePos).second) return;
    // The walk reads a copy of its own (the block may be swapped while it runs): charged like any
    // value kept, and left unwalked when the budget has no room for it.
    if (!Budget().Allows(static_cast<int64_t>(bytes.size()), TReadBudget::kSidePercent)) {
        NoteCut(1);
        return;
    }
    Budget().Release(TReadBudget::HeapOf(MakerNoteRaw));
    MakerNoteRaw.assign(bytes);
    MakerNoteRaw.shrink_to_fit();
    Budget().Charge(TReadBudget::HeapOf(MakerNoteRaw));
    MakerNotePos = ClampToInt32(valuePos);
    const bool bigEndian = BigEndian;
    try {
        TmsInfo maker(FromTiff, this);
        MakerNoteDecoded = maker.DecodeMakerNote(*this);
    } catch (const std::exception&) {
        MakerNoteDecoded = false;
    }
    // Whatever the maker walk did, the main walk goes on in the block's own byte order; the maker
    // walk gives the block's bytes back itself.
    BigEndian = bigEndian;
}

bool TImageInfo::ReadThumbnailDirectory() {
    // Its entries, once read, stay: another look (a second report of the same photo) reads nothing.
    if (ThumbnailRead) return *ThumbnailRead;
    try {
        ReadDirectory(static_cast<int64_t>(ThumbnailStart) + 9, 9, static_cast<int64_t>(ThumbnailLength) - 12,
                      dkThumbnail);
        ThumbnailRead = true;
    } catch (const std::exception&) {
        ThumbnailRead = false;
    }
    return *ThumbnailRead;
}

int TImageInfo::AddMakerItem(const std::string& name, const std::string& value, uint16_t fieldType,
                             uint16_t tag) {
    if (!BuildsLists() || static_cast<int64_t>(Entries.size()) >= kMaxEntries)
        return static_cast<int>(Entries.size()) - 1;
    TTagEntry e;
    e.ListId = 1;
    e.Tag = tag;
    e.Name = name;
    e.Caption = name;
    e.Text = value;
    e.Raw = value;
    e.RawSize = static_cast<int32_t>(value.size());
    e.ValueOffset = 0;
    e.FieldType = fieldType;
    return AddEntry(std::move(e));
}

TReadBudget& TImageInfo::Budget() {
    return Owner ? Owner->Budget : OwnBudget;
}

const TReadBudget& TImageInfo::Budget() const {
    return Owner ? Owner->Budget : OwnBudget;
}

int64_t TImageInfo::KeptTotal() const {
    return Budget().HeldBytes();
}

std::string_view TImageInfo::KeptBytes(std::string_view bytes) const {
    return Budget().KeepsWholeValues() ? bytes : bytes.substr(0, kOverBudgetKeep);
}

bool TImageInfo::KeepsTrace(size_t bytes) const {
    return !TraceCut && Budget().Allows(static_cast<int64_t>(bytes), TReadBudget::kSidePercent);
}

void TImageInfo::AppendTrace(std::string& trace, std::string_view line) {
    if (TraceCut) return;
    // What the trace will grow by: its text, or a new allocation twice its size.
    const size_t needed = trace.size() + line.size();
    const size_t growth =
        needed <= trace.capacity() ? 0 : std::max(needed, 2 * trace.capacity()) - trace.capacity();
    if (!KeepsTrace(growth)) {
        // The traces stop: what they would show next is left out, and the main trace says so.
        TraceCut = true;
        Budget().NoteCut();
        Trace.append("\r\n").append(TReadBudget::kCutNote);
        return;
    }
    const int64_t before = TReadBudget::HeapOf(trace);
    trace += line;
    Budget().Charge(TReadBudget::HeapOf(trace) - before);
}

void TImageInfo::NoteCut(int32_t listId) {
    Budget().NoteCut();
    const bool maker = listId == 1;
    if (std::exchange(CutNoted[maker ? 1 : 0], true) || !BuildsLists()) return;
    // The note is the one entry stored beyond the budget, once in each list: the lists and the
    // report then say why they end where they do.
    TTagEntry e;
    e.ListId = maker ? 1 : 0;
    e.Tag = 0xFFFF;
    e.Name = "MetadataCut";
    e.Caption = std::string(TReadBudget::kCutNote);
    e.Text = maker ? "the rest of the maker note left out" : "the entries that follow left out";
    e.Group = maker ? tgMakerNotes : WalkGroup;
    Entries.push_back(std::move(e));
}

// The one storing step of every walk: the limits on entries and the bytes they hold are applied
// here, charged as allocated: the entry itself, the strings it owns, and what the list grows by.
bool TImageInfo::Admits(TTagEntry& entry, const std::vector<TTagEntry>& list) {
    // Once a list was cut, it ends with the note that says so.
    // Tag 0 marks an empty entry, except where a directory really has it: GPS's version, and the
    // version a maker writes first in its note (Minolta's "MLT0", Pentax's, Fujifilm's).
    if (entry.Tag == 0 && !TagZeroIsReal && !(entry.Group == tgGPS && entry.Name == "GPSVersionID"))
        return false;
    if (CutNoted[entry.ListId == 1 ? 1 : 0]) return false;
    TReadBudget& budget = Budget();
    if (static_cast<int64_t>(Entries.size() + ThumbEntries.size()) >= kMaxEntries) {
        NoteCut(entry.ListId);
        return false;
    }
    if (!budget.KeepsWholeValues()) {
        // Really shortened: a new string of the kept size, not the old allocation with a shorter end.
        if (entry.Raw.size() > kOverBudgetKeep) entry.Raw = std::string(entry.Raw, 0, kOverBudgetKeep);
        if (entry.Text.size() > kOverBudgetKeep) entry.Text = CutToBytes(entry.Text, kOverBudgetKeep);
        entry.RawSize = std::min(entry.RawSize, static_cast<int32_t>(entry.Raw.size()));
    }
    for (std::string* s : {&entry.Raw, &entry.Text})
        if (s->capacity() > s->size() + s->size() / 4 + 16) s->shrink_to_fit();
    const size_t growth = list.size() < list.capacity() ? 0 : std::max<size_t>(list.capacity(), 1);
    const int64_t cost = static_cast<int64_t>(growth * sizeof(TTagEntry)) + TReadBudget::HeapOf(entry.Name) +
                         TReadBudget::HeapOf(entry.Caption) + TReadBudget::HeapOf(entry.Text) +
                         TReadBudget::HeapOf(entry.Raw);
    if (!budget.Allows(cost, entry.ListId == 1 ? TReadBudget::kSidePercent : 100)) {
        NoteCut(entry.ListId);
        return false;
    }
    budget.Charge(cost);
    return true;
}

int TImageInfo::AddEntry(TTagEntry entry) {
    // Stored while the walk that made the entry still reads in its block's byte order.
    entry.RawBigEndian = BigEndian;
    if (entry.ListId == 1) entry.Group = tgMakerNotes;
    if (Admits(entry, Entries)) Entries.push_back(std::move(entry));
    return static_cast<int>(Entries.size()) - 1;
}

int TImageInfo::AddThumbEntry(TTagEntry entry) {
    entry.RawBigEndian = BigEndian;
    if (Admits(entry, ThumbEntries)) ThumbEntries.push_back(std::move(entry));
    return static_cast<int>(ThumbEntries.size()) - 1;
}

namespace {
bool NextOf(const std::vector<TTagEntry>& list, int32_t& cursor, int32_t listId, TTagEntry& entry) {
    if (cursor < 0) cursor = 0;
    while (static_cast<size_t>(cursor) < list.size()) {
        const TTagEntry& e = list[static_cast<size_t>(cursor++)];
        if (e.ListId == listId) {
            entry = e;
            return true;
        }
    }
    entry = TTagEntry{};
    return false;
}
} // namespace

bool TImageInfo::NextEntry(int32_t listId, TTagEntry& entry) {
    return NextOf(Entries, EntryCursor, listId, entry);
}

bool TImageInfo::NextThumbEntry(int32_t listId, TTagEntry& entry) {
    return NextOf(ThumbEntries, ThumbCursor, listId, entry);
}

int TImageInfo::LookupTagIndex(std::string_view name, int32_t listId) const {
    for (size_t i = 0; i < Entries.size(); ++i)
        if ((listId == kAnyList || Entries[i].ListId == listId) && SameName(Entries[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

std::string TImageInfo::LookupTagValue(std::string_view name, int32_t listId) const {
    const int i = LookupTagIndex(name, listId);
    return i < 0 ? std::string() : Entries[static_cast<size_t>(i)].Text;
}

double TImageInfo::NumberOf(std::string_view name) const {
    const int i = LookupTagIndex(name, 0);
    if (i < 0) return 0;
    const TTagEntry& e = Entries[static_cast<size_t>(i)];
    return ValueAsNumber(e.Raw, e.FieldType);
}

int32_t TImageInfo::RoundedNumberOf(std::string_view name) const {
    return RoundToInt(NumberOf(name));
}

void TImageInfo::ComputeFocalLength35() {
    if (LookupTagIndex("FocalLengthin35mmFilm", 0) >= 0) return;
    int32_t unit = RoundedNumberOf("FocalPlaneResolutionUnit");
    if (unit < 1) unit = RoundedNumberOf("ResolutionUnit");
    const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
    const double focal = NumberOf("FocalLength");
    if (mmPerUnit == 0 || focal == 0) return;
    // The focal-plane resolution is the camera's, given for the picture it took; the stored size may
    // be a reduced copy's (an editor that shrinks the picture keeps the resolution), which would make
    // the sensor tiny and the factor huge. A sensor whose diagonal no camera has tells that apart:
    // then no number is better than a wrong one.
    constexpr double kSmallestDiagonal = 3.5, kLargestDiagonal = 90.0; // mm: phone to medium format
    const int32_t xRes = RoundedNumberOf("FocalPlaneXResolution");
    const int32_t yRes = RoundedNumberOf("FocalPlaneYResolution");
    const double sensorWidth = xRes > 0 ? Width * mmPerUnit / xRes : 0.0;
    const double sensorHeight = yRes > 0 ? Height * mmPerUnit / yRes : 0.0;
    double factor;
    if (sensorWidth * sensorHeight > 0) {
        const double diagonal = std::sqrt(sensorWidth * sensorWidth + sensorHeight * sensorHeight);
        if (diagonal < kSmallestDiagonal || diagonal > kLargestDiagonal) return;
        factor = 43.26661531 / diagonal;
    } else if (xRes > 0 || yRes > 0) {
        return;
    } else {
        if (!ReaderSettings().EstimateCropFactor) return;
        factor = 4.5;
    }
    TTagEntry e = MainTableEntry(MainTableIndexOfName("FocalLengthIn35mmFilm"));
    e.Text = FormatFixed(focal * factor, 5, 2);
    e.Raw.clear();
    e.RawSize = 0;
    e.FormatPattern = "%s mm";
    e.FieldType = ttSRational;
    e.Group = tgExifIFD;
    if (BuildsTrace()) AppendTrace(Trace, TraceLine(e.Tag, e.Caption, e.Text, 0, 0));
    if (BuildsLists()) AddEntry(std::move(e));
}

} // namespace quillmark
