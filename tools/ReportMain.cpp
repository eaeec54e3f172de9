// quillmark-report: prints what Quillmark reads from photos, without the window.
#include "PhotoReportText.h"
#include "ReaderSettings.h"
#include "ReportInputs.h"
#include "TextEncoding.h"

#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace quillmark;

const char* kUsage =
    "Usage: quillmark-report [OPTION]... FILE|FOLDER|-...\n"
    "\n"
    "Prints the metadata Quillmark reads from each photo: JPEG, TIFF and the raw formats\n"
    "built on it (CR2, NEF, ARW, DNG, ORF, RW2, PEF, IIQ, BigTIFF, ...), HEIC/HEIF, AVIF,\n"
    "CR3, JPEG XL, JPEG 2000, PNG, WebP, PSD, RAF, MRW and CRW, each recognised by its\n"
    "first bytes.\n"
    "\n"
    "Text output: for each file, the lines of the viewer's report (each EXIF entry as\n"
    "\"Caption = text\", the maker notes, the thumbnail data or \"No Thumbnail\", the JPEG\n"
    "comment, the IPTC lines and the short and long summaries), then \" -- Summary ---- \"\n"
    "and the seventeen Summary rows. A photo without EXIF shows \"No Exif data in photo!\".\n"
    "A photo that is not a JPEG shows its format (\"Format = HEIC\"), and every embedded\n"
    "preview shows a line \"Preview = KIND, CODEC, W x H, N bytes at offset O\"; what\n"
    "the file holds but was not read, or damage met in it, shows \"Note = ...\".\n"
    "With more than one file each block starts with \"==> FILE <==\".\n"
    "\n"
    "  --json          print a JSON array, one object per file on a line of its own:\n"
    "                  file, error (null when the read succeeded), format (\"JPEG\", \"TIFF\",\n"
    "                  \"CR2\", \"HEIC\", ...; null when unknown), hasExif, entries,\n"
    "                  thumbnail (null or start, length, entries, imageOffset, imageLength),\n"
    "                  previews (each with kind, width, height, offset, length),\n"
    "                  comment (or null), iptc (the IPTC lines), summary (caption, value),\n"
    "                  shortSummary, longSummary. Each entry has list (0 EXIF, 1 maker\n"
    "                  notes, 2 IPTC, 3 XMP, 4 ICC profile), tag, name, caption, text (as\n"
    "                  shown), type (the TIFF field type), group (IFD0, ExifIFD, GPS, Interop,\n"
    "                  IFD1, SubIFD, MakerNotes, IPTC, ICC_Profile, XMP or XMP-sidecar) and\n"
    "                  value (XMP: a string, or an array for a list): the stored value as a number, an "
    "array\n"
    "                  of numbers when there are several, a rational as numerator divided\n"
    "                  by denominator (null for a zero denominator), a string for text, and\n"
    "                  for UNDEFINED bytes that are not printable text their hexadecimal digits\n"
    "  --jsonl         the same objects, one per line, without the enclosing array\n"
    "  --summary-csv   the seventeen Summary rows per file as CSV (RFC 4180 quoting): a header\n"
    "                  row (file and the Summary captions), then one row per file\n"
    "  -r, --recursive read folders and the folders inside them; their photos are recognised\n"
    "                  by their content and read in byte order of their path names\n"
    "  -j, --jobs N    read N files at a time (output stays in the order of the files);\n"
    "                  also -jN and --jobs=N\n"
    "  -               read file names from standard input, one per line (at most 4096\n"
    "                  bytes each; a longer name, or one holding a NUL byte, is refused)\n"
    "  -0, --null      names on standard input end in a NUL byte, as find -print0 writes\n"
    "  --              what follows are file names, even when they start with \"-\"\n"
    "  -h, --help      show this text\n"
    "  --version       print the program's name and version\n"
    "\n"
    "All output is UTF-8: texts that are not valid UTF-8 are read as Windows-1252. Control\n"
    "characters a file carries are shown as U+FFFD (\xEF\xBF\xBD) in text and CSV; JSON escapes\n"
    "C0 controls and shows DEL and C1 controls as U+FFFD.\n"
    "\n"
    "A file that cannot be read is named on standard error with the reason\n"
    "(\"quillmark-report: FILE: Permission denied\"); in JSON its object carries the reason\n"
    "as error. Without -r a folder is such a file (\"Is a directory\"). With -r a file that\n"
    "cannot be read is reported when its name is a photo's; a folder deeper than 64 levels\n"
    "is named on standard error and not entered.\n"
    "\n"
    "Examples:\n"
    "  quillmark-report photo.jpg\n"
    "  quillmark-report --json -r ~/Pictures > pictures.json\n"
    "  find . -name '*.jpg' | quillmark-report --jsonl --jobs 4 -\n"
    "  find . -name '*.heic' -print0 | quillmark-report -0 -j2 -\n"
    "  quillmark-report --summary-csv -r holiday/ > holiday.csv\n"
    "\n"
    "Exit status: 0 when every file had metadata, 1 when some had none, 2 for a usage\n"
    "error, a file that is missing or cannot be read, or a failed write of the output.\n";

