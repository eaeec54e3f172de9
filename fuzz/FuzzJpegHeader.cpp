// The thumbnail strip's header scan (metadata/JpegHeader.h): every file of an opened folder goes
// through it on a worker thread before any decoder, to find the picture's size and the EXIF
// thumbnail. The input is taken as a whole file and, on its own, as the content of an EXIF section.
#include "JpegHeader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

// A thumbnail is a piece of the bytes it was found in, and starts like a JPEG.
bool IsPieceOf(std::string_view piece, std::string_view whole) {
    if (piece.empty()) return true;
    if (piece.size() < 2 || static_cast<unsigned char>(piece[0]) != 0xFF ||
        static_cast<unsigned char>(piece[1]) != 0xD8)
        return false;
    return whole.find(piece) != std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const quillmark::TJpegHeaderFacts facts = quillmark::ScanJpegHeader(bytes);
    if (facts.Width < 0 || facts.Width > 65535 || facts.Height < 0 || facts.Height > 65535) __builtin_trap();
    if (!facts.IsJpeg && (facts.Width || facts.Height || !facts.Thumbnail.empty())) __builtin_trap();
    if (!IsPieceOf(facts.Thumbnail, bytes)) __builtin_trap();
    if (facts.Orientation < 1 || facts.Orientation > 8) __builtin_trap();
    const int orientation = quillmark::TiffOrientation(bytes);
    if (orientation < 1 || orientation > 8) __builtin_trap();

    const std::string_view thumbnail = quillmark::FindExifThumbnail(bytes);
    if (!thumbnail.empty() &&
        (thumbnail.data() < bytes.data() || thumbnail.data() + thumbnail.size() > bytes.data() + size))
        __builtin_trap();
    if (!IsPieceOf(thumbnail, bytes)) __builtin_trap();
    return 0;
}
