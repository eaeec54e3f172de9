// What the window shows about a photo once the container has read it: the rows of the three lists
// ("Exif Properties", "Maker Data", "Summary") and the lines of the text report. The window and the
// command-line report tool both build on it.
#pragma once

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
    std::vector<std::string> MemoLines;
};

// The Summary list: the tag name looked up and the caption of its row, in row order.
struct TSummaryRow {
    const char* TagName;
    const char* Caption;
};
extern const TSummaryRow kSummaryRows[15];

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
