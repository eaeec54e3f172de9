// What kind of photo file a file is. Photos arrive under every name (".jfif", ".JPE", no extension
// at all, a JPEG saved as ".tif"), so the first bytes decide; the extension counts only when the
// bytes say neither, or to tell apart formats whose bytes look alike. The formats themselves are the
// rows of the registry (formats/Registry.h); this is the short answer for callers that only need to
// know how a file is read.
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

struct TPhotoFormat;

enum class TFileKind {
    Unknown,
    Jpeg,     // marker sections
    Tiff,     // a TIFF structure from the start (TIFF, the TIFF-based raws, ORF, RW2, BigTIFF)
    Container // another format of the registry (HEIC, PNG, RAF, ...), read by its scan
};

// The extension from the last "." of the file name on (not of a folder name), in lower case.
std::string LowerExtension(std::string_view fileName);

// The kind the first bytes of a file show. Unknown when no format of the registry matches them.
TFileKind FileKindOfBytes(std::string_view head);

// The kind from the first bytes, else from the extension, else Unknown.
TFileKind FileKindOf(std::string_view head, std::string_view fileName);

// Reads the first bytes of a regular file and decides as FileKindOf does. Unknown when the file
// cannot be opened or read, or is not a regular file.
TFileKind FileKindOfPath(const std::string& path);

// The registry's row for a file on disk, found as FindPhotoFormat finds it. A file that cannot be
// opened or read is judged by its name alone, and `readable` says so; nullptr when neither its bytes
// nor its name name a format, or when it is not a regular file.
const TPhotoFormat* PhotoFormatOfPath(const std::string& path, bool* readable = nullptr);

} // namespace quillmark
