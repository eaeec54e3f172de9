// quillmark-report: prints what Quillmark reads from photos, without the window.
#include "PhotoReportText.h"
#include "ReaderSettings.h"
#include "TextEncoding.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

const char* kUsage = "Usage: quillmark-report [--json] FILE...\n"
                     "\n"
                     "Prints the metadata Quillmark reads from each photo (JPEG, TIFF or Nikon .nef).\n"
                     "\n"
                     "Text output: for each file, the lines of the viewer's report (each EXIF entry as\n"
                     "\"Caption = text\", the maker notes, the thumbnail data or \"No Thumbnail\", the JPEG\n"
                     "comment, the IPTC lines and the short and long summaries), then \" -- Summary ---- \"\n"
                     "and the fifteen Summary rows. A photo without EXIF shows \"No Exif data in photo!\".\n"
                     "With several files each block starts with \"==> FILE <==\".\n"
                     "\n"
                     "  --json     print one JSON array with an object per file: file, error, hasExif,\n"
                     "             entries (list, tag, name, caption, text, type), thumbnail (start,\n"
                     "             length, entries) or null, comment or null, iptc, summary (caption,\n"
                     "             value), shortSummary, longSummary\n"
                     "  --help     show this text\n"
                     "  --version  print the program's name and version\n"
                     "\n"
                     "All output is UTF-8: texts that are not valid UTF-8 are read as Windows-1252.\n"
                     "\n"
                     "Exit status: 0 when every file had metadata, 1 when some had none, 2 for a usage\n"
                     "error or a file that does not exist.\n";

} // namespace

int main(int argc, char** argv) {
    bool json = false;
    bool endOfOptions = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!endOfOptions && arg == "--") {
            endOfOptions = true;
        } else if (!endOfOptions && arg == "--json") {
            json = true;
        } else if (!endOfOptions && (arg == "--help" || arg == "-h")) {
            std::cout << kUsage;
            return 0;
        } else if (!endOfOptions && arg == "--version") {
            std::cout << "quillmark-report " QUILLMARK_VERSION "\n";
            return 0;
        } else if (!endOfOptions && arg.size() > 1 && arg[0] == '-') {
            std::cerr << "quillmark-report: unknown option '" << arg << "'\n"
                      << "Try 'quillmark-report --help'.\n";
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::cerr << "quillmark-report: no file given\n" << kUsage;
        return 2;
    }

    // The tool prints no trace texts: the reader need not build them.
    quillmark::ReaderSettings().KeepTraces = false;

    int status = 0;
    bool first = true;
    nlohmann::json all = nlohmann::json::array();
    for (const auto& file : files) {
        quillmark::TFileReport report =
            quillmark::ReportFile(file, json ? quillmark::TReportParts::Json : quillmark::TReportParts::Text);
        if (!report.IsFile) { // asked only then, so a folder of photos costs no second look-up per file
            std::error_code ec;
            std::cerr << "quillmark-report: " << file
                      << (std::filesystem::exists(file, ec) ? ": not a regular file\n" : ": no such file\n");
            status = 2;
            continue;
        }
        if (!report.HadMetadata && status == 0) status = 1;
        if (json) {
            all.push_back(std::move(report.Json));
        } else {
            if (files.size() > 1)
                std::cout << (first ? "" : "\n") << "==> " << quillmark::DisplayUtf8(file) << " <==\n";
            std::cout << report.Text;
        }
        first = false;
    }
    if (json) std::cout << all.dump(2) << "\n";
    std::cout.flush();
    return status;
}
