// The report tool's two renderings of a photo: the report lines the viewer's memo holds followed by
// the Summary rows, or one JSON object. All output is UTF-8.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace quillmark {

class TimgData;

struct TFileReport {
    bool HadMetadata = false; // ProcessFile's result
    std::string Text;         // lines separated by "\n", ending in "\n"
    nlohmann::json Json;
};

// Reads one file with a fresh container and renders it both ways.
TFileReport ReportFile(const std::string& path);
// Renders a container that has just read a photo (reads its thumbnail directory on the way).
TFileReport RenderReport(TimgData& data, bool hadMetadata);

} // namespace quillmark
