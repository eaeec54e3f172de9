#include "PhotoReportText.h"

#include "EntryValueJson.h"
#include "ImgData.h"
#include "PhotoReport.h"
#include "TextEncoding.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillmark {

namespace {

using json = nlohmann::json;

// JSON strings: the writer escapes C0 controls itself; DEL and C1 controls become U+FFFD.
json JsonText(std::string_view text) {
    return DisplayUtf8(text, TControls::C0);
}

// Objects are filled key by key: a braced list of pairs first builds each pair as a two-element array
// and then copies it into the object, which made the JSON of an entry cost more than reading it.
json EntryJson(const TTagEntry& e) {
    json j(json::value_t::object);
    j["list"] = e.ListId;
    j["tag"] = e.Tag;
    j["name"] = JsonText(e.Name);
    j["caption"] = JsonText(e.Caption);
    j["text"] = JsonText(e.Text);
    j["type"] = e.FieldType;
    j["group"] = GroupName(e.Group);
    j["value"] = EntryValueJson(e);
    return j;
}

// An IPTC dataset as an entry: `list` 2, `tag` the dataset number, `record` its record.
json IptcEntryJson(const TTagEntry& e) {
    json j(json::value_t::object);
    j["list"] = 2;
    j["tag"] = e.Tag;
    j["record"] = e.SubCode;
    j["name"] = JsonText(e.Name);
    j["caption"] = JsonText(e.Caption);
    j["text"] = JsonText(e.Text);
    j["type"] = nullptr;
    j["group"] = GroupName(tgIPTC);
    j["value"] = JsonText(e.Text);
    return j;
}

json SummaryJson(const TReportRow& row) {
    json j(json::value_t::object);
    j["caption"] = JsonText(row.Item);
    j["value"] = JsonText(row.Details);
    return j;
}

void RenderText(const TimgData& data, const TPhotoReport& report, std::string& text) {
    // The memo lines, or the one row of the Exif list when the photo has no EXIF. Lines are
    // appended in place, without a temporary string for each of the hundred or so. The lines are
    // split before they are converted, so a line break a file carries inside a value is a line of
    // the report only where the report itself splits, and never reaches the terminal otherwise.
    size_t size = 64;
    for (const auto& line : report.MemoLines)
        size += line.size() + 1;
    for (const auto& row : report.SummaryRows)
        size += row.Item.size() + row.Details.size() + 4;
    text.reserve(size);
    if (!data.HasExif() && !report.ExifRows.empty()) {
        AppendDisplayUtf8(text, report.ExifRows.front().Item);
        text += '\n';
    }
    for (const auto& line : report.MemoLines) {
        AppendDisplayUtf8(text, line);
        text += '\n';
    }
    text += " -- Summary ---- \n";
    std::string row; // the row is checked for UTF-8 as a whole, caption and value together
    for (const auto& [item, details] : report.SummaryRows) {
        row.assign(item).append(" = ").append(details);
        AppendDisplayUtf8(text, row);
        text += '\n';
    }
}

// The value of a thumbnail directory entry, or -1 when it has none.
int64_t ThumbNumber(const TImageInfo& reader, uint16_t tag) {
    for (const auto& e : reader.ThumbEntries)
        if (e.Tag == tag && !e.Raw.empty())
            return static_cast<int64_t>(ValueAsNumber(e.Raw, e.FieldType, e.RawBigEndian));
    return -1;
}

json ThumbnailJson(const TimgData& data, const TImageInfo& reader, int64_t tiffHeaderOffset) {
    json thumbEntries = json::array();
    for (const auto& e : reader.ThumbEntries)
        thumbEntries.push_back(EntryJson(e));
    json t(json::value_t::object);
    t["start"] = reader.ThumbnailStart;
    t["length"] = reader.ThumbnailLength;
    t["entries"] = std::move(thumbEntries);
    // The image bytes: JPEGInterchangeFormat counts from the TIFF header, and they must lie within
    // the EXIF block, where a reader of the file will look for them.
    const int64_t start = ThumbNumber(reader, 0x0201);
    const int64_t length = ThumbNumber(reader, 0x0202);
    const tSection* exif = data.ExifSectionPtr();
    const int64_t blockSize = exif ? static_cast<int64_t>(exif->Size) - 8 : 0;
    if (tiffHeaderOffset >= 0 && start > 0 && length > 0 && start + length <= blockSize) {
        t["imageOffset"] = tiffHeaderOffset + start;
        t["imageLength"] = length;
    } else {
        t["imageOffset"] = nullptr;
        t["imageLength"] = nullptr;
    }
    return t;
}

void RenderJson(TimgData& data, const TPhotoReport& report, int64_t tiffHeaderOffset, json& j) {
    j["file"] = JsonText(data.PathName);
    j["error"] = data.ErrorText == "<none>" ? json(nullptr) : JsonText(data.ErrorText);
    j["hasExif"] = data.HasExif();
    json entries = json::array();
    json thumbnail = nullptr;
    std::string shortSummary, longSummary;
    if (TImageInfo* reader = data.ExifReader.get(); reader && data.HasExif()) {
        entries.get_ref<json::array_t&>().reserve(reader->Entries.size());
        for (const auto& e : reader->Entries)
            entries.push_back(EntryJson(e));
        if (data.HasThumbnail()) thumbnail = ThumbnailJson(data, *reader, tiffHeaderOffset);
        shortSummary = reader->ShortSummaryText();
        longSummary = reader->SummaryText();
    }
    json iptc = json::array();
    if (data.IptcSection && data.IptcReader) {
        const std::string& app13 = data.Section(data.IptcSection).Data;
        for (const auto& line : data.IptcReader->ListAsLines(app13))
            iptc.push_back(JsonText(line));
        TIPTCdata datasets(nullptr);
        datasets.ReadIptc(app13);
        for (const auto& e : datasets.AllEntries())
            entries.push_back(IptcEntryJson(e));
    }
    // Moved, not copied: a copy of the entry list cost as much as building it.
    j["entries"] = std::move(entries);
    j["thumbnail"] = std::move(thumbnail);
    j["comment"] = data.CommentSection ? JsonText(data.CommentText()) : json(nullptr);
    j["iptc"] = std::move(iptc);
    json summary = json::array();
    for (const auto& row : report.SummaryRows)
        summary.push_back(SummaryJson(row));
    j["summary"] = std::move(summary);
    j["shortSummary"] = JsonText(shortSummary);
    j["longSummary"] = JsonText(longSummary);
}

void RenderCsv(const TimgData& data, const TPhotoReport& report, std::string& csv) {
    AppendCsvField(csv, DisplayUtf8(data.PathName));
    for (size_t i = 0; i < std::size(kSummaryRows); ++i) {
        csv += ',';
        if (i < report.SummaryRows.size()) AppendCsvField(csv, DisplayUtf8(report.SummaryRows[i].Details));
    }
    csv += '\n';
}

// The system's reason why a path cannot be read as a file; empty when it can.
std::string Unreadable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::strerror(errno);
    struct stat st {};
    std::string why;
    char byte;
    if (::fstat(fd, &st) != 0)
        why = std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        why = std::strerror(EISDIR);
    else if (!S_ISREG(st.st_mode))
        why = "Not a regular file";
    else if (::read(fd, &byte, 1) < 0)
        why = std::strerror(errno);
    ::close(fd);
    return why;
}

