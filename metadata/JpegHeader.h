// What the first sections of a JPEG file tell without decoding anything: the picture's size, from its frame
// header, and the EXIF thumbnail, from the thumbnail directory of the EXIF block.
//
// It runs on the thumbnail strip's worker threads, many files at once, and needs none of the reader's
// tables, settings or container: only the marker walk (JpegMarkers) and checked reads of the TIFF block
// (ByteView), so hostile files end the scan early instead of reading past a buffer.
#pragma once

#include "JpegMarkers.h"

#include <string>
#include <string_view>

namespace quillmark {

struct TJpegHeaderFacts {
    bool IsJpeg = false; // the data starts with a JPEG start-of-image marker
    // The picture's size from the first frame header (SOF); 0 when none was found before the scan data.
    int Width = 0;
    int Height = 0;
    // The frame header's marker (0xC0 baseline, 0xC2 progressive, 0xC3 lossless, ...); 0 when none was found.
    int FrameCode = 0;
    // The EXIF thumbnail's JPEG bytes; empty when the file has none that lies inside its EXIF block.
    std::string Thumbnail;
    // The EXIF orientation of the first directory (1 to 8); 1 when there is none or it holds another value.
    int Orientation = 1;
};

// Whether a frame header marker says lossless coding (0xC3, 0xC7, 0xCB, 0xCF): a camera's sensor data,
// never a picture to show.
inline bool IsLosslessJpegFrame(int code) {
    return code == 0xC3 || code == 0xC7 || code == 0xCB || code == 0xCF;
}

// The orientation (tag 0x0112, a SHORT from 1 to 8) in the first directory of a TIFF structure that starts
// with its "II"/"MM" header; 1 when there is none, or a value outside 1 to 8.
int TiffOrientation(std::string_view tiff);

// Walks the marker sections from the start of the file up to the frame header (or the scan data, or the
// end). Only the sections' two-byte lengths are read, except for the EXIF block, which is read whole (at most
// 64 KiB) to take the thumbnail and the orientation from it.
TJpegHeaderFacts ScanJpegHeader(const TReadAt& read);
// The same over bytes in memory.
TJpegHeaderFacts ScanJpegHeader(std::string_view bytes);

// The thumbnail named by the thumbnail directory (IFD1) of an EXIF block: `block` is the APP1 section's
// content after its two length bytes, starting "Exif\0\0". The JPEGInterchangeFormat offset (tag 0x0201)
// counts from the TIFF header; the bytes must lie wholly inside the block and start like a JPEG. Empty
// when there is no such thumbnail, or the directory says the thumbnail is not JPEG-compressed.
std::string_view FindExifThumbnail(std::string_view block);

} // namespace quillmark
