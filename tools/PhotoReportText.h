// The report tool's two renderings of a photo: the report lines the viewer's memo holds followed by
// the Summary rows, or one JSON object. All output is UTF-8.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace quillmark {

class TimgData;

struct TFileReport {
    bool HadMetadata = false; // ProcessFile's result
    bool IsFile = true;       // false: no regular file by that name, and Text and Json are empty
    std::string Text;         // lines separated by "\n", ending in "\n"
    nlohmann::json Json;
};

// Which renderings to make: each costs about as much as reading the file.
enum class TReportParts { Text = 1, Json = 2, Both = 3 };

// Reads one file with a fresh container and renders it.
TFileReport ReportFile(const std::string& path, TReportParts parts = TReportParts::Both);
// Renders a container that has just read a photo (reads its thumbnail directory on the way).
TFileReport RenderReport(TimgData& data, bool hadMetadata, TReportParts parts = TReportParts::Both);

} // namespace quillmark
