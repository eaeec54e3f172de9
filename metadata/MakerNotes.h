// The camera maker's private notes (tag 0x927C), recognised from the photo's Make text.
#pragma once

namespace quillmark {

class TImageInfo;

class TmsInfo {
public:
    TmsInfo(bool fromTiff, TImageInfo* reader) : FromTiff(fromTiff), Reader(reader) {}

    // Recognises the maker and walks its directory through the reader. True when the maker was
    // recognised. No maker is recognised yet: every maker note is kept as raw bytes only.
    bool DecodeMakerNote(TImageInfo& reader);

    bool FromTiff;
    TImageInfo* Reader;
};

} // namespace quillmark