enum class TFormat { Text, Json, JsonLines, Csv };

struct TOptions {
    TFormat Format = TFormat::Text;
    bool Recursive = false;
    bool NulSeparated = false;
    unsigned Jobs = 1;
    std::vector<TReportArgument> Arguments;
};

// Writes the output and keeps the exit status; false once standard output refuses a write.
class TOutput {
public:
    TOutput(TFormat format, bool headers) : Format(format), Headers(headers) {}

    bool Begin() {
        if (Format == TFormat::Json) return Write("[");
        if (Format == TFormat::Csv) return Write(SummaryCsvHeader());
        return true;
    }

    bool Add(const TReportInput& input, TFileReport& report) {
        if (!report.IsFile) {
            std::fprintf(stderr, "quillmark-report: %s: %s\n", DisplayUtf8(input.Path).c_str(),
                         DisplayUtf8(report.Error).c_str());
            Status = 2;
        } else if (!report.HadMetadata && Status == 0) {
            Status = 1;
        }
        bool ok = true;
        switch (Format) {
        case TFormat::Text:
            if (!report.IsFile) break;
            if (Headers) ok = Write((Count == 0 ? "==> " : "\n==> ") + DisplayUtf8(input.Path) + " <==\n");
            ok = ok && Write(report.Text);
            break;
        case TFormat::Json:
        case TFormat::JsonLines:
            if (Format == TFormat::Json) ok = Write(Count == 0 ? "\n" : ",\n");
            report.Json += '\n';
            ok = ok && Write(Format == TFormat::JsonLines
                                 ? std::string_view(report.Json)
                                 : std::string_view(report.Json).substr(0, report.Json.size() - 1));
            break;
        case TFormat::Csv:
            if (report.IsFile) ok = Write(report.Csv);
            break;
        }
        ++Count;
        return ok;
    }

    bool End() {
        if (Format == TFormat::Json && !Write(Count == 0 ? "]\n" : "\n]\n")) return false;
        if (std::fflush(stdout) != 0) return Failed(errno);
        return true;
    }

    int Status = 0;

private:
    bool Write(std::string_view text) {
        if (text.empty()) return true;
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::ferror(stdout))
            return Failed(errno);
        return true;
    }
    bool Failed(int error) {
        std::fprintf(stderr, "quillmark-report: error writing the output: %s\n",
                     error ? std::strerror(error) : "write failed");
        Status = 2;
        return false;
    }

    TFormat Format;
    bool Headers;
    size_t Count = 0;
};

TReportParts PartsOf(TFormat format) {
    switch (format) {
    case TFormat::Text:
        return TReportParts::Text;
    case TFormat::Csv:
        return TReportParts::Csv;
    default:
        return TReportParts::Json;
    }
}

TFileReport Report(const TReportInput& input, TReportParts parts) {
    if (!input.Error.empty()) return UnreadableReport(input.Path, input.Error);
    try {
        return ReportFile(input.Path, parts);
    } catch (const std::exception& e) {
        return UnreadableReport(input.Path, e.what());
    }
}

using TSink = std::function<bool(const TReportInput&, TFileReport&)>;

void RunSerial(TReportInputs& inputs, TReportParts parts, const TSink& sink) {
    while (auto input = inputs.Next()) {
        TFileReport report = Report(*input, parts);
        if (!sink(*input, report)) return;
    }
}

