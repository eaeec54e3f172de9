#include "PhotoReportText.h"

#include "ImgData.h"
#include "PhotoReport.h"
#include "TextEncoding.h"

#include <string_view>
#include <utility>

namespace quillmark {

namespace {

// Appends a reader text as DisplayUtf8 gives it, without a temporary for the common valid case.
void AppendDisplayUtf8(std::string& out, std::string_view text) {
    if (IsValidUtf8(text))
        out.append(text);
    else
        out += Windows1252ToUtf8(text);
}

// Objects are filled key by key: a braced list of pairs first builds each pair as a two-element array
// and then copies it into the object, which made the JSON of an entry cost more than reading it.
nlohmann::json EntryJson(const TTagEntry& e) {
    nlohmann::json j(nlohmann::json::value_t::object);
    j["list"] = e.ListId;
    j["tag"] = e.Tag;
    j["name"] = DisplayUtf8(e.Name);
    j["caption"] = DisplayUtf8(e.Caption);
    j["text"] = DisplayUtf8(e.Text);
    j["type"] = e.FieldType;
    return j;
}

nlohmann::json SummaryJson(const TReportRow& row) {
    nlohmann::json j(nlohmann::json::value_t::object);
    j["caption"] = DisplayUtf8(row.Item);
    j["value"] = DisplayUtf8(row.Details);
    return j;
}

} // namespace

namespace {

void RenderText(const TimgData& data, const TPhotoReport& report, std::string& text) {

    // The memo lines, or the one row of the Exif list when the photo has no EXIF. Lines are
    // appended in place, without a temporary string for each of the hundred or so.
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

void RenderJson(TimgData& data, const TPhotoReport& report, nlohmann::json& j) {
    j["file"] = DisplayUtf8(data.PathName);
    j["error"] = DisplayUtf8(data.ErrorText);
    j["hasExif"] = data.HasExif();
    nlohmann::json entries = nlohmann::json::array();
    nlohmann::json thumbnail = nullptr;
    std::string shortSummary, longSummary;
    if (TImageInfo* reader = data.ExifReader.get(); reader && data.HasExif()) {
        for (const auto& e : reader->Entries)
            entries.push_back(EntryJson(e));
        if (data.HasThumbnail()) {
            nlohmann::json thumbEntries = nlohmann::json::array();
            for (const auto& e : reader->ThumbEntries)
                thumbEntries.push_back(EntryJson(e));
            thumbnail = {{"start", reader->ThumbnailStart},
                         {"length", reader->ThumbnailLength},
                         {"entries", std::move(thumbEntries)}};
        }
        shortSummary = reader->ShortSummaryText();
        longSummary = reader->SummaryText();
    }
    // Moved, not copied: a copy of the entry list cost as much as building it.
    j["entries"] = std::move(entries);
    j["thumbnail"] = std::move(thumbnail);
    j["comment"] =
        data.CommentSection ? nlohmann::json(DisplayUtf8(data.CommentText())) : nlohmann::json(nullptr);
    nlohmann::json iptc = nlohmann::json::array();
    if (data.IptcSection && data.IptcReader)
        for (const auto& line : data.IptcReader->ListAsLines(data.Section(data.IptcSection).Data))
            iptc.push_back(DisplayUtf8(line));
    j["iptc"] = std::move(iptc);
    nlohmann::json summary = nlohmann::json::array();
    for (const auto& row : report.SummaryRows)
        summary.push_back(SummaryJson(row));
    j["summary"] = std::move(summary);
    j["shortSummary"] = DisplayUtf8(shortSummary);
    j["longSummary"] = DisplayUtf8(longSummary);
}

} // namespace

TFileReport RenderReport(TimgData& data, bool hadMetadata, TReportParts parts) {
    TFileReport out;
    out.HadMetadata = hadMetadata;
    // The JSON takes its entries from the reader, and the text only the report lines and the
    // Summary: the entry rows of the other two lists are never needed here.
    const TPhotoReport report = BuildPhotoReport(data, TReportLists::MemoAndSummary);
    if (parts != TReportParts::Json) RenderText(data, report, out.Text);
    if (parts != TReportParts::Text) RenderJson(data, report, out.Json);
    return out;
}

TFileReport ReportFile(const std::string& path, TReportParts parts) {
    TimgData data(255);
    const bool ok = data.ProcessFile(path);
    if (!ok && data.PathName.empty()) { // the reader names only regular files it found
        TFileReport none;
        none.IsFile = false;
        return none;
    }
    return RenderReport(data, ok, parts);
}

} // namespace quillmark
