// What the fuzz targets do with one input, shared with the ordinary test suite so that every input
// that ever failed a target is run again there (tests/metadata/FuzzRegressionTest.cpp). Each body
// returns false when a promise the code makes was broken; a crash, a sanitizer report or an escaping
// exception is a failure of its own.
#pragma once

#include "IccProfile.h"
#include "ImgData.h"
#include "IptcData.h"
#include "JpegWriter.h"
#include "MakerNoteHarness.h"
#include "PhotoReport.h"
#include "PhotoReportText.h"
#include "ReaderSettings.h"
#include "TextEncoding.h"
#include "Xmp.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace quillmark::fuzzing {

// Whether the bytes read the same from a file (through the buffered file reader the window uses) as
// from memory: the same outcome and the same lists. The file lives only for the comparison.
inline bool ReadsAlikeFromAFile(const std::string& name, std::string_view bytes, bool memoryResult,
                                const TimgData& fromMemory, const TPhotoReport& memoryReport) {
    const std::string path = "/tmp/quillmark-fuzz-" + std::to_string(::getpid()) + "-" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return true; // no room for the file: nothing to compare
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) {
        std::remove(path.c_str());
        return true;
    }
    TimgData d(255);
    const bool ok = d.ProcessFile(path);
    std::remove(path.c_str());
    const TPhotoReport report = BuildPhotoReport(d);
    const auto same = [](const std::vector<TReportRow>& a, const std::vector<TReportRow>& b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i].Item != b[i].Item || a[i].Details != b[i].Details) return false;
        return true;
    };
    return ok == memoryResult && d.ErrorText == fromMemory.ErrorText &&
           d.FileLength == static_cast<int64_t>(bytes.size()) &&
           same(report.ExifRows, memoryReport.ExifRows) && same(report.MakerRows, memoryReport.MakerRows) &&
           same(report.SummaryRows, memoryReport.SummaryRows);
}

// A file read as the window reads it, followed by everything the window would ask of it: the
// report (with the thumbnail directory), the IPTC entries, and the in-place changes and header
// copy of the writer, which work on positions the file gave. One size in 32 is also read from a
// file and must read alike: a second read through a file costs more than the rest of an input.
inline bool ReadLikeTheWindow(const std::string& name, std::string_view bytes) {
    // One size in eight reads with the detailed trace (TraceDetail, the window's verbose setting),
    // which formats every value a second way; the bytes themselves stay a file as it would be opened.
    ReaderSettings().TraceDetail = bytes.size() % 8 == 1;
    TimgData d(255);
    const bool read = d.ProcessBytes(name, bytes);
    const TPhotoReport report = BuildPhotoReport(d);
    if (bytes.size() % 32 == 3 && !ReadsAlikeFromAFile(name, bytes, read, d, report)) return false;
    ReaderSettings().TraceDetail = 0;

    if (d.IptcSection && d.IptcReader) d.IptcReader->ReadIptc(d.Section(d.IptcSection).Data);
    if (TImageInfo* info = d.ExifReader.get()) {
        // Enter EXIF comment and the half-size copy write into the EXIF section at positions read
        // from the file; they must never leave it or change its size.
        const size_t before = d.Section(d.ExifSection).Data.size();
        info->SetExifComment("fuzzed comment");
        info->SetDimensions(info->Height / 2 + 1, info->Width / 2 + 1);
        if (d.Section(d.ExifSection).Data.size() != before) return false;
    }
    std::string header;
    d.WriteHeaderSections(header);
    return header.compare(0, 2, "\xFF\xD8") == 0;
}

// The maker-note walk: the first byte chooses the file the rest is the maker note of
// (MakerNoteHarness.h).
inline bool ReadMakerNote(std::string_view input) {
    if (input.size() < 2) return true;
    const MakerChoice choice = ChooseMaker(static_cast<uint8_t>(input[0]), static_cast<uint8_t>(input[1]));
    std::string name;
    const std::string file = MakerFile(choice, std::string(input.substr(2)), name);
    if (file.empty()) return true;
    // One size in eight reads with the detailed trace, which formats every maker value a second
    // way, its bytes in hexadecimal included.
    ReaderSettings().TraceDetail = input.size() % 8 == 1;
    TimgData d(255);
    d.ProcessBytes(name, file);
    (void)BuildPhotoReport(d);
    ReaderSettings().TraceDetail = 0;
    return true;
}

