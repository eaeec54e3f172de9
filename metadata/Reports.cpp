// The long and short summaries: read-only renderings of what the walk captured.
#include "ImageInfo.h"
#include "ImgData.h"
#include "ValueFormat.h"

namespace quillmark {

namespace {

std::string NamePart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The photo date's offset from UTC ("+01:00"): OffsetTimeOriginal for a date taken from
// DateTimeOriginal, else OffsetTime; empty when the photo records none.
std::string DateOffset(const TImageInfo& info) {
    std::string offset =
        TrimText(info.ExifValue(info.DateTimeOriginalPos ? "OffsetTimeOriginal" : "OffsetTime"));
    if (info.DateTimeText.empty() || offset.size() != 6 || (offset[0] != '+' && offset[0] != '-')) return {};
    return offset;
}

std::string SizeInK(int64_t length) {
    return std::to_string(length / 1024);
}

} // namespace

std::pair<int32_t, int32_t> TImageInfo::PhotoSize() const {
    if (!Owner || Owner->FrameWidth <= 0 || Owner->FrameHeight <= 0 ||
        (Width > 0 && Height > 0 && !Owner->FrameIsPhotoSize))
        return {Width, Height};
    return {Owner->FrameWidth, Owner->FrameHeight};
}

std::string TImageInfo::SummaryText() const {
    if (!Owner || !Owner->HasExif()) return {};
    const std::string name = NamePart(Owner->PathName);
    if (Owner->ErrorText != "<none>") return "File Name: " + name + "\r\nExif Error: " + Owner->ErrorText;
    std::string s = "File Name: " + name;
    s += "\r\nFile Size: " + SizeInK(Owner->FileLength) + "k";
    s += "\r\nFile Date: " + FormatFileDate(Owner->FileStamp);
    s += "\r\nPhoto Date: " + DateTimeText + DateOffset(*this);
    s += "\r\nMake (Model): " + CameraMake + " (" + CameraModel + ")";
    const auto [width, height] = PhotoSize();
    s += "\r\nDimensions: " + std::to_string(width) + " x " + std::to_string(height);
    if (BuildMode == bmTrace || BuildMode == bmBoth) {
        auto line = [&](const char* caption, const std::string& value) {
            if (!value.empty()) s += std::string("\r\n") + caption + value;
        };
        const std::string exposure = ExifValue("ExposureTime");
        line("Exposure Time: ", exposure.empty() ? ExifValue("ShutterSpeedValue") : exposure);
        line("Focal Length: ", ExifValue("FocalLength"));
        line("Focal Length (35mm): ", ExifValue("FocalLengthin35mmFilm"));
        line("FNumber: ", ExifValue("FNumber"));
        line("ISO: ", ExifValue("ISOSpeedRatings"));
    }
    s += std::string("\r\nFlash: ") + ((FlashValue & 1) ? "Yes" : "No");
    return s;
}

std::string TImageInfo::ShortSummaryText() const {
    if (!Owner || !Owner->HasExif()) return {};
    const std::string name = NamePart(Owner->PathName);
    if (Owner->ErrorText != "<none>") return name + " Exif Error: " + Owner->ErrorText;
    const auto [width, height] = PhotoSize();
    return name + " " + SizeInK(Owner->FileLength) + "k " + CutText(DateTimeText, 10) + " " +
           std::to_string(width) + "w " + std::to_string(height) + "h " + ((FlashValue & 1) ? " Flash" : "");
}

} // namespace quillmark
