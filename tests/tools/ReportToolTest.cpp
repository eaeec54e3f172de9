// The command-line report tool as a user runs it: output, exit status, encodings, errors, folders.
#include "JsonWriter.h"
#include "PhotoReportText.h"
#include "TestFiles.h"
#include "TextEncoding.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillmark::testing;
using quillmark::craft::JpegFile;
using quillmark::craft::TiffBlock;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

// Runs the tool through the shell with `input` on standard input; standard output goes to a file,
// or where `stdoutTo` says.
ToolRun Tool(const std::string& args, const std::string& input = "", const std::string& stdoutTo = "") {
    TempDir dir;
    const std::string in = dir.File("in", input);
    const std::string out = (dir.Path / "out").string(), err = (dir.Path / "err").string();
    const std::string command = std::string("'") + QUILLMARK_REPORT_TOOL + "' " + args + " <'" + in + "' >'" +
                                (stdoutTo.empty() ? out : stdoutTo) + "' 2>'" + err + "'";
    ToolRun r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

std::vector<nlohmann::json> JsonLines(const std::string& out) {
    std::vector<nlohmann::json> objects;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    return objects;
}

const std::string kFffd = "\xEF\xBF\xBD";

} // namespace

TEST(ReportTool, TextReportOfOnePhoto) {
    const ToolRun r = Tool(Quote(SamplePath("Canon_40D.jpg")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Make = Canon\n", 0), 0u) << r.out; // the first EXIF entry opens the report
    EXPECT_NE(r.out.find("\n -- Summary ---- \nMake = Canon\nModel = Canon EOS 40D\nTitle = \n"),
              std::string::npos);
    EXPECT_EQ(r.out.find("==>"), std::string::npos);
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

TEST(ReportTool, SeveralFilesAndExitStatus) {
    TempDir dir;
    const std::string comment = dir.File("comment.jpg", JpegFile().Soi().Comment("hi").ScanAndEnd().Bytes());
    const std::string plain = dir.File("plain.jpg", JpegFile().Soi().Jfif().ScanAndEnd().Bytes());

    ToolRun r = Tool(Quote(comment) + " " + Quote(SamplePath("Nikon_D70.jpg")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("==> " + comment +
                              " <==\nNo Exif data in photo!\nNo Thumbnail\n \n Comment Segment "
                              "Available\nhi\n -- Summary ---- \n\n==> ",
                          0),
              0u)
        << r.out;

    r = Tool(Quote(plain) + " " + Quote(comment));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("==> " + plain + " <==\nNo Exif data in photo!\n -- Summary ---- \n"),
              std::string::npos);

    EXPECT_EQ(Tool("").status, 2);
    r = Tool("--bogus " + Quote(comment));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quillmark-report: unknown option '--bogus'\nTry 'quillmark-report --help'.\n");
    EXPECT_EQ(Tool("--json --jsonl " + Quote(comment)).status, 2);
    EXPECT_EQ(Tool("--jobs 0 " + Quote(comment)).status, 2);
    r = Tool("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* option :
         {"--json", "--jsonl", "--summary-csv", "--recursive", "--jobs", "Exit status", "Examples"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

// Whatever keeps a file from being read is named with the system's reason, on standard error and in
// the JSON, and the exit status says so; the files around it are still reported.
TEST(ReportTool, UnreadableFilesSayWhy) {
    TempDir dir;
    const std::string comment = dir.File("comment.jpg", JpegFile().Soi().Comment("hi").ScanAndEnd().Bytes());
    fs::create_directory(dir.Path / "folder.jpg");
    const std::string locked = dir.File("locked.jpg", JpegFile().Soi().Comment("x").ScanAndEnd().Bytes());
    ::chmod(locked.c_str(), 0);
    const bool root = ::access(locked.c_str(), R_OK) == 0; // root reads it anyway
    struct Case {
        std::string path, reason;
    };
    std::vector<Case> cases = {{(dir.Path / "missing.jpg").string(), "No such file or directory"},
                               {(dir.Path / "folder.jpg").string(), "Is a directory"},
                               {"/dev/null", "Not a regular file"}};
    if (!root) cases.push_back({locked, "Permission denied"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ToolRun r = Tool(Quote(comment) + " " + Quote(c.path));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "quillmark-report: " + c.path + ": " + c.reason + "\n");
        EXPECT_NE(r.out.find("Comment Segment Available"), std::string::npos);
        EXPECT_EQ(r.out.find("==> " + c.path), std::string::npos) << r.out;
        r = Tool("--jsonl " + Quote(c.path) + " " + Quote(comment));
        EXPECT_EQ(r.status, 2);
        const auto objects = JsonLines(r.out);
        ASSERT_EQ(objects.size(), 2u);
        EXPECT_EQ(objects[0]["file"], c.path);
        EXPECT_EQ(objects[0]["error"], c.reason);
        EXPECT_TRUE(objects[0]["entries"].empty());
        EXPECT_EQ(objects[1]["comment"], "hi");
    }
}

TEST(ReportTool, AFailedWriteEndsTheRun) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (const char* format : {"", "--json ", "--summary-csv "}) {
        const ToolRun r = Tool(format + Quote(SamplePath("Canon_40D.jpg")), "", "/dev/full");
        EXPECT_EQ(r.status, 2) << format;
        EXPECT_EQ(r.err, "quillmark-report: error writing the output: No space left on device\n") << format;
    }
}

TEST(ReportTool, JsonCarriesEveryPart) {
    TempDir dir;
    TiffBlock t(false);
    const int ifd1 = t.AddIfd();
    const int exif = t.AddIfd();
    const std::string thumb = "\xFF\xD8 thumbnail image \xFF\xD9";
    t.Ascii(0, 0x010F, "Caf\xE9")          // Windows-1252 e-acute
        .Ascii(0, 0x0110, "Mod\xC3\xA8le") // valid UTF-8 stays as it is
        .Short(0, 0x0112, {3})             // "Rotated 180" and the degree sign byte
        .Link(0, 0x8769, exif)
        .Next(0, ifd1);
    t.SRational(exif, 0x9204, {{-1, 3}})                  // ExposureBiasValue
        .Rational(exif, 0x829D, {{0, 0}})                 // FNumber with no denominator
        .Short(exif, 0xA002, {640})                       // ExifImageWidth
        .Undefined(exif, 0x9000, "0231")                  // ExifVersion: text
        .Undefined(exif, 0x9101, {"\x01\x02\x03\x00", 4}) // ComponentsConfiguration: bytes
        .Short(exif, 0x0214, {1, 2, 3});                  // ReferenceBlackWhite-like: several values
    t.Short(ifd1, 0x0103, {6})
        .LinkTrailer(ifd1, 0x0201)
        .Long(ifd1, 0x0202, {static_cast<uint32_t>(thumb.size())});
    t.Trailer(thumb + std::string(300, '\0'));
    const std::string path =
        dir.File("j.jpg", JpegFile().Soi().Exif(t).Comment("note \xB0").ScanAndEnd().Bytes());
    const std::string none = dir.File("none.jpg", JpegFile().Soi().Jfif().ScanAndEnd().Bytes());

    const ToolRun r = Tool("--json " + Quote(path) + " " + Quote(none));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("[\n{", 0), 0u);
    EXPECT_EQ(r.out.substr(r.out.size() - 3), "\n]\n");
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_TRUE(j.is_array());
    ASSERT_EQ(j.size(), 2u);
    const auto& a = j[0];
    EXPECT_EQ(a["file"], path);
    EXPECT_TRUE(a["error"].is_null());
    EXPECT_EQ(a["hasExif"], true);
    std::map<int, nlohmann::json> byTag;
    for (const auto& e : a["entries"])
        byTag[e["tag"].get<int>()] = e;
    EXPECT_EQ(byTag[0x010F]["text"], "Caf\xC3\xA9");
    EXPECT_EQ(byTag[0x010F]["value"], "Caf\xC3\xA9");
    EXPECT_EQ(byTag[0x010F]["name"], "Make");
    EXPECT_EQ(byTag[0x010F]["type"], 2);
    EXPECT_EQ(byTag[0x010F]["list"], 0);
    EXPECT_EQ(byTag[0x010F]["group"], "IFD0");
    EXPECT_EQ(byTag[0x0110]["text"], "Mod\xC3\xA8le");
    EXPECT_EQ(byTag[0x0112]["text"], "Rotated 180\xC2\xB0");
    EXPECT_EQ(byTag[0x0112]["value"], 3);
    EXPECT_EQ(byTag[0x9204]["group"], "ExifIFD");
    EXPECT_DOUBLE_EQ(byTag[0x9204]["value"].get<double>(), -1.0 / 3);
    EXPECT_TRUE(byTag[0x829D]["value"].is_null());
    EXPECT_EQ(byTag[0xA002]["value"], 640);
    EXPECT_EQ(byTag[0x9000]["value"], "0231");
    EXPECT_EQ(byTag[0x9101]["value"], "01020300");
    EXPECT_EQ(byTag[0x0214]["value"], nlohmann::json::array({1, 2, 3}));
    ASSERT_TRUE(a["thumbnail"].is_object());
    EXPECT_EQ(a["thumbnail"]["start"], t.IfdOffset(ifd1));
    ASSERT_EQ(a["thumbnail"]["entries"].size(), 3u);
    EXPECT_EQ(a["thumbnail"]["entries"][0]["text"], "Jpeg");
    EXPECT_EQ(a["thumbnail"]["entries"][0]["group"], "IFD1");
    // The thumbnail image's own bytes, counted from the start of the file.
    const std::string file = ReadAll(path);
    ASSERT_TRUE(a["thumbnail"]["imageOffset"].is_number());
    EXPECT_EQ(file.substr(a["thumbnail"]["imageOffset"].get<size_t>(), thumb.size()), thumb);
    EXPECT_EQ(a["thumbnail"]["imageLength"], thumb.size());
    EXPECT_EQ(a["comment"], "note \xC2\xB0");
    EXPECT_TRUE(a["iptc"].is_array());
    ASSERT_EQ(a["summary"].size(), 17u);
    EXPECT_EQ(a["summary"][0]["caption"], "Make");
    EXPECT_EQ(a["summary"][0]["value"], "Caf\xC3\xA9");
    EXPECT_EQ(a["shortSummary"].get<std::string>().rfind("j.jpg ", 0), 0u);
    // One text is converted as a whole: the Windows-1252 byte makes all of it Windows-1252.
    EXPECT_NE(
        a["longSummary"].get<std::string>().find("\r\nMake (Model): Caf\xC3\xA9 (Mod\xC3\x83\xC2\xA8le)"),
        std::string::npos);

    const auto& b = j[1];
    EXPECT_EQ(b["error"], "Not an EXIF file");
    EXPECT_EQ(b["hasExif"], false);
    EXPECT_TRUE(b["entries"].empty());
    EXPECT_TRUE(b["thumbnail"].is_null());
    EXPECT_TRUE(b["comment"].is_null());
    EXPECT_TRUE(b["summary"].empty());
    EXPECT_EQ(b["shortSummary"], "");

    // --jsonl: the same objects, one per line, without the array.
    const ToolRun lines = Tool("--jsonl " + Quote(path) + " " + Quote(none));
    const auto objects = JsonLines(lines.out);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0], j[0]);
    EXPECT_EQ(objects[1], j[1]);
}

TEST(ReportTool, CameraSampleJsonForScripts) {
    const auto j = nlohmann::json::parse(Tool("--jsonl " + Quote(SamplePath("Canon_40D.jpg"))).out);
    std::map<std::string, nlohmann::json> byName;
    for (const auto& e : j["entries"])
        byName.emplace(e["name"].get<std::string>(), e);
    EXPECT_EQ(byName["Make"]["group"], "IFD0");
    EXPECT_EQ(byName["XResolution"]["value"], 72);
    EXPECT_EQ(byName["ExposureTime"]["group"], "ExifIFD");
    EXPECT_DOUBLE_EQ(byName["ExposureTime"]["value"].get<double>(), 1.0 / 160);
    EXPECT_EQ(byName["ISOSpeedRatings"]["value"], 100);
    EXPECT_EQ(byName["InteroperabilityIndex"]["group"], "Interop");
    EXPECT_EQ(byName["InteroperabilityIndex"]["value"], "R98");
    // The thumbnail image's place as an independent reader gives it.
    EXPECT_EQ(j["thumbnail"]["imageOffset"], 1120);
    EXPECT_EQ(j["thumbnail"]["imageLength"], 1378);
}

// Control characters a file carries never reach the terminal: text and CSV show U+FFFD, JSON escapes
// C0 and shows DEL and C1 as U+FFFD. The report's own lines stay lines.
TEST(ReportTool, ControlCharactersAreReplaced) {
    TempDir dir;
    TiffBlock t(false);
    t.Ascii(0, 0x010F, "A\x1B[2JB\tC\x7F\x81") // not UTF-8: read as Windows-1252, 0x81 has no character
        .Ascii(0, 0x0110,
               "x\xC2\x9B"
               "1m\ny"); // UTF-8 with a C1 CSI and a line break
    const std::string path =
        dir.File("c.jpg", JpegFile().Soi().Exif(t).Comment("one\r\ntwo\x07").ScanAndEnd().Bytes());
    for (const char* format : {"", "--summary-csv"}) {
        const ToolRun r = Tool(std::string(format) + " " + Quote(path));
        EXPECT_TRUE(quillmark::IsDisplaySafe(r.out, quillmark::TControls::LineBreaks));
        for (unsigned char c : r.out)
            EXPECT_TRUE(c == '\n' || (c >= 0x20 && c != 0x7F)) << int(c) << format;
        EXPECT_NE(r.out.find("B"), std::string::npos);
        EXPECT_NE(r.out.find(kFffd), std::string::npos) << format; // DEL and C1 at least
    }
    // The comment's bytes reach the report as they are: split into lines first, then converted.
    EXPECT_NE(Tool(Quote(path)).out.find("\none\ntwo" + kFffd + "\n"), std::string::npos);

    const auto j = nlohmann::json::parse(Tool("--json " + Quote(path)).out);
    EXPECT_EQ(j[0]["comment"], "one\r\ntwo\x07");
    EXPECT_EQ(j[0]["entries"][0]["value"], "A\x1B[2JB\tC" + kFffd + kFffd);
}

TEST(ReportTool, SummaryCsv) {
    TempDir dir;
    TiffBlock t(false);
    t.Ascii(0, 0x010F, "Can,on \"X\"").Ascii(0, 0x0110, "M1");
    const std::string path = dir.File("a,b.jpg", JpegWithExif(t));
    const std::string plain = dir.File("plain.jpg", JpegFile().Soi().Jfif().ScanAndEnd().Bytes());
    const ToolRun r = Tool("--summary-csv " + Quote(path) + " " + Quote(plain));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "file,Make,Model,Title,Subject,Keywords,Comments,Author,Copyright,FNumber,ISO,Flash,"
                     "White Balance,Max Aperture,Shutter Speed,Mettering Mode,Lens,Rating\n\"" +
                         path + "\",\"Can,on \"\"X\"\"\",M1,,,,,,,,,,,,,,,\n" + plain +
                         ",,,,,,,,,,,,,,,,,\n");
}

TEST(ReportTool, FoldersListsAndJobs) {
    TempDir dir;
    const std::string jpeg = JpegFile().Soi().Comment("c").ScanAndEnd().Bytes();
    fs::create_directories(dir.Path / "a");
    for (const char* name : {"a-c.jpg", "a/b.jpg", "B.jpg", "noext"})
        dir.File(name, jpeg);
    dir.File("notes.jpg.txt", "not a photo");
    fs::create_directory_symlink(dir.Path / "a", dir.Path / "link");
    const std::string root = dir.Path.string();

    // Byte order of the path names; photos by content, a link to a folder not followed.
    ToolRun r = Tool("--jsonl -r " + Quote(root));
    EXPECT_NE(r.status, 2) << r.err;
    std::vector<std::string> files;
    for (const auto& o : JsonLines(r.out))
        files.push_back(o["file"]);
    const std::vector<std::string> expected = {root + "/B.jpg", root + "/a-c.jpg", root + "/a/b.jpg",
                                               root + "/noext"};
    EXPECT_EQ(files, expected);
    r = Tool("-r " + Quote(root));
    EXPECT_EQ(r.out.rfind("==> " + root + "/B.jpg <==\n", 0), 0u) << r.out;
    // Without -r a folder is an error.
    r = Tool(Quote(root));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quillmark-report: " + root + ": Is a directory\n");

    // Names from standard input, among arguments, in order; empty lines name nothing.
    r = Tool("--jsonl " + Quote(expected[3]) + " - " + Quote(expected[0]),
             expected[2] + "\n\n" + expected[1] + "\n");
    files.clear();
    for (const auto& o : JsonLines(r.out))
        files.push_back(o["file"]);
    EXPECT_EQ(files, (std::vector<std::string>{expected[3], expected[2], expected[1], expected[0]}));

    // Several threads print exactly what one prints.
    const std::string cameras = Quote(fs::path(SamplePath("Canon_40D.jpg")).parent_path().string());
    for (const char* format : {"--jsonl", "", "--summary-csv"}) {
        const ToolRun serial = Tool(std::string(format) + " -r " + cameras + " " + Quote(root));
        const ToolRun parallel = Tool(std::string(format) + " --jobs 3 -r " + cameras + " " + Quote(root));
        EXPECT_EQ(serial.status, parallel.status);
        EXPECT_EQ(serial.out, parallel.out) << format;
        EXPECT_GT(serial.out.size(), 2000u) << format;
    }
}

TEST(TextEncoding, Utf8StaysAndTheRestIsWindows1252) {
    using quillmark::DisplayUtf8;
    using quillmark::TControls;
    struct Case {
        std::string in, out;
        TControls keep = TControls::None;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
        {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},
        {"\x80", "\xE2\x82\xAC"},
        {"\x81\x8D\x8F\x90\x9D", kFffd + kFffd + kFffd + kFffd + kFffd}, // no character in Windows-1252
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                // overlong: not UTF-8
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                // a surrogate: not UTF-8
        {std::string("a\0b", 3), "a" + kFffd + "b"},
        {"a\tb\r\nc\x1B\x7F", "a" + kFffd + "b" + kFffd + kFffd + "c" + kFffd + kFffd},
        {"a\tb\r\nc\x1B\x7F", "a\tb\r\nc" + kFffd + kFffd, TControls::LineBreaks},
        {"a\tb\r\nc\x1B\x7F", "a\tb\r\nc\x1B" + kFffd, TControls::C0},
        {"\xC2\x80\xC2\x9F\xC2\xA0", kFffd + kFffd + "\xC2\xA0"}, // C1 in valid UTF-8
        {"12345678\x01"
         "2345678",
         "12345678" + kFffd + "2345678"}, // past the eight-byte fast path
        // Bidirectional controls and the line and paragraph separators, in lists and lines alike;
        // JSON keeps them for its writer to escape.
        {"a\xE2\x80\xAE"
         "b\xE2\x81\xA6"
         "c\xE2\x80\xA8"
         "d\xE2\x80\xA9",
         "a" + kFffd + "b" + kFffd + "c" + kFffd + "d" + kFffd},
        {"\xE2\x80\xAA\xE2\x81\xA9\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xA5",
         kFffd + kFffd + "\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xA5", TControls::LineBreaks},
        {"a\xE2\x80\xAE", "a\xE2\x80\xAE", TControls::C0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DisplayUtf8(c.in, c.keep), c.out) << c.in;
        EXPECT_EQ(quillmark::IsDisplaySafe(c.in, c.keep), c.in == c.out) << c.in;
    }
}

TEST(JsonWriter, EscapesWhatWouldTurnOrSplitTheText) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\xE2\x80\xAE"
         "b",
         R"("a\u202eb")"},
        {"\xE2\x80\xA8\xE2\x80\xA9\xE2\x81\xA6\xE2\x81\xA9", R"("\u2028\u2029\u2066\u2069")"},
        {"\xE2\x80\xA7\xE2\x80\xAF\xE2\x82\xAC\xE2\x80", "\"\xE2\x80\xA7\xE2\x80\xAF\xE2\x82\xAC\xE2\x80\""},
        {"q\"\n", R"("q\"\n")"},
    };
    for (const auto& [in, out] : cases) {
        std::string json;
        quillmark::TJsonWriter(json).String(in);
        EXPECT_EQ(json, out) << in;
    }
}

