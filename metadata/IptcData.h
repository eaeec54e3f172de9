// IPTC datasets (records 2 and 8) of a "Photoshop 3.0" APP13 section: listed as report lines, or
// held as entries that can be looked up, set, merged and removed.
#pragma once

#include "TagEntry.h"

#include <bitset>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

class TimgData;

// One row of the dataset table. Made into a TTagEntry (SubCode = record, Tag = dataset, RawSize =
// the dataset's maximum length) when a dataset is named or set.
struct TIptcRow {
    uint16_t SubCode;
    uint16_t Tag;
    const char* Name;
    const char* Caption;
    int32_t RawSize;
};

// The 49 known datasets, searched in order. Row 0 (2:0, record version) is named "SKIP": it is
// never listed.
std::span<const TIptcRow> IptcTable();
TTagEntry IptcTableEntry(const TIptcRow& row);

// Dataset numbers that may occur several times and are merged into one entry: 20 (supplemental
// category) and 25 (keywords).
extern const std::bitset<256> RepeatableDatasets;

// Comma text, the form of a multi-valued entry's Text: items separated by commas, or by blanks and
// control characters outside double quotes; a double-quoted item may hold blanks and commas, a
// doubled double quote standing for one.
std::vector<std::string> SplitCommaText(std::string_view text);
// The items joined by commas; an item holding a blank, a control character, a comma or a double
// quote is written between double quotes with its inner double quotes doubled.
std::string JoinCommaText(const std::vector<std::string>& items);
// Both texts read as comma text; each addition, trimmed, is appended unless an existing item
// already equals it ignoring letter case. The result is written as comma text.
std::string MergeItems(const std::string& existing, const std::string& additions);

// The bytes of an APP13 section (length bytes first) holding IPTC datasets as a file gives them
// outside a JPEG (a TIFF file's IPTC tag): "Photoshop 3.0" and one IPTC resource around them, so
// that they are listed, read and written like those of a JPEG's APP13 section. The length field
// says 65535 when the section is longer than a JPEG section can be.
std::string App13FromDatasets(std::string_view datasets);

class TIPTCdata {
public:
    // Datasets read per section at most: a JPEG's largest APP13 section, all of it five-byte
    // datasets, is read whole; a larger block (a TIFF's IPTC tag) is read that far.
    static constexpr int kMaxDatasets = 16384;
    // The line (and entry caption) that ends the datasets read when more were left out.
    static constexpr const char* kDatasetsCut = "IPTC datasets cut at the limit";

    explicit TIPTCdata(TimgData* owner) : Owner(owner) {}
    virtual ~TIPTCdata() = default;

    // The datasets of an APP13 section's data (length bytes first) as "Caption = value" lines, in
    // file order; repeated datasets give repeated lines. Beyond kMaxDatasets a last line says that
    // the rest was left out. Never throws; the entry list is untouched.
    std::vector<std::string> ListAsLines(const std::string& app13Data) const;
    // Replaces the entry list by the section's datasets; repeated keywords and supplemental
    // categories become one entry each. False when the read was cut short (out of memory, more
    // than kMaxDatasets, or beyond the container's budget); what was read stays.
    bool ReadIptc(const std::string& app13Data);

    // Index of the first entry with that name (letter case ignored); -1 if none.
    virtual int IndexOfEntry(std::string_view name) const;
    // Removes the first entry with that name, if any; later entries move up one place.
    virtual void RemoveName(std::string_view name);
    // Sets the entry's Text (an empty value changes nothing), or adds the named table row with that
    // value. Returns the entry's index; -1 when the name is neither an entry nor a table row.
    virtual int SetSingleValue(std::string_view name, const std::string& value);
    // Merges the comma text `value` into the entry's Text (MergeItems), adding the entry when the
    // name has none yet. Returns the entry's index, -1 when nothing could be added.
    virtual int AddMultiValue(std::string_view name, const std::string& value);
    // -1 unless the name is a table row's; then AddMultiValue for repeatable datasets and
    // SetSingleValue for the others.
    virtual int SetValueByName(std::string_view name, const std::string& value);
    // The entry's Text, or `defaultValue` when there is no such entry.
    virtual std::string GetValueByName(std::string_view name, const std::string& defaultValue = "") const;

    // Index of the first table row with that name (letter case ignored); -1 if none.
    static int TableIndexOfName(std::string_view name);

    // Appends a copy of the entry unless its Tag is 0; returns the index of the last entry.
    int AddIptcEntry(const TTagEntry& entry);
    int Count() const { return static_cast<int>(Entries.size()); }
    // Throws std::out_of_range for an index outside 0 .. Count() - 1.
    const TTagEntry& EntryAt(int index) const { return Entries.at(static_cast<size_t>(index)); }
    const std::vector<TTagEntry>& AllEntries() const { return Entries; }
    void Clear() { Entries.clear(); }
    bool HasData() const { return !Entries.empty(); }

    TimgData* Owner; // not owned

private:
    std::vector<TTagEntry> Entries;
};

} // namespace quillmark
