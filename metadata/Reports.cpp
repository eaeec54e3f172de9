// The long and short summaries: read-only renderings of what the walk captured.
#include "ImageInfo.h"
#include "ImgData.h"

namespace quillmark {

namespace {

std::string NamePart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SizeInK(int64_t length) {
    return std::to_string(length / 1024);
}

} // namespace

std::string TImageInfo::SummaryText() const {
    if (!Owner || !Owner->HasExif()) return {};
    const std::string name = NamePart(Owner->PathName);
    if (Owner->ErrorText != "<none>") return "File Name: " + name + "\r\nExif Error: " + Owner->ErrorText;
    std::string s = "File Name: " + name;
    s += "\r\nFile Size: " + SizeInK(Owner->FileLength) + "k";
    s += "\r\nFile Date: " + FormatFileDate(Owner->FileStamp);
    s += "\r\nPhoto Date: " + DateTimeText;
    s += "\r\nMake (Model): " + CameraMake + " (" + CameraModel + ")";
    s += "\r\nDimensions: " + std::to_string(Width) + " x " + std::to_string(Height);
    if (BuildMode == bmTrace || BuildMode == bmBoth) {
        auto line = [&](const char* caption, const std::string& value) {
            if (!value.empty()) s += std::string("\r\n") + caption + value;
        };
        const std::string exposure = LookupTagValue("ExposureTime");
        line("Exposure Time: ", exposure.empty() ? LookupTagValue("ShutterSpeedValue") : exposure);
        line("Focal Length: ", LookupTagValue("FocalLength"));
        line("Focal Length (35mm): ", LookupTagValue("FocalLengthin35mmFilm"));
        line("FNumber: ", LookupTagValue("FNumber"));
        line("ISO: ", LookupTagValue("ISOSpeedRatings"));
    }
    s += std::string("\r\nFlash: ") + ((FlashValue & 1) ? "Yes" : "No");
    return s;
}

std::string TImageInfo::ShortSummaryText() const {
    if (!Owner || !Owner->HasExif()) return {};
    const std::string name = NamePart(Owner->PathName);
    if (Owner->ErrorText != "<none>") return name + " Exif Error: " + Owner->ErrorText;
    return name + " " + SizeInK(Owner->FileLength) + "k " + DateTimeText.substr(0, 10) + " " +
           std::to_string(Width) + "w " + std::to_string(Height) + "h " + ((FlashValue & 1) ? " Flash" : "");
}

} // namespace quillmark