// The thumbnail's bytes are placed by the reader's own marker walk: stand-alone markers and fill bytes
// before the EXIF section move it, and the JSON still points at it.
TEST(ReportTool, ThumbnailPlacedPastStandAloneMarkers) {
    TempDir dir;
    TiffBlock t(false);
    const int ifd1 = t.AddIfd();
    const std::string thumb = "\xFF\xD8 the thumbnail \xFF\xD9";
    t.Ascii(0, 0x010F, "Canon").Next(0, ifd1);
    t.Short(ifd1, 0x0103, {6})
        .LinkTrailer(ifd1, 0x0201)
        .Long(ifd1, 0x0202, {static_cast<uint32_t>(thumb.size())});
    t.Trailer(thumb + std::string(300, '\0'));
    const std::string bytes =
        JpegFile().Soi().Raw("\xFF\xD0\xFF\xFF\xFF").Raw("\xFF\x01").Exif(t).ScanAndEnd().Bytes();
    const std::string path = dir.File("standalone.jpg", bytes);
    const ToolRun r = Tool("--jsonl " + Quote(path));
    const auto j = JsonLines(r.out);
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0]["format"], "JPEG");
    ASSERT_TRUE(j[0]["thumbnail"]["imageOffset"].is_number()) << r.out;
    EXPECT_EQ(bytes.substr(j[0]["thumbnail"]["imageOffset"].get<size_t>(), thumb.size()), thumb);
    EXPECT_EQ(j[0]["thumbnail"]["imageLength"], thumb.size());
    EXPECT_TRUE(j[0]["previews"].is_array());
}

