#include "PhotoReportText.h"

#include "EntryValueJson.h"
#include "ImgData.h"
#include "JpegMarkers.h"
#include "JsonWriter.h"
#include "PhotoReport.h"
#include "TagTables.h"
#include "TextEncoding.h"
#include "ValueFormat.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quillmark {

namespace {

// JSON strings: the writer escapes C0 controls itself; DEL and C1 controls become U+FFFD.
void Text(TJsonWriter& json, std::string_view text) {
    if (IsDisplaySafe(text, TControls::C0))
        json.String(text);
    else
        json.String(DisplayUtf8(text, TControls::C0));
}

void EntryJson(TJsonWriter& json, const TTagEntry& e) {
    json.Open('{');
    json.Key("list").Integer(e.ListId);
    json.Key("tag").Integer(e.Tag);
    Text(json.Key("name"), e.Name);
    Text(json.Key("caption"), e.Caption);
    Text(json.Key("text"), e.Text);
    json.Key("type").Integer(e.FieldType);
    json.Key("group").String(GroupName(e.Group));
    WriteEntryValue(json.Key("value"), e);
    json.Close('}');
}

// An IPTC dataset as an entry: `list` 2, `tag` the dataset number, `record` its record.
void IptcEntryJson(TJsonWriter& json, const TTagEntry& e) {
    json.Open('{');
    json.Key("list").Integer(2);
    json.Key("tag").Integer(e.Tag);
    json.Key("record").Integer(e.SubCode);
    Text(json.Key("name"), e.Name);
    Text(json.Key("caption"), e.Caption);
    Text(json.Key("text"), e.Text);
    json.Key("type").Null();
    json.Key("group").String(GroupName(tgIPTC));
    Text(json.Key("value"), e.Text);
    json.Close('}');
}

// The opening of an entry that has no TIFF tag or field type of its own (XMP, ICC profile), up to its
// value.
void OpenUntypedEntry(TJsonWriter& json, int list, const std::string& name, const std::string& caption,
                      const std::string& text, std::string_view group) {
    json.Open('{');
    json.Key("list").Integer(list);
    json.Key("tag").Integer(0);
    Text(json.Key("name"), name);
    Text(json.Key("caption"), caption);
    Text(json.Key("text"), text);
    json.Key("type").Null();
    json.Key("group").String(group);
}

// An XMP property as an entry: `list` 3, group "XMP" (or "XMP-sidecar" for the sidecar's), its value
// a string, or an array for an rdf:Bag, rdf:Seq or rdf:Alt.
void XmpEntryJson(TJsonWriter& json, const TXmpProperty& p) {
    OpenUntypedEntry(json, 3, p.Name, p.Name, XmpDisplayText(p),
                     p.Sidecar ? "XMP-sidecar" : GroupName(tgXMP));
    if (p.IsList) {
        json.Key("value").Open('[');
        for (const auto& v : p.Values)
            Text(json, v);
        json.Close(']');
    } else {
        Text(json.Key("value"), p.Values.empty() ? std::string() : p.Values.front());
    }
    json.Close('}');
}

// An ICC profile fact as an entry: `list` 4, group "ICC_Profile", its value the text.
void IccEntryJson(TJsonWriter& json, const TTagEntry& e) {
    OpenUntypedEntry(json, 4, e.Name, e.Caption, e.Text, GroupName(tgICCProfile));
    Text(json.Key("value"), e.Text);
    json.Close('}');
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
    // A JPEG is what the report was made for; any other format is named, and every preview listed.
    if (!data.FormatName.empty() && data.FormatName != "JPEG") {
        AppendDisplayUtf8(text, "Format = " + data.FormatName);
        text += '\n';
    }
    // The container's own turn, where no EXIF orientation says how the picture stands.
    if (data.ContainerOrientation != 0 &&
        (!data.ExifReader || data.ExifReader->ExifValue("Orientation").empty())) {
        const std::string turn =
            MapLookup(ValueMapOf(0x0112, MainTagTable()), std::to_string(data.ContainerOrientation));
        AppendDisplayUtf8(text, "Orientation = " +
                                    (turn.empty() ? std::to_string(data.ContainerOrientation) : turn));
        text += '\n';
    }
    for (const TPreview& p : data.Previews) {
        std::string line = "Preview = " + p.Kind + ", " + (p.Codec.empty() ? "unknown codec" : p.Codec);
        if (p.Width > 0 && p.Height > 0)
            line += ", " + std::to_string(p.Width) + " x " + std::to_string(p.Height);
        line +=
            ", " + std::to_string(p.Region.Length) + " bytes at offset " + std::to_string(p.Region.Offset);
        AppendDisplayUtf8(text, line);
        text += '\n';
    }
    for (const std::string& note : data.ContainerNotes) {
        AppendDisplayUtf8(text, "Note = " + note);
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

void ThumbnailJson(TJsonWriter& json, const TimgData& data, const TImageInfo& reader,
                   int64_t tiffHeaderOffset) {
    json.Open('{');
    json.Key("start").Integer(reader.ThumbnailStart);
    json.Key("length").Integer(reader.ThumbnailLength);
    json.Key("entries").Open('[');
    for (const auto& e : reader.ThumbEntries)
        EntryJson(json, e);
    json.Close(']');
    // The image bytes: JPEGInterchangeFormat counts from the TIFF header, and they must lie within
    // the EXIF block as read (a cut file holds less than its section length says).
    const int64_t start = ThumbNumber(reader, 0x0201);
    const int64_t length = ThumbNumber(reader, 0x0202);
    const tSection* exif = data.ExifSectionPtr();
    const int64_t blockSize = exif ? static_cast<int64_t>(exif->Data.size()) - 8 : 0;
    if (tiffHeaderOffset >= 0 && start > 0 && length > 0 && start + length <= blockSize) {
        json.Key("imageOffset").Integer(tiffHeaderOffset + start);
        json.Key("imageLength").Integer(length);
    } else {
        json.Key("imageOffset").Null();
        json.Key("imageLength").Null();
    }
    json.Close('}');
}

void RenderJson(TimgData& data, const TPhotoReport& report, int64_t tiffHeaderOffset, std::string& out) {
    TJsonWriter json(out);
    json.Open('{');
    Text(json.Key("file"), data.PathName);
    if (data.ErrorText == "<none>")
        json.Key("error").Null();
    else
        Text(json.Key("error"), data.ErrorText);
    if (data.FormatName.empty())
        json.Key("format").Null();
    else
        Text(json.Key("format"), data.FormatName);
    json.Key("hasExif").Bool(data.HasExif());
    TImageInfo* reader = data.HasExif() ? data.ExifReader.get() : nullptr;
    json.Key("entries").Open('[');
    if (reader)
        for (const auto& e : reader->Entries)
            EntryJson(json, e);
    std::vector<std::string> iptcLines;
    if (data.IptcSection && data.IptcReader) {
        const std::string& app13 = data.Section(data.IptcSection).Data;
        iptcLines = data.IptcReader->ListAsLines(app13);
        TIPTCdata datasets(nullptr);
        datasets.ReadIptc(app13);
        for (const auto& e : datasets.AllEntries())
            IptcEntryJson(json, e);
    }
    for (const auto& e : report.IccEntries)
        IccEntryJson(json, e);
    for (const auto& p : report.Xmp.Properties)
        XmpEntryJson(json, p);
    // A damaged packet's reason, as an entry of its own.
    for (const auto& note : report.Xmp.Notes) {
        TXmpProperty damaged;
        damaged.Name = "XMPDamaged";
        damaged.Values = {note};
        damaged.Langs = {""};
        XmpEntryJson(json, damaged);
    }
    json.Close(']');
    if (reader && data.HasThumbnail())
        ThumbnailJson(json.Key("thumbnail"), data, *reader, tiffHeaderOffset);
    else
        json.Key("thumbnail").Null();
    json.Key("previews").Open('[');
    for (const TPreview& p : data.Previews) {
        json.Open('{');
        Text(json.Key("kind"), p.Kind);
        json.Key("width").Integer(p.Width);
        json.Key("height").Integer(p.Height);
        json.Key("offset").Integer(static_cast<int64_t>(std::min<uint64_t>(p.Region.Offset, INT64_MAX)));
        json.Key("length").Integer(static_cast<int64_t>(std::min<uint64_t>(p.Region.Length, INT64_MAX)));
        json.Close('}');
    }
    json.Close(']');
    if (data.CommentSection)
        Text(json.Key("comment"), data.CommentText());
    else
        json.Key("comment").Null();
    json.Key("iptc").Open('[');
    for (const auto& line : iptcLines)
        Text(json, line);
    json.Close(']');
    json.Key("summary").Open('[');
    for (const auto& row : report.SummaryRows) {
        json.Open('{');
        Text(json.Key("caption"), row.Item);
        Text(json.Key("value"), row.Details);
        json.Close('}');
    }
    json.Close(']');
    Text(json.Key("shortSummary"), reader ? reader->ShortSummaryText() : std::string());
    Text(json.Key("longSummary"), reader ? reader->SummaryText() : std::string());
    json.Close('}');
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

// Walks a JPEG's header sections with the reader's own marker walk (so stand-alone markers and fill
// bytes are stepped over as the reader steps over them) up to the APP1 section whose bytes `exif` holds.
int64_t FindExifTiffHeader(TReadAt readAt, const tSection& exif) {
    TJpegMarkers markers(std::move(readAt));
    const size_t compare = std::min<size_t>(exif.Data.size(), 64);
    char head[64];
    while (const auto m = markers.Next()) {
        if (m->Code == 0xE1 && static_cast<int32_t>(m->Length) == exif.Size &&
            markers.Read(m->Offset + 2, head, compare) == compare &&
            std::memcmp(head, exif.Data.data(), compare) == 0)
            return static_cast<int64_t>(m->ContentOffset() + 6); // after "Exif\0\0"
    }
    return -1;
}

} // namespace

int64_t FindExifTiffHeaderInFile(const std::string& path, const tSection& exif) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    const int64_t found = FindExifTiffHeader(
        [fd](uint64_t at, char* into, size_t n) -> size_t {
            if (at > static_cast<uint64_t>(INT64_MAX)) return 0;
            const ssize_t got = ::pread(fd, into, n, static_cast<off_t>(at));
            return got < 0 ? 0 : static_cast<size_t>(got);
        },
        exif);
    ::close(fd);
    return found;
}

int64_t FindExifTiffHeaderInBytes(std::string_view bytes, const tSection& exif) {
    return FindExifTiffHeader(ReadAtBytes(bytes), exif);
}

TFileReport UnreadableReport(const std::string& path, std::string why) {
    TFileReport r;
    r.IsFile = false;
    r.Error = std::move(why);
    TJsonWriter json(r.Json);
    json.Open('{');
    Text(json.Key("file"), path);
    Text(json.Key("error"), r.Error);
    json.Key("format").Null();
    json.Key("hasExif").Bool(false);
    json.Key("entries").Open('[');
    json.Close(']');
    json.Key("thumbnail").Null();
    json.Key("previews").Open('[');
    json.Close(']');
    json.Key("comment").Null();
    json.Key("iptc").Open('[');
    json.Close(']');
    json.Key("summary").Open('[');
    json.Close(']');
    json.Key("shortSummary").String("");
    json.Key("longSummary").String("");
    json.Close('}');
    return r;
}

void KeepMemoryBetweenFiles() {
    ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
    ::mallopt(M_MMAP_THRESHOLD, 16 << 20);
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
    AppendQuoted(out, field);
}

TFileReport RenderReport(TimgData& data, bool hadMetadata, TReportParts parts, int64_t tiffHeaderOffset) {
    TFileReport out;
    out.HadMetadata = hadMetadata;
    // The JSON takes its entries from the reader, and the text only the report lines and the
    // Summary: the entry rows of the other two lists are never needed here.
    const TPhotoReport report = BuildPhotoReport(
        data, !Has(parts, TReportParts::Text) ? TReportLists::Summary : TReportLists::MemoAndSummary);
    if (Has(parts, TReportParts::Text)) RenderText(data, report, out.Text);
    // The reader knows where the EXIF block lay in the file, from the same walk that found it.
    if (tiffHeaderOffset < 0) tiffHeaderOffset = data.ExifFileOffset;
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
    return RenderReport(data, ok, parts, data.ExifFileOffset);
}

} // namespace quillmark