// Reads on `jobs` threads and hands the reports to `sink` in the order of the inputs. At most a few
// reports per thread wait for their turn, so memory stays bounded however many files there are.
void RunParallel(TReportInputs& inputs, TReportParts parts, unsigned jobs, const TSink& sink) {
    const uint64_t window = 4 * static_cast<uint64_t>(jobs);
    std::mutex m;
    std::condition_variable changed;
    uint64_t taken = 0, written = 0;
    bool exhausted = false, stop = false;
    std::map<uint64_t, std::pair<TReportInput, TFileReport>> ready;

    const auto work = [&] {
        ReaderSettings().KeepTraces = false;
        std::unique_lock lock(m);
        for (;;) {
            changed.wait(lock, [&] { return stop || exhausted || taken - written < window; });
            if (stop || exhausted) return;
            std::optional<TReportInput> input = inputs.Next(); // under the lock: the inputs are one list
            if (!input) {
                exhausted = true;
                changed.notify_all();
                return;
            }
            const uint64_t seq = taken++;
            lock.unlock();
            TFileReport report = Report(*input, parts);
            lock.lock();
            ready.emplace(seq, std::make_pair(std::move(*input), std::move(report)));
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < jobs; ++i)
        threads.emplace_back(work);

    std::unique_lock lock(m);
    for (;;) {
        changed.wait(lock, [&] { return ready.contains(written) || (exhausted && written == taken); });
        auto it = ready.find(written);
        if (it == ready.end()) break;
        auto item = std::move(it->second);
        ready.erase(it);
        ++written;
        changed.notify_all();
        lock.unlock();
        const bool ok = sink(item.first, item.second);
        lock.lock();
        if (!ok) {
            stop = true;
            changed.notify_all();
            break;
        }
    }
    lock.unlock();
    for (auto& t : threads)
        t.join();
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "quillmark-report: %s\nTry 'quillmark-report --help'.\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    bool endOfOptions = false;
    bool formatGiven = false;
    const auto setFormat = [&](TFormat f) {
        const bool clash = formatGiven && options.Format != f;
        options.Format = f;
        formatGiven = true;
        return !clash;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (endOfOptions || arg == "-" || arg.empty() || arg[0] != '-') {
            options.Arguments.push_back({arg, !endOfOptions && arg == "-"});
        } else if (arg == "--") {
            endOfOptions = true;
        } else if (arg == "--json" || arg == "--jsonl" || arg == "--summary-csv") {
            if (!setFormat(arg == "--json"    ? TFormat::Json
                           : arg == "--jsonl" ? TFormat::JsonLines
                                              : TFormat::Csv))
                return Usage("choose one of --json, --jsonl and --summary-csv");
        } else if (arg == "-r" || arg == "--recursive") {
            options.Recursive = true;
        } else if (arg == "-0" || arg == "--null") {
            options.NulSeparated = true;
        } else if (arg.starts_with("-j") || arg == "--jobs" || arg.starts_with("--jobs=")) {
            std::string value;
            if (arg.starts_with("--jobs="))
                value = arg.substr(7);
            else if (arg.starts_with("-j") && arg.size() > 2)
                value = arg.substr(2);
            else if (i + 1 < argc)
                value = argv[++i];
            unsigned n = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (value.empty() || ec != std::errc() || end != value.data() + value.size() || n < 1 || n > 256)
                return Usage("--jobs takes a number of threads from 1 to 256");
            options.Jobs = n;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return std::fflush(stdout) == 0 ? 0 : 2;
        } else if (arg == "--version") {
            std::fputs("quillmark-report " QUILLMARK_VERSION "\n", stdout);
            return std::fflush(stdout) == 0 ? 0 : 2;
        } else {
            return Usage("unknown option '" + DisplayUtf8(arg) + "'");
        }
    }
    if (options.Arguments.empty()) {
        std::fprintf(stderr, "quillmark-report: no file given\n%s", kUsage);
        return 2;
    }

    // The tool prints no trace texts: the reader need not build them.
    ReaderSettings().KeepTraces = false;
    KeepMemoryBetweenFiles();

    // Blocks get a "==> FILE <==" line whenever there may be more than one file.
    const auto& a = options.Arguments;
    struct stat st {};
    const bool oneFile = a.size() == 1 && !a[0].FromStdin &&
                         !(options.Recursive && ::stat(a[0].Path.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
    TOutput output(options.Format, !oneFile);
    TReportInputs inputs(std::move(options.Arguments), options.Recursive, stdin, options.NulSeparated);
    const TReportParts parts = PartsOf(options.Format);
    const TSink sink = [&](const TReportInput& input, TFileReport& report) {
        return output.Add(input, report);
    };
    if (!output.Begin()) return 2;
    if (options.Jobs > 1)
        RunParallel(inputs, parts, options.Jobs, sink);
    else
        RunSerial(inputs, parts, sink);
    if (output.Status == 2 && std::ferror(stdout)) return 2;
    output.End();
    return output.Status;
}