// Other formats: named in the text and the JSON, their previews listed.
TEST(ReportTool, FormatAndPreviews) {
    ToolRun r =
        Tool("--jsonl " + Quote(SamplePath("Panasonic.rw2")) + " " + Quote(SamplePath("CanonRaw.cr2")));
    const auto j = JsonLines(r.out);
    ASSERT_EQ(j.size(), 2u);
    EXPECT_EQ(j[0]["format"], "RW2");
    ASSERT_EQ(j[0]["previews"].size(), 1u);
    EXPECT_EQ(j[0]["previews"][0]["kind"], "JpgFromRaw");
    EXPECT_EQ(j[0]["previews"][0]["length"], 10785);
    EXPECT_EQ(j[1]["format"], "CR2");
    r = Tool(Quote(SamplePath("Panasonic.rw2")));
    EXPECT_NE(
        r.out.find("\nFormat = RW2\nPreview = JpgFromRaw, JPEG, 10785 bytes at offset 1536\n -- Summary"),
        std::string::npos)
        << r.out;
    TempDir dir;
    r = Tool(Quote(dir.File("a.gif", "GIF89a")));
    EXPECT_EQ(r.status, 1);
    r = Tool("--jsonl " + Quote(dir.File("b.gif", "GIF89a")));
    EXPECT_EQ(JsonLines(r.out)[0]["error"], "Not a photo format Quillmark knows");
}

