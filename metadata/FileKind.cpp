#include "FileKind.h"

#include "ValueFormat.h"
#include "formats/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

TFileKind KindOf(const TPhotoFormat* f) {
    if (!f) return TFileKind::Unknown;
    switch (f->Reader) {
    case TFormatReader::Jpeg:
        return TFileKind::Jpeg;
    case TFormatReader::Tiff:
        return TFileKind::Tiff;
    default:
        return TFileKind::Container;
    }
}

} // namespace

std::string LowerExtension(std::string_view fileName) {
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    return AsciiLower(fileName.substr(dot));
}

TFileKind FileKindOfBytes(std::string_view head) {
    return KindOf(SniffPhotoFormat(head));
}

TFileKind FileKindOf(std::string_view head, std::string_view fileName) {
    return KindOf(FindPhotoFormat(head, fileName));
}

const TPhotoFormat* PhotoFormatOfPath(const std::string& path, bool* readable) {
    if (readable) *readable = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd < 0)
        return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) ? nullptr : FindPhotoFormat({}, path);
    char head[kSniffBytes];
    ssize_t got = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) got = ::read(fd, head, sizeof head);
    const bool regular = S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular) return nullptr;
    if (got < 0) return FindPhotoFormat({}, path);
    if (readable) *readable = true;
    return FindPhotoFormat(std::string_view(head, static_cast<size_t>(got)), path);
}

TFileKind FileKindOfPath(const std::string& path) {
    bool readable = false;
    const TPhotoFormat* f = PhotoFormatOfPath(path, &readable);
    return readable ? KindOf(f) : TFileKind::Unknown;
}

} // namespace quillmark