// Walks a JPEG's header sections (SOI, then marker, two length bytes and the data, with fill
// bytes allowed before a marker) up to the picture data, through `readAt(position, count, into)`.
int64_t FindExifTiffHeader(const std::function<bool(int64_t, size_t, unsigned char*)>& readAt,
                           const tSection& exif) {
    constexpr int kMaxSections = 1000;
    constexpr int kMaxFill = 64;
    const size_t compare = std::min<size_t>(exif.Data.size(), 64);
    unsigned char head[64];
    int64_t pos = 2;
    for (int n = 0; n < kMaxSections; ++n) {
        unsigned char b[4];
        int fill = 0;
        if (!readAt(pos, 2, b) || b[0] != 0xFF) return -1;
        while (b[1] == 0xFF && fill++ < kMaxFill) {
            ++pos;
            if (!readAt(pos, 2, b)) return -1;
        }
        if (b[1] == 0xD9 || b[1] == 0xDA || b[1] == 0xFF) return -1;
        if (!readAt(pos + 2, 2, b + 2)) return -1;
        const int size = b[2] * 256 + b[3];
        if (size < 2) return -1;
        if (b[1] == 0xE1 && size == exif.Size && readAt(pos + 2, compare, head) &&
            std::memcmp(head, exif.Data.data(), compare) == 0)
            return pos + 2 + 2 + 6; // marker, length bytes, "Exif\0\0"
        pos += 2 + size;
    }
    return -1;
}

} // namespace