// Faults of the inputs: each is named with its reason, the run goes on, and the status is 2.
TEST(ReportTool, InputFaults) {
    TempDir dir;
    const std::string jpeg = JpegFile().Soi().Comment("c").ScanAndEnd().Bytes();
    const std::string good = dir.File("good.jpg", jpeg);
    struct Case {
        const char* what;
        std::string args, input, err;
        size_t reports; // JSON objects
    };
    const std::string longName(5000, 'x');
    std::vector<Case> cases = {
        {"NUL in a listed name", "--jsonl -", std::string("a\0b\n", 4) + good + "\n",
         "quillmark-report: a\xEF\xBF\xBD"
         "b: Name holds a NUL byte\n",
         2},
        {"a name past the limit", "--jsonl -", longName + "\n" + good + "\n",
         "quillmark-report: " + longName.substr(0, 64) + "...: Name longer than 4096 bytes\n", 2},
        {"NUL-separated names", "--jsonl -0 -", good + std::string(1, '\0') + good + std::string(1, '\0'), "",
         2},
        {"-j2", "--jsonl -j2 " + Quote(good) + " " + Quote(good), "", "", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun r = Tool(c.args, c.input);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.status, c.err.empty() ? 0 : 2);
        EXPECT_EQ(JsonLines(r.out).size(), c.reports);
    }
    EXPECT_EQ(Tool("-j2 " + Quote(good)).out, Tool("--jobs 2 " + Quote(good)).out);
    EXPECT_EQ(Tool("-jx " + Quote(good)).status, 2);
}

