#include "PhotoReport.h"

#include "IccProfile.h"
#include "ImgData.h"
#include "ValueFormat.h"

namespace quillmark {

const TSummaryRow kSummaryRows[17] = {
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
    {"Lens", "Lens"},
    {"Rating", "Rating"},
};

std::string RatingStars(std::string_view rating) {
    const std::string t = TrimText(rating);
    if (t == "-1") return "Rejected";
    // Ratings are whole stars; a writer that gives "3.0" means three.
    if (t.empty() || t[0] < '0' || t[0] > '5' ||
        (t.size() > 1 && t.find_first_not_of('0', 2) != std::string::npos) || (t.size() > 1 && t[1] != '.'))
        return {};
    const int stars = t[0] - '0';
    std::string s;
    for (int i = 0; i < 5; ++i)
        s += i < stars ? "\u2605" : "\u2606";
    return s;
}

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

// The XMP property standing in for a Summary row when EXIF has nothing for it.
const char* XmpStandIn(std::string_view tagName) {
    if (tagName == "Title") return "dc:title";
    if (tagName == "Subject") return "dc:description";
    if (tagName == "Keywords") return "dc:subject";
    if (tagName == "Author") return "dc:creator";
    if (tagName == "Copyright") return "dc:rights";
    return nullptr;
}

// The IPTC dataset standing in for a Summary row when EXIF has nothing for it.
const char* IptcStandIn(std::string_view tagName) {
    if (tagName == "Title") return "ObjectName";
    if (tagName == "Subject") return "ImageCaption";
    if (tagName == "Keywords") return "Keywords";
    if (tagName == "Author") return "ByLine";
    if (tagName == "Copyright") return "Copyright";
    return nullptr;
}

// The embedded XMP's value, else the sidecar's.
const TXmpProperty* FindXmpOf(const TXmpData& xmp, std::string_view name) {
    const TXmpProperty* sidecar = nullptr;
    for (const auto& p : xmp.Properties)
        if (p.Name == name && !p.Values.empty()) {
            if (!p.Sidecar) return &p;
            if (!sidecar) sidecar = &p;
        }
    return sidecar;
}

// A lens the camera named: makers write "n/a", "None" or an unknown code where a body has no
// interchangeable lens, and such a word is no lens for the Summary.
bool NamesALens(const std::string& text) {
    const std::string t = TrimText(text);
    return !t.empty() && t != "n/a" && t != "N/A" && t != "None" && !t.starts_with("Unknown");
}

std::string LensOf(const TImageInfo* reader) {
    if (!reader) return {};
    if (std::string lens = reader->ExifValue("LensModel"); NamesALens(lens)) return lens;
    for (const char* name : {"LensModel", "Lens", "LensType"})
        if (std::string lens = reader->LookupTagValue(name, 1); NamesALens(lens)) return lens;
    return {};
}

void AddSummaryRows(const TimgData& data, const TImageInfo* reader, const TXmpData& xmp,
                    std::vector<TReportRow>& rows) {
    TIPTCdata iptc(nullptr);
    if (data.IptcSection) iptc.ReadIptc(data.Section(data.IptcSection).Data);
    for (const auto& row : kSummaryRows) {
        const std::string_view name = row.TagName;
        std::string value;
        if (name == "Lens")
            value = LensOf(reader);
        else if (name == "Rating") {
            if (const TXmpProperty* p = FindXmpOf(xmp, "xmp:Rating")) value = RatingStars(p->Values.front());
        } else if (reader)
            value = reader->ExifValue(name);
        if (value.empty())
            if (const char* dataset = IptcStandIn(name)) value = iptc.GetValueByName(dataset);
        if (value.empty())
            if (const char* property = XmpStandIn(name))
                if (const TXmpProperty* p = FindXmpOf(xmp, property))
                    value = p->IsList && name == "Keywords" ? XmpDisplayText(*p) : p->Values.front();
        rows.push_back({row.Caption, std::move(value)});
    }
}

void AddXmp(const TXmpData& xmp, std::vector<TReportRow>* rows, std::vector<std::string>& memo) {
    if (xmp.Properties.empty() && xmp.Notes.empty()) return;
    AddReportLines(memo, " ");
    AddReportLines(memo, " -- XMP ---- ");
    for (const auto& note : xmp.Notes) {
        AddReportLines(memo, note);
        if (rows) rows->push_back({note, ""});
    }
    for (const auto& p : xmp.Properties) {
        std::string item = p.Sidecar ? p.Name + " (sidecar)" : p.Name;
        std::string text = XmpDisplayText(p);
        AddReportLines(memo, item + " = " + text);
        if (rows) rows->push_back({std::move(item), std::move(text)});
    }
}

void AddIcc(const std::vector<TTagEntry>& entries, std::vector<TReportRow>* rows,
            std::vector<std::string>& memo) {
    if (entries.empty()) return;
    AddReportLines(memo, " ");
    AddReportLines(memo, " -- ICC Profile ---- ");
    for (const auto& e : entries) {
        AddReportLines(memo, e.Caption + " = " + e.Text);
        if (rows) rows->push_back({e.Caption, e.Text});
    }
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
    r.Xmp = ReadPhotoXmp(data);
    r.IccEntries = ReadIccProfile(data.IccProfile);
    // A photo that has XMP but no EXIF still has a Summary: its titles, keywords and rating.
    const bool hasSummary = hasExif || !r.Xmp.Properties.empty();
    if (lists == TReportLists::Summary) {
        if (data.HasThumbnail()) reader->ReadThumbnailDirectory();
        if (hasSummary) AddSummaryRows(data, hasExif ? reader : nullptr, r.Xmp, r.SummaryRows);
        return r;
    }

    if (!hasExif)
        r.ExifRows.push_back({"No Exif data in photo!", ""});
    else
        ListEntries(*reader, 0, rows ? &r.ExifRows : nullptr, memo);
    if (!data.HasMetadata() && r.Xmp.Properties.empty() && r.Xmp.Notes.empty() && r.IccEntries.empty())
        return r;

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

    AddIcc(r.IccEntries, rows ? &r.ExifRows : nullptr, memo);
    AddXmp(r.Xmp, rows ? &r.XmpRows : nullptr, memo);

    if (!hasExif) {
        if (hasSummary) AddSummaryRows(data, nullptr, r.Xmp, r.SummaryRows);
        return r;
    }

    AddReportLines(memo, " ");
    AddReportLines(memo, " -- EXIF Summary -(short)--- ");
    AddReportLines(memo, reader->ShortSummaryText());
    AddReportLines(memo, " ");
    AddReportLines(memo, " -- EXIF Summary -(long)---- ");
    AddReportLines(memo, reader->SummaryText());
    AddSummaryRows(data, reader, r.Xmp, r.SummaryRows);
    return r;
}

} // namespace quillmark
