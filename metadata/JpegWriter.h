// Writing a new JPEG file from the container's kept sections and a freshly encoded picture, and the
// in-place changes to the EXIF section that go with it. The members themselves are declared in
// ImgData.h (TimgData) and ImageInfo.h (TImageInfo); this header adds what their callers need.
#pragma once

#include "ImgData.h"
#include "JpegCodec.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmark {

// TimgData::WriteJpegFile could not write the file. The message names the file and the reason,
// e.g. "Cannot write /x/y.jpg: No space left on device". The target is then as it was before.
class WriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The 18-byte APP0 written when a photo kept neither an EXIF nor an APP0 section: JFIF 1.02,
// 300 x 300 dots per inch, no thumbnail.
inline constexpr std::string_view kStandardJfifHeader{
    "\xFF\xE0\x00\x10JFIF\x00\x01\x02\x01\x01\x2C\x01\x2C\x00\x00", 18};

// Where the copy of an encoder's stream starts when it follows our own SOI and header sections:
// after its SOI, then after at most one APP0, one APP1, one APP13 and one COM, tested once each in
// that order at the position the one before left (the byte before each marker code is not tested).
// Lengths come from the stream and are checked against it: a section whose length is below 2 or
// runs past the end is not skipped, and no test is made after it, so everything from there on is
// copied. A stream of fewer than 2 bytes yields its size: there is nothing after an SOI to copy.
// The result never exceeds encoded.size().
size_t SkipEncoderHeaderSections(std::string_view encoded);

// The header sections of a JPEG file that TimgData::WriteJpegFile carries over beside the ones the
// container writes itself (the first EXIF APP1, JFIF APP0, Photoshop APP13 and comment): XMP and extended
// XMP, ICC profiles, vendor APPn sections and further comments, whole and byte for byte in the file's
// order. Left out: MPF (APP2 "MPF"), which points at images behind the original picture that the new file
// does not carry, and Adobe's APP14, which describes the original encoding; the new picture's stream
// brings its own. A section cut short by the end of the bytes ends the list.
std::string KeptOtherSections(std::string_view original);

} // namespace quillmark
