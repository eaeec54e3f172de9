// What the fuzz target of the thumbnail strip's header scan does with one input, shared with the ordinary
// test suite (tests/metadata/FuzzRegressionTest.cpp). Plain C++ over the metadata library, without Qt.
// The input is taken as a whole file and, on its own, as the content of an EXIF section; false when a
// promise of the scan was broken.
#pragma once

#include "JpegHeader.h"

#include <string_view>

namespace quillmark::fuzzing {

// A thumbnail is a piece of the bytes it was found in, and starts like a JPEG.
inline bool IsPieceOf(std::string_view piece, std::string_view whole) {
    if (piece.empty()) return true;
    if (piece.size() < 2 || static_cast<unsigned char>(piece[0]) != 0xFF ||
        static_cast<unsigned char>(piece[1]) != 0xD8)
        return false;
    return whole.find(piece) != std::string_view::npos;
}

inline bool ScanLikeTheStrip(std::string_view bytes) {
    const TJpegHeaderFacts facts = ScanJpegHeader(bytes);
    if (facts.Width < 0 || facts.Width > 65535 || facts.Height < 0 || facts.Height > 65535) return false;
    if (!facts.IsJpeg && (facts.Width || facts.Height || !facts.Thumbnail.empty())) return false;
    if (!IsPieceOf(facts.Thumbnail, bytes)) return false;
    if (facts.Orientation < 1 || facts.Orientation > 8) return false;
    const int orientation = TiffOrientation(bytes);
    if (orientation < 1 || orientation > 8) return false;
    const std::string_view thumbnail = FindExifThumbnail(bytes);
    if (!thumbnail.empty() && (thumbnail.data() < bytes.data() ||
                               thumbnail.data() + thumbnail.size() > bytes.data() + bytes.size()))
        return false;
    return IsPieceOf(thumbnail, bytes);
}

} // namespace quillmark::fuzzing
