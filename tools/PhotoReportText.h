// The report tool's renderings of a photo: the report lines the viewer's memo holds followed by
// the Summary rows, one JSON object, or one CSV row of the Summary. All output is UTF-8 and carries
// no control character from a file (TextEncoding.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

class TimgData;
struct tSection;

struct TFileReport {
    bool HadMetadata = false; // ProcessFile's result
    // False: the file could not be opened or read (missing, a folder, a device, no permission);
    // Error says why, Text and Csv are empty and Json carries the file, the error and empty parts.
    bool IsFile = true;
    std::string Error; // the system's reason, e.g. "Permission denied"
    std::string Text;  // lines separated by "\n", ending in "\n"
    std::string Json;  // one JSON object on one line, without a line break
    std::string Csv;   // one row: the file and the seventeen Summary values, ending in "\n"
};

// Which renderings to make (flags): each costs about as much as reading the file.
enum class TReportParts { Text = 1, Json = 2, Both = 3, Csv = 4 };
inline bool Has(TReportParts parts, TReportParts part) {
    return (static_cast<int>(parts) & static_cast<int>(part)) != 0;
}

// Reads one file with a fresh container and renders it.
TFileReport ReportFile(const std::string& path, TReportParts parts = TReportParts::Both);
// The report of a path that cannot be read as a file, `why` being the system's reason.
TFileReport UnreadableReport(const std::string& path, std::string why);
// Renders a container that has just read a photo (reads its thumbnail directory on the way).
// `tiffHeaderOffset` is where the EXIF block's TIFF header lies in the file (-1: where the reader
// found it, TimgData::ExifFileOffset), which places the thumbnail image's bytes in the file.
TFileReport RenderReport(TimgData& data, bool hadMetadata, TReportParts parts = TReportParts::Both,
                         int64_t tiffHeaderOffset = -1);

// Where the TIFF header of the APP1 section `exif` lies in a JPEG file or its bytes, found by walking
// the file's header sections; -1 when the section is not among them.
int64_t FindExifTiffHeaderInFile(const std::string& path, const tSection& exif);
int64_t FindExifTiffHeaderInBytes(std::string_view bytes, const tSection& exif);

// Lets the memory of one file's read serve the next: the allocator otherwise hands the large buffers
// of each read back to the system and faults them in again, which cost more than the reading.
void KeepMemoryBetweenFiles();

// The CSV header row: "file" and the seventeen Summary captions.
std::string SummaryCsvHeader();
// One CSV field, quoted as RFC 4180 asks when it holds a comma, a double quote or a line break.
void AppendCsvField(std::string& out, std::string_view field);

} // namespace quillmark
