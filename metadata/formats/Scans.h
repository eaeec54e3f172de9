// The scan of each container format (one file each in this folder). The registry of formats
// (Registry.h) recognises a file by its first bytes and calls one of these.
#pragma once

#include "Container.h"

namespace quillmark {

// ISO base media files by their `ftyp` brand: HEIC/HEIF and AVIF (the Exif and XMP items through
// iinf/iloc, colr, ispe, irot/imir), Canon CR3 (its uuid box: CMT1-CMT4, THMB, PRVW, XMP).
bool ScanIsoBmff(TByteSource& source, uint64_t fileSize, TContainerScan& out);
// JPEG XL in its box container (Exif, xml , brob boxes); a bare codestream has no metadata boxes.
bool ScanJpegXl(TByteSource& source, uint64_t fileSize, TContainerScan& out);
// JPEG 2000 (jp2 boxes; EXIF and XMP uuid boxes).
bool ScanJpeg2000(TByteSource& source, uint64_t fileSize, TContainerScan& out);
bool ScanPng(TByteSource& source, uint64_t fileSize, TContainerScan& out);
bool ScanWebP(TByteSource& source, uint64_t fileSize, TContainerScan& out);
bool ScanPsd(TByteSource& source, uint64_t fileSize, TContainerScan& out); // PSD and PSB
bool ScanRaf(TByteSource& source, uint64_t fileSize, TContainerScan& out); // Fujifilm RAF
bool ScanMrw(TByteSource& source, uint64_t fileSize, TContainerScan& out); // Minolta MRW
bool ScanCrw(TByteSource& source, uint64_t fileSize, TContainerScan& out); // Canon CRW (CIFF)

} // namespace quillmark
