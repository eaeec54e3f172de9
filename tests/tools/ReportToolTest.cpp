// The command-line report tool as a user runs it: output, exit status, encodings.
#include "TestFiles.h"
#include "TextEncoding.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <sys/wait.h>

using namespace quillmark::testing;
using quillmark::craft::JpegFile;
using quillmark::craft::TiffBlock;

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
};

ToolRun Tool(const std::string& args) {
    ToolRun r;
    const std::string command = std::string("'") + QUILLMARK_REPORT_TOOL + "' " + args + " 2>/dev/null";
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    const int raw = ::pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

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

    r = Tool(Quote(comment) + " " + Quote((dir.Path / "missing.jpg").string()));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Comment Segment Available"), std::string::npos);
    // A folder named like a photo gets no report, and the photos before it still do.
    std::filesystem::create_directory(dir.Path / "folder.jpg");
    r = Tool(Quote(comment) + " " + Quote((dir.Path / "folder.jpg").string()));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Comment Segment Available"), std::string::npos);
    EXPECT_EQ(r.out.find("==> " + (dir.Path / "folder.jpg").string()), std::string::npos) << r.out;

    EXPECT_EQ(Tool("").status, 2);
    EXPECT_EQ(Tool("--bogus " + Quote(comment)).status, 2);
    r = Tool("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--json"), std::string::npos);
    EXPECT_NE(r.out.find("Exit status"), std::string::npos);
}

TEST(ReportTool, JsonCarriesEveryPart) {
    TempDir dir;
    TiffBlock t(false);
    const int ifd1 = t.AddIfd();
    t.Ascii(0, 0x010F, "Caf\xE9")          // Windows-1252 e-acute
        .Ascii(0, 0x0110, "Mod\xC3\xA8le") // valid UTF-8 stays as it is
        .Short(0, 0x0112, {3})             // "Rotated 180" and the degree sign byte
        .Next(0, ifd1);
    t.Short(ifd1, 0x0103, {6}).LinkTrailer(ifd1, 0x0201).Long(ifd1, 0x0202, {300});
    t.Trailer(std::string(300, '\0'));
    const std::string path =
        dir.File("j.jpg", JpegFile().Soi().Exif(t).Comment("note \xB0").ScanAndEnd().Bytes());
    const std::string none = dir.File("none.jpg", JpegFile().Soi().Jfif().ScanAndEnd().Bytes());

    const ToolRun r = Tool("--json " + Quote(path) + " " + Quote(none));
    EXPECT_EQ(r.status, 1);
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_TRUE(j.is_array());
    ASSERT_EQ(j.size(), 2u);
    const auto& a = j[0];
    EXPECT_EQ(a["file"], path);
    EXPECT_EQ(a["error"], "<none>");
    EXPECT_EQ(a["hasExif"], true);
    ASSERT_EQ(a["entries"].size(), 3u);
    EXPECT_EQ(a["entries"][0]["text"], "Caf\xC3\xA9");
    EXPECT_EQ(a["entries"][0]["tag"], 0x010F);
    EXPECT_EQ(a["entries"][0]["name"], "Make");
    EXPECT_EQ(a["entries"][0]["type"], 2);
    EXPECT_EQ(a["entries"][0]["list"], 0);
    EXPECT_EQ(a["entries"][1]["text"], "Mod\xC3\xA8le");
    EXPECT_EQ(a["entries"][2]["caption"], "Orientation");
    EXPECT_EQ(a["entries"][2]["text"], "Rotated 180\xC2\xB0");
    ASSERT_TRUE(a["thumbnail"].is_object());
    EXPECT_EQ(a["thumbnail"]["start"], t.IfdOffset(ifd1));
    ASSERT_EQ(a["thumbnail"]["entries"].size(), 3u);
    EXPECT_EQ(a["thumbnail"]["entries"][0]["text"], "Jpeg");
    EXPECT_EQ(a["comment"], "note \xC2\xB0");
    EXPECT_TRUE(a["iptc"].is_array());
    ASSERT_EQ(a["summary"].size(), 15u);
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
}

TEST(TextEncoding, Utf8StaysAndTheRestIsWindows1252) {
    using quillmark::DisplayUtf8;
    EXPECT_EQ(DisplayUtf8("plain"), "plain");
    EXPECT_EQ(DisplayUtf8("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(DisplayUtf8("\xE9t\xE9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(DisplayUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(DisplayUtf8("\x81"), "\xC2\x81");
    EXPECT_EQ(DisplayUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");                 // overlong: not UTF-8
    EXPECT_EQ(DisplayUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC"); // a surrogate: not UTF-8
    EXPECT_EQ(DisplayUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}