// Under -r: every format by content, a photo that cannot be read reported with its reason, an empty one
// reported as having nothing, and a folder past the depth limit named.
TEST(ReportTool, RecursiveFaults) {
    TempDir dir;
    dir.File("empty.jpg", "");
    fs::copy_file(SamplePath("CanonRaw.cr2"), dir.Path / "raw.cr2");
    dir.File("notes.txt", "not a photo");
    const std::string locked = dir.File("locked.jpg", JpegFile().Soi().Comment("x").ScanAndEnd().Bytes());
    ::chmod(locked.c_str(), 0);
    const bool root = ::access(locked.c_str(), R_OK) == 0;
    fs::path deep = dir.Path;
    for (int i = 0; i < 66; ++i)
        deep /= "d";
    fs::create_directories(deep);
    ToolRun r = Tool("--jsonl -r " + Quote(dir.Path.string()));
    std::vector<std::string> files;
    for (const auto& o : JsonLines(r.out))
        files.push_back(fs::path(o["file"].get<std::string>()).filename());
    EXPECT_EQ(files, (std::vector<std::string>{"empty.jpg", "locked.jpg", "raw.cr2"}));
    EXPECT_NE(r.err.find("not entered, deeper than 64 folders\n"), std::string::npos) << r.err;
    if (!root) {
        EXPECT_NE(r.err.find("quillmark-report: " + locked + ": Permission denied\n"), std::string::npos)
            << r.err;
        EXPECT_EQ(r.status, 2);
    }
}
