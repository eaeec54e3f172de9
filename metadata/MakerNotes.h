// The camera maker's private notes (tag 0x927C): the maker is recognised from the note's own header
// or the photo's Make, and its directory walked with that maker's table and layout.
#pragma once

#include <cstdint>

namespace quillmark {

class TImageInfo;

class TmsInfo {
public:
    TmsInfo(bool fromTiff, TImageInfo* reader);

    // Recognises the maker and walks its directory through the reader. True when the maker was
    // recognised, whatever the walk met.
    bool DecodeMakerNote(TImageInfo& reader);
    // For a maker known to write no maker note (its camera data lies elsewhere), the one entry that
    // says so, once the photo's directories are read without one.
    static void NoteMissingMakerNote(TImageInfo& reader);

    bool FromTiff;
    TImageInfo* Reader;
    // The maker note's position in the EXIF block (16 further on in a TIFF-structured file).
    int32_t Position;
};

} // namespace quillmark
