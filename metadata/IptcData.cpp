#include "IptcData.h"
#include "ByteView.h"
#include "ImgData.h"
#include "ValueFormat.h"

#include "TagTables.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_set>

namespace quillmark {

namespace {

// Record, dataset, name, caption, maximum length.
constexpr std::array<TIptcRow, 49> kIptcTable = {{
    {2, 0, "SKIP", "Record Version", 64},
    {2, 3, "ObjectType", "Object Type Ref", 67},
    {2, 4, "ObjectAttr", "Object Attribute Ref", 67},
    {2, 5, "ObjectName", "Object name", 64},
    {2, 7, "EditStatus", "Edit Status", 64},
    {2, 8, "EditorialUpdate", "Editorial Update", 2},
    {2, 10, "Urgency", "Urgency", 1},
    {2, 12, "SubRef", "Subject Reference", 236},
    {2, 15, "Category", "Category", 3},
    {2, 20, "SuppCategory", "Supplemental category", 32},
    {2, 22, "FixtureID", "Fixture ID", 32},
    {2, 25, "Keywords", "Keywords", 64},
    {2, 26, "ContentLocCode", "Content Location Code", 3},
    {2, 27, "ContentLocName", "Content Location Name", 64},
    {2, 30, "ReleaseDate", "Release Date", 8},
    {2, 35, "ReleaseTime", "Release Time", 11},
    {2, 37, "ExpireDate", "Expiration Date", 8},
    {2, 38, "ExpireTime", "Expiration Time", 11},
    {2, 40, "SpecialInstru", "Special Instructions", 256},
    {2, 42, "ActionAdvised", "Action Advised", 2},
    {2, 45, "RefService", "Reference Service", 10},
    {2, 47, "RefDate", "Reference Date", 8},
    {2, 50, "RefNumber", "Reference Number", 8},
    {2, 55, "DateCreated", "Date created", 8},
    {2, 60, "TimeCreated", "Time created", 11},
    {2, 62, "DigitizeDate", "Digital Creation Date", 8},
    {2, 63, "DigitizeTime", "Digital Creation Time", 11},
    {2, 65, "OriginatingProgram", "Originating Program", 32},
    {2, 70, "ProgramVersion", "Program version", 10},
    {2, 75, "ObjectCycle", "Object Cycle", 1},
    {2, 80, "ByLine", "ByLine", 32},
    {2, 85, "ByLineTitle", "ByLine Title", 32},
    {2, 90, "City", "City", 32},
    {2, 92, "SubLocation", "Sublocation", 32},
    {2, 95, "State", "Province/State", 32},
    {2, 100, "LocationCode", "Country/Primary Location Code", 3},
    {2, 101, "LocationName", "Country/Primary Location Name", 64},
    {2, 103, "TransmissionRef", "Original Transmission Reference", 32},
    {2, 105, "ImageHeadline", "Image headline", 256},
    {2, 110, "ImageCredit", "Image credit", 32},
    {2, 115, "Source", "Source", 32},
    {2, 116, "Copyright", "Copyright Notice", 128},
    {2, 118, "Contact", "Contact", 128},
    {2, 120, "ImageCaption", "Image caption", 2000},
    {2, 122, "ImageCaptionWriter", "Image caption writer", 32},
    {2, 130, "ImageType", "Image type", 2},
    {2, 131, "Orientation", "Image Orientation", 1},
    {2, 135, "LangID", "Language ID", 3},
    {8, 10, "Subfile", "Subfile", 2},
}};

// Maximum length given to datasets that no table row names.
constexpr int32_t kCustomRawSize = 64;

constexpr char kTagMarker = '\x1C';

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// Walks the datasets of one APP13 section. The Photoshop resource blocks are not parsed: the
// first tag marker followed by record 2 or 8 after the "Photoshop 3.0" identifier starts the
// scan, and each dataset's length leads to the next one.
class TDatasetScanner {
public:
    explicit TDatasetScanner(std::string_view data) : Data(data), Pos(FirstRecordPos(Data)) {}