int64_t FindExifTiffHeaderInFile(const std::string& path, const tSection& exif) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    const int64_t found = FindExifTiffHeader(
        [fd](int64_t at, size_t n, unsigned char* into) {
            return ::pread(fd, into, n, static_cast<off_t>(at)) == static_cast<ssize_t>(n);
        },
        exif);
    ::close(fd);
    return found;
}

int64_t FindExifTiffHeaderInBytes(std::string_view bytes, const tSection& exif) {
    return FindExifTiffHeader(
        [bytes](int64_t at, size_t n, unsigned char* into) {
            if (at < 0 || static_cast<uint64_t>(at) > bytes.size() ||
                bytes.size() - static_cast<size_t>(at) < n)
                return false;
            std::memcpy(into, bytes.data() + at, n);
            return true;
        },
        exif);
}

TFileReport UnreadableReport(const std::string& path, std::string why) {
    TFileReport r;
    r.IsFile = false;
    r.Error = std::move(why);
    json& j = r.Json;
    j["file"] = JsonText(path);
    j["error"] = JsonText(r.Error);
    j["hasExif"] = false;
    j["entries"] = json::array();
    j["thumbnail"] = nullptr;
    j["comment"] = nullptr;
    j["iptc"] = json::array();
    j["summary"] = json::array();
    j["shortSummary"] = "";
    j["longSummary"] = "";
    return r;
}

std::string SummaryCsvHeader() {
    std::string h = "file";
    for (const auto& row : kSummaryRows) {
        h += ',';
        AppendCsvField(h, row.Caption);
    }
    return h + '\n';
}

void AppendCsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(field);
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

TFileReport RenderReport(TimgData& data, bool hadMetadata, TReportParts parts, int64_t tiffHeaderOffset) {
    TFileReport out;
    out.HadMetadata = hadMetadata;
    // The JSON takes its entries from the reader, and the text only the report lines and the
    // Summary: the entry rows of the other two lists are never needed here.
    const TPhotoReport report = BuildPhotoReport(data, TReportLists::MemoAndSummary);
    if (Has(parts, TReportParts::Text)) RenderText(data, report, out.Text);
    if (Has(parts, TReportParts::Json)) RenderJson(data, report, tiffHeaderOffset, out.Json);
    if (Has(parts, TReportParts::Csv)) RenderCsv(data, report, out.Csv);
    return out;
}

TFileReport ReportFile(const std::string& path, TReportParts parts) {
    TimgData data(255);
    const bool ok = data.ProcessFile(path);
    // Only a read that found nothing asks why: a folder of photos costs no second look per file.
    if (!ok)
        if (std::string why = Unreadable(path); !why.empty()) return UnreadableReport(path, std::move(why));
    int64_t tiffHeaderOffset = -1;
    if (Has(parts, TReportParts::Json) && data.HasThumbnail())
        tiffHeaderOffset = FindExifTiffHeaderInFile(path, data.Section(data.ExifSection));
    return RenderReport(data, ok, parts, tiffHeaderOffset);
}

} // namespace quillmark