// The IPTC reader over arbitrary APP13 data: the lines the report shows, the merged entries, and the
// comma-text merging a keyword list read from the file goes through when keywords are added.
inline bool ReadIptcSection(std::string_view input) {
    const std::string app13(input);
    TIPTCdata iptc(nullptr);
    const std::vector<std::string> lines = iptc.ListAsLines(app13);
    iptc.ReadIptc(app13);
    // Merging only ever joins datasets: never more entries than listed lines.
    if (iptc.Count() > static_cast<int>(lines.size())) return false;
    const std::string keywords = iptc.GetValueByName("Keywords", "");
    (void)iptc.AddMultiValue("Keywords", iptc.GetValueByName("ImageCaption", "a, b"));
    (void)iptc.SetValueByName("SuppCategory", keywords);
    (void)SplitCommaText(keywords);
    return true;
}

// The XMP reader over any packet: the properties it keeps stay within its limits, every one has a name
// and as many languages as values, and the display texts can be made. Also the ICC profile reader and
// the extended XMP join over the same bytes.
inline bool ReadXmpPacketBody(std::string_view input) {
    const TXmpData d = ReadXmp(input);
    if (d.Properties.size() > kXmpMaxProperties || d.Notes.size() > 1) return false;
    size_t kept = 0;
    for (const auto& p : d.Properties) {
        if (p.Name.empty() || p.Values.size() != p.Langs.size()) return false;
        kept += XmpDisplayText(p).size();
    }
    if (kept > 4 * kXmpMaxKeptBytes + d.Properties.size() * 64) return false;
    (void)ReadIccProfile(input);
    TXmpExtension extension;
    extension.Add(input);
    extension.Add(input.substr(std::min<size_t>(input.size(), 7)));
    return input.size() < 32 || extension.Join(input.substr(0, 32)).size() <= kXmpMaxPacket;
}

// The writer's skipping of the header sections of an encoded stream: never past its end.
inline bool SkipWriterSections(std::string_view encoded) {
    return SkipEncoderHeaderSections(encoded) <= encoded.size();
}

// The report tool's three renderings of any bytes: the text and CSV are valid UTF-8 whose only
// control character is the line feed between lines; the JSON is valid UTF-8 without a raw control
// character and parses back, and a thumbnail it places lies within the file.
inline bool RenderLikeTheReportTool(std::string_view bytes) {
    ReaderSettings().KeepTraces = false;
    const bool tiff = bytes.starts_with("II") || bytes.starts_with("MM");
    TimgData d(255);
    const bool read = d.ProcessBytes(tiff ? "fuzz.tif" : "fuzz.jpg", bytes);
    const int64_t tiffHeader =
        d.HasThumbnail() ? FindExifTiffHeaderInBytes(bytes, d.Section(d.ExifSection)) : -1;
    const TFileReport r = RenderReport(d, read, TReportParts(7), tiffHeader);
    ReaderSettings().KeepTraces = true;
    const auto lines = [](const std::string& text) {
        return IsDisplaySafe(text, TControls::LineBreaks) && text.find_first_of("\r\t") == std::string::npos;
    };
    if (!lines(r.Text) || !lines(r.Csv) || !IsDisplaySafe(r.Json)) return false;
    const nlohmann::json j = nlohmann::json::parse(r.Json, nullptr, false);
    if (j.is_discarded() || !j.is_object() || j["summary"].size() > std::size(kSummaryRows)) return false;
    const nlohmann::json& t = j["thumbnail"];
    if (t.is_object() && t["imageOffset"].is_number()) {
        const auto offset = t["imageOffset"].get<int64_t>(), length = t["imageLength"].get<int64_t>();
        if (offset < 0 || length <= 0 || offset + length > static_cast<int64_t>(bytes.size())) return false;
    }
    return true;
}

} // namespace quillmark::fuzzing