    // Reads the dataset whose record number stands at the scan position and moves on. False once
    // fewer than the four header bytes (record, dataset, 16-bit length) are left, or when the
    // byte before them is not the tag marker: a length that does not lead to another dataset
    // means the IPTC block has ended (the next Photoshop resource, or damage), and whatever
    // follows is not a dataset.
    bool Next(uint8_t& record, uint8_t& dataset, std::string_view& value) {
        if (Pos == 0 || Pos == std::string_view::npos) return false;
        const auto marker = Data.U8(Pos - 1);
        const auto head = Data.Sub(Pos, 4);
        if (!marker || !head || *marker != static_cast<uint8_t>(kTagMarker)) return false;
        record = *head->U8(0);
        dataset = *head->U8(1);
        // The extended-length form (high bit set) is not recognised: such a length is taken as
        // it stands, and the value is cut at the end of the data.
        const uint64_t length = *head->U16(2, true);
        const uint64_t start = uint64_t{Pos} + 4;
        value = Data.Clip(start, length).Data();
        // The next dataset's record number, past its tag marker.
        Pos = static_cast<size_t>(start + length + 1);
        return true;
    }

private:
    static size_t FirstRecordPos(const TByteView& data) {
        constexpr std::string_view kIdentifier = "Photoshop 3.0";
        const size_t found = data.Data().find(kIdentifier);
        // Without the identifier the scan starts at the 13th byte of the data.
        size_t j = found == std::string_view::npos ? 12 : found + kIdentifier.size();
        while ((j = data.Data().find(kTagMarker, j)) != std::string_view::npos) {
            const uint8_t record = data.U8(uint64_t{j} + 1).value_or(0);
            if (record == 2 || record == 8) return j + 1;
            ++j;
        }
        return std::string_view::npos;
    }

    TByteView Data;
    size_t Pos; // 0-based position of the next record number; npos when there is none
};

// The entry of one dataset: a copy of its table row, a "Custom_" entry for a dataset of record 2
// or 8 that the table does not know, or an empty entry (no name, Tag 0) for the record version
// and for other records.
TTagEntry DecodeDataset(uint8_t record, uint8_t dataset, std::string_view value) {
    TTagEntry e;
    if (record != 2 && record != 8) return e;
    for (const TIptcRow& row : kIptcTable) {
        if (row.SubCode != record || row.Tag != dataset) continue;
        if (std::string_view(row.Name) == "SKIP") return e;
        e = IptcTableEntry(row);
        e.Text = std::string(value);
        return e;
    }
    e.Name = "Custom_" + std::to_string(dataset);
    e.Caption = e.Name;
    e.Tag = dataset;
    e.SubCode = record;
    e.Text = std::string(value);
    e.RawSize = kCustomRawSize;
    return e;
}

} // namespace

std::string App13FromDatasets(std::string_view datasets) {
    // The resource's data is padded to an even length. The scan for the first dataset starts at
    // the first tag marker after the identifier: a size whose last two bytes read as a marker and
    // a record number (0x1C02, 0x1C08) would start it there, so such a size grows by two zero bytes.
    std::string data(datasets);
    if (data.size() % 2) data += '\0';
    if ((data.size() & 0xFFFF) == 0x1C02 || (data.size() & 0xFFFF) == 0x1C08) data.append(2, '\0');
    const auto size = static_cast<uint32_t>(std::min<size_t>(data.size(), UINT32_MAX));
    std::string out("\0\0Photoshop 3.0\0008BIM\x04\x04\0\0", 24);
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((size >> shift) & 0xFF);
    out += data;
    const size_t length = std::min<size_t>(out.size(), 0xFFFF);
    out[0] = static_cast<char>(length >> 8);
    out[1] = static_cast<char>(length & 0xFF);
    return out;
}

std::span<const TIptcRow> IptcTable() {
    return kIptcTable;
}

TTagEntry IptcTableEntry(const TIptcRow& row) {
    TTagEntry e;
    e.SubCode = row.SubCode;
    e.Tag = row.Tag;
    e.Name = row.Name;
    e.Caption = row.Caption;
    e.RawSize = row.RawSize;
    return e;
}

const std::bitset<256> RepeatableDatasets = [] {
    std::bitset<256> s;
    s.set(20);
    s.set(25);
    return s;
}();

std::vector<std::string> SplitCommaText(std::string_view text) {
    std::vector<std::string> items;
    const size_t n = text.size();
    size_t p = 0;
    auto skipBlanks = [&] {
        while (p < n && IsBlank(text[p]))
            ++p;
    };
    skipBlanks();
    while (p < n) {
        std::string item;
        if (text[p] == '"') {
            // A quoted item runs to the next lone double quote (or to the end of the text).
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
        } else {
            const size_t start = p;
            while (p < n && !IsBlank(text[p]) && text[p] != ',')
                ++p;
            item.assign(text.substr(start, p - start));
        }
        items.push_back(std::move(item));
        skipBlanks();
        if (p < n && text[p] == ',') {
            // A comma that ends the text stands before one more, empty, item.
            if (p + 1 == n) items.emplace_back();
            ++p;
            skipBlanks();
        }
    }
    return items;
}

std::string JoinCommaText(const std::vector<std::string>& items) {
    // A lone empty item is written as "" so that it reads back as one item.
    if (items.size() == 1 && items[0].empty()) return "\"\"";
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += ',';
        const std::string& item = items[i];
        bool quote = false;
        for (char c : item)
            if (IsBlank(c) || c == '"' || c == ',') quote = true;
        if (!quote) {
            out += item;
            continue;
        }
        AppendQuoted(out, item);
    }
    return out;
}

