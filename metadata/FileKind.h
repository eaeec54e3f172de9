// What kind of photo file a file is. Photos arrive under every name (".jfif", ".JPE", no extension
// at all, a JPEG saved as ".tif"), so the first bytes decide; the extension counts only when the
// bytes say neither.
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

enum class TFileKind { Unknown, Jpeg, Tiff };

// The extension from the last "." of the file name on (not of a folder name), in lower case.
std::string LowerExtension(std::string_view fileName);

// The kind the first bytes of a file show: FF D8 is a JPEG; "II*\0" and "MM\0*" are TIFF (and the
// raw formats built on it, such as .nef). Unknown when they show neither.
TFileKind FileKindOfBytes(std::string_view head);

// The kind from the first bytes, else from the extension (.jpg .jpeg .jpe .jfif .jfi / .tif .tiff
// .nef), else Unknown.
TFileKind FileKindOf(std::string_view head, std::string_view fileName);

// Reads the first bytes of a regular file and decides as FileKindOf does. Unknown when the file
// cannot be opened or read, or is not a regular file.
TFileKind FileKindOfPath(const std::string& path);

} // namespace quillmark
