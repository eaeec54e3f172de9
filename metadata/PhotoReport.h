// What the window shows about a photo once the container has read it: the rows of the four lists
// ("Exif Properties", "Maker Data", "Summary", "XMP") and the lines of the text report. The window and the
// command-line report tool both build on it.
#pragma once

#include "TagEntry.h"
#include "Xmp.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

class TimgData;

struct TReportRow {
    std::string Item;
    std::string Details;
};

struct TPhotoReport {
    std::vector<TReportRow> ExifRows;
    std::vector<TReportRow> MakerRows;
    std::vector<TReportRow> SummaryRows;
    // The XMP properties, the sidecar's marked " (sidecar)" after the name.
    std::vector<TReportRow> XmpRows;
    std::vector<std::string> MemoLines;
    // The photo's XMP (its packets, then its sidecar's) and its ICC profile's entries, as read once
    // for the lists, the Summary and the report tool's JSON.
    TXmpData Xmp;
    std::vector<TTagEntry> IccEntries;
};

// The Summary list: the tag name looked up and the caption of its row, in row order.
struct TSummaryRow {
    const char* TagName;
    const char* Caption;
};
// "Lens" and "Rating" are not looked up by name: the lens comes from EXIF's LensModel or else the
// maker note's lens entry, the rating from xmp:Rating.
extern const TSummaryRow kSummaryRows[17];
// The rating as stars, "★★★☆☆" for 3 of 5; "Rejected" for -1; empty for anything else.
std::string RatingStars(std::string_view rating);

// What to build besides the report lines and the Summary rows. `MemoAndSummary` leaves the entry rows
// of "Exif Properties" and "Maker Data" empty (the "No Exif data" row stays): the text report needs no
// more, and skips two copies of every entry.
// `Summary` builds the Summary rows alone (and reads the thumbnail directory): for a rendering that
// takes everything else from the reader itself.
enum class TReportLists { All, MemoAndSummary, Summary };

// Builds the lists and report lines from a container that has just read a photo. Reads the
// thumbnail directory on the way, so call it once per read.
TPhotoReport BuildPhotoReport(TimgData& data, TReportLists lists = TReportLists::All);

// Appends a text to report lines; a text holding line breaks becomes several lines.
void AddReportLines(std::vector<std::string>& lines, std::string_view text);

} // namespace quillmark
