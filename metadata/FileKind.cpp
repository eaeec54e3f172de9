#include "FileKind.h"
#include "ValueFormat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

std::string LowerExtension(std::string_view fileName) {
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    return AsciiLower(fileName.substr(dot));
}

TFileKind FileKindOfBytes(std::string_view head) {
    if (head.size() >= 2 && head[0] == '\xFF' && head[1] == '\xD8') return TFileKind::Jpeg;
    if (head.size() >= 4 && (head.substr(0, 4) == std::string_view("II*\0", 4) ||
                             head.substr(0, 4) == std::string_view("MM\0*", 4)))
        return TFileKind::Tiff;
    return TFileKind::Unknown;
}

TFileKind FileKindOf(std::string_view head, std::string_view fileName) {
    if (const TFileKind kind = FileKindOfBytes(head); kind != TFileKind::Unknown) return kind;
    const std::string ext = LowerExtension(fileName);
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".jfif" || ext == ".jfi")
        return TFileKind::Jpeg;
    if (ext == ".tif" || ext == ".tiff" || ext == ".nef") return TFileKind::Tiff;
    return TFileKind::Unknown;
}

TFileKind FileKindOfPath(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return TFileKind::Unknown;
    struct stat st {};
    char head[4] = {};
    ssize_t got = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        got = ::read(fd, head, sizeof head);
        if (got < 0) got = 0;
    }
    ::close(fd);
    if (got == 0) return TFileKind::Unknown;
    return FileKindOf(std::string_view(head, static_cast<size_t>(got)), path);
}

} // namespace quillmark