std::string MergeItems(const std::string& existing, const std::string& additions) {
    std::vector<std::string> items = SplitCommaText(existing);
    const std::vector<std::string> added = SplitCommaText(additions);
    // A few additions (the usual case) are compared item by item; many go through a set, so that
    // merging two long lists does not take the product of their lengths.
    constexpr size_t kFewAdditions = 8;
    std::unordered_set<std::string> seen;
    if (added.size() > kFewAdditions)
        for (const std::string& item : items)
            seen.insert(AsciiLower(item));
    for (const std::string& addition : added) {
        std::string item = TrimText(addition);
        const bool known = added.size() > kFewAdditions
                               ? !seen.insert(AsciiLower(item)).second
                               : std::any_of(items.begin(), items.end(),
                                             [&](const std::string& e) { return SameName(e, item); });
        if (!known) items.push_back(std::move(item));
    }
    return JoinCommaText(items);
}

std::vector<std::string> TIPTCdata::ListAsLines(const std::string& app13Data) const {
    std::vector<std::string> lines;
    try {
        TDatasetScanner scan(app13Data);
        uint8_t record = 0, dataset = 0;
        std::string_view value;
        for (int read = 0; scan.Next(record, dataset, value); ++read) {
            if (read == kMaxDatasets) {
                lines.emplace_back(kDatasetsCut);
                break;
            }
            const TTagEntry e = DecodeDataset(record, dataset, value);
            if (!e.Name.empty()) lines.push_back(e.Caption + " = " + e.Text);
        }
    } catch (...) {
        // Out of memory: the lines made so far stand.
    }
    return lines;
}

