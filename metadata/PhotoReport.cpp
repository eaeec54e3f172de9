#include "PhotoReport.h"

#include "ImgData.h"

namespace quillmark {

const TSummaryRow kSummaryRows[15] = {
    {"Make", "Make"},
    {"Model", "Model"},
    {"Title", "Title"},
    {"Subject", "Subject"},
    {"Keywords", "Keywords"},
    {"Comments", "Comments"},
    {"Author", "Author"},
    {"Copyright", "Copyright"},
    {"FNumber", "FNumber"},
    {"ISOSpeedRatings", "ISO"},
    {"Flash", "Flash"},
    {"WhiteBalance", "White Balance"},
    {"MaxApertureValue", "Max Aperture"},
    {"ShutterSpeedValue", "Shutter Speed"},
    {"MeteringMode", "Mettering Mode"},
};

void AddReportLines(std::vector<std::string>& lines, std::string_view text) {
    // A plain loop: find_first_of with a set of two searches the set once per byte of the text,
    // which made splitting the report cost more than reading the photo.
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    lines.emplace_back(text.substr(start));
}

namespace {

// The entries of one list, in list order: what the entry cursor gives, without copying each entry.
void ListEntries(const TImageInfo& reader, int32_t listId, std::vector<TReportRow>* rows,
                 std::vector<std::string>& memo) {
    std::string line;
    for (const TTagEntry& e : reader.Entries) {
        if (e.ListId != listId) continue;
        line.assign(e.Caption).append(" = ").append(e.Text);
        AddReportLines(memo, line);
        if (rows) rows->push_back({e.Caption, e.Text});
    }
}

void AddSummaryRows(const TImageInfo& reader, std::vector<TReportRow>& rows) {
    for (const auto& row : kSummaryRows)
        rows.push_back({row.Caption, reader.ExifValue(row.TagName)});
}

} // namespace

TPhotoReport BuildPhotoReport(TimgData& data, TReportLists lists) {
    TPhotoReport r;
    auto& memo = r.MemoLines;
    TImageInfo* reader = data.ExifReader.get();
    const bool rows = lists == TReportLists::All;
    if (reader) {
        memo.reserve(reader->Entries.size() + 64);
        if (rows) r.ExifRows.reserve(reader->Entries.size());
    }
    const bool hasExif = data.HasExif() && reader;
    if (lists == TReportLists::Summary) {
        if (data.HasThumbnail()) reader->ReadThumbnailDirectory();
        if (hasExif) AddSummaryRows(*reader, r.SummaryRows);
        return r;
    }

    if (!hasExif)
        r.ExifRows.push_back({"No Exif data in photo!", ""});
    else
        ListEntries(*reader, 0, rows ? &r.ExifRows : nullptr, memo);
    if (!data.HasMetadata()) return r;

    if (hasExif && reader->MakerNoteDecoded) {
        AddReportLines(memo, " ");
        AddReportLines(memo, " -- Maker Specific Data ---- ");
        ListEntries(*reader, 1, rows ? &r.MakerRows : nullptr, memo);
    }

    if (data.HasThumbnail()) {
        reader->ReadThumbnailDirectory();
        AddReportLines(memo, " ");
        AddReportLines(memo, " -- Thumbnail Data ---- ");
        AddReportLines(memo, "Thumbnail Start = " + std::to_string(reader->ThumbnailStart));
        AddReportLines(memo, "Thumbnail Length = " + std::to_string(reader->ThumbnailLength));
        reader->ResetThumbCursor();
        TTagEntry e;
        while (reader->NextThumbEntry(0, e))
            AddReportLines(memo, e.Caption + " = " + e.Text);
    } else {
        AddReportLines(memo, "No Thumbnail");
    }

    if (data.CommentSection) {
        AddReportLines(memo, " ");
        AddReportLines(memo, " Comment Segment Available");
        AddReportLines(memo, data.CommentText());
    }

    if (data.IptcSection && data.IptcReader) {
        const auto lines = data.IptcReader->ListAsLines(data.Section(data.IptcSection).Data);
        if (!lines.empty()) {
            AddReportLines(memo, "\r\n IPTC Segment Available!\r\n");
            for (const auto& line : lines)
                AddReportLines(memo, line);
        }
    }

    if (!hasExif) return r;

    AddReportLines(memo, " ");
    AddReportLines(memo, " -- EXIF Summary -(short)--- ");
    AddReportLines(memo, reader->ShortSummaryText());
    AddReportLines(memo, " ");
    AddReportLines(memo, " -- EXIF Summary -(long)---- ");
    AddReportLines(memo, reader->SummaryText());
    AddSummaryRows(*reader, r.SummaryRows);
    return r;
}

} // namespace quillmark
