#include "PhotoReportText.h"

#include "ImgData.h"
#include "PhotoReport.h"
#include "TextEncoding.h"

namespace quillmark {

namespace {

nlohmann::json EntryJson(const TTagEntry& e) {
    return {{"list", e.ListId},
            {"tag", e.Tag},
            {"name", DisplayUtf8(e.Name)},
            {"caption", DisplayUtf8(e.Caption)},
            {"text", DisplayUtf8(e.Text)},
            {"type", e.FieldType}};
}

} // namespace

TFileReport RenderReport(TimgData& data, bool hadMetadata) {
    TFileReport out;
    out.HadMetadata = hadMetadata;
    const TPhotoReport report = BuildPhotoReport(data);

    // Text: the memo lines, or the one row of the Exif list when the photo has no EXIF.
    std::string& text = out.Text;
    if (!data.HasExif() && !report.ExifRows.empty()) text += DisplayUtf8(report.ExifRows.front().Item) + "\n";
    for (const auto& line : report.MemoLines)
        text += DisplayUtf8(line) + "\n";
    text += " -- Summary ---- \n";
    for (const auto& row : report.SummaryRows)
        text += DisplayUtf8(row.Item + " = " + row.Details) + "\n";

    nlohmann::json& j = out.Json;
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
                         {"entries", thumbEntries}};
        }
        shortSummary = reader->ShortSummaryText();
        longSummary = reader->SummaryText();
    }
    j["entries"] = entries;
    j["thumbnail"] = thumbnail;
    j["comment"] =
        data.CommentSection ? nlohmann::json(DisplayUtf8(data.CommentText())) : nlohmann::json(nullptr);
    nlohmann::json iptc = nlohmann::json::array();
    if (data.IptcSection && data.IptcReader)
        for (const auto& line : data.IptcReader->ListAsLines(data.Section(data.IptcSection).Data))
            iptc.push_back(DisplayUtf8(line));
    j["iptc"] = iptc;
    nlohmann::json summary = nlohmann::json::array();
    for (const auto& row : report.SummaryRows)
        summary.push_back({{"caption", DisplayUtf8(row.Item)}, {"value", DisplayUtf8(row.Details)}});
    j["summary"] = summary;
    j["shortSummary"] = DisplayUtf8(shortSummary);
    j["longSummary"] = DisplayUtf8(longSummary);
    return out;
}

TFileReport ReportFile(const std::string& path) {
    TimgData data(255);
    const bool ok = data.ProcessFile(path);
    return RenderReport(data, ok);
}

} // namespace quillmark