bool TIPTCdata::ReadIptc(const std::string& app13Data) {
    Clear();
    // The items of each merged entry, kept apart while reading so that a section of thousands of
    // keywords is merged in one pass instead of re-reading the growing comma text per keyword.
    struct TMerged {
        size_t Index;
        std::vector<std::string> Items;
        std::unordered_set<std::string> Seen;
    };
    std::vector<TMerged> merged; // one per distinct name: at most four
    bool complete = true;
    try {
        TDatasetScanner scan(app13Data);
        uint8_t record = 0, dataset = 0;
        std::string_view value;
        TReadBudget* budget = Owner ? &Owner->Budget : nullptr;
        for (int read = 0; scan.Next(record, dataset, value); ++read) {
            if (read == kMaxDatasets || (budget && !budget->Step())) {
                complete = false;
                break;
            }
            TTagEntry e = DecodeDataset(record, dataset, value);
            if (e.Tag == 0) continue;
            // What the entry or item holds is charged where it is kept.
            const int64_t cost = static_cast<int64_t>(sizeof(TTagEntry)) + TReadBudget::HeapOf(e.Name) +
                                 TReadBudget::HeapOf(e.Text);
            if (budget && !budget->Allows(cost)) {
                budget->NoteCut();
                complete = false;
                break;
            }
            if (budget) budget->Charge(cost);
            if (!RepeatableDatasets.test(dataset)) {
                Entries.push_back(std::move(e));
                continue;
            }
            TMerged* target = nullptr;
            for (TMerged& m : merged)
                if (SameName(Entries[m.Index].Name, e.Name)) target = &m;
            if (!target) {
                e.Text.clear();
                Entries.push_back(std::move(e));
                merged.push_back({Entries.size() - 1, {}, {}});
                target = &merged.back();
            }
            // A dataset holds one keyword (or category), blanks and commas included: it is one
            // item, never split as comma text would split it.
            std::string item = TrimText(value);
            if (!item.empty() && target->Seen.insert(AsciiLower(item)).second)
                target->Items.push_back(std::move(item));
        }
    } catch (...) {
        complete = false;
    }
    try {
        for (const TMerged& m : merged)
            Entries[m.Index].Text = JoinCommaText(m.Items);
    } catch (...) {
        complete = false;
    }
    return complete;
}

int TIPTCdata::IndexOfEntry(std::string_view name) const {
    for (size_t i = 0; i < Entries.size(); ++i)
        if (SameName(Entries[i].Name, name)) return static_cast<int>(i);
    return -1;
}

int TIPTCdata::TableIndexOfName(std::string_view name) {
    for (size_t i = 0; i < kIptcTable.size(); ++i)
        if (SameName(kIptcTable[i].Name, name)) return static_cast<int>(i);
    return -1;
}

std::string TIPTCdata::GetValueByName(std::string_view name, const std::string& defaultValue) const {
    const int i = IndexOfEntry(name);
    return i < 0 ? defaultValue : Entries[static_cast<size_t>(i)].Text;
}

int TIPTCdata::SetSingleValue(std::string_view name, const std::string& value) {
    const int i = IndexOfEntry(name);
    if (i >= 0) {
        if (!value.empty()) Entries[static_cast<size_t>(i)].Text = value;
        return i;
    }
    const int row = TableIndexOfName(name);
    if (row < 0) return -1;
    TTagEntry e = IptcTableEntry(kIptcTable[static_cast<size_t>(row)]);
    // The record version row (Tag 0) is never stored: report that nothing was added rather than
    // the index of some other entry.
    if (e.Tag == 0) return -1;
    e.Text = value;
    return AddIptcEntry(e);
}

int TIPTCdata::AddMultiValue(std::string_view name, const std::string& value) {
    const int i = IndexOfEntry(name);
    if (i < 0) return SetSingleValue(name, MergeItems("", value));
    if (!value.empty()) {
        TTagEntry& e = Entries[static_cast<size_t>(i)];
        e.Text = MergeItems(e.Text, value);
    }
    return i;
}

int TIPTCdata::SetValueByName(std::string_view name, const std::string& value) {
    const int row = TableIndexOfName(name);
    if (row < 0) return -1;
    if (RepeatableDatasets.test(kIptcTable[static_cast<size_t>(row)].Tag)) return AddMultiValue(name, value);
    return SetSingleValue(name, value);
}

void TIPTCdata::RemoveName(std::string_view name) {
    const int i = IndexOfEntry(name);
    if (i >= 0) Entries.erase(Entries.begin() + i);
}

int TIPTCdata::AddIptcEntry(const TTagEntry& entry) {
    if (entry.Tag != 0) Entries.push_back(entry);
    return Count() - 1;
}

} // namespace quillmark
