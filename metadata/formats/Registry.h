// Every photo format the reader knows, one row each: how its first bytes look, the extensions that
// break a tie between formats whose bytes look alike (a NEF and a plain TIFF), how it is read (the
// JPEG and TIFF paths of TimgData, or a container scan of Scans.h), and its MIME types for the
// desktop. A new format is a scan in this folder and one row in Registry.cpp.
#pragma once

#include "Container.h"

#include <span>
#include <string>
#include <string_view>

namespace quillmark {

// How a format's file is read.
enum class TFormatReader {
    Jpeg, // marker sections (TimgData's JPEG path)
    Tiff, // a TIFF structure from the file's start; its variants too (ORF, RW2, BigTIFF)
    Scan, // a container scan fills a TContainerScan
};

struct TPhotoFormat {
    const char* Name; // short name for reports: "JPEG", "TIFF", "CR2", "HEIC", ...
    // True when the file's first bytes (up to kSniffBytes, fewer for a short file) are of this format.
    bool (*Sniff)(std::string_view head);
    const char* Extensions; // lower case, each with its dot, separated by blanks: ".jpg .jpeg"
    TFormatReader Reader;
    TScanFunction Scan;    // for TFormatReader::Scan
    const char* MimeTypes; // separated by ';'
};

// The bytes a sniff may look at.
inline constexpr size_t kSniffBytes = 64;

// Every row, in the order sniffs are tried: a format whose bytes say more (CR2, ORF) before one
// whose bytes they also match (TIFF).
std::span<const TPhotoFormat> PhotoFormats();

// The format of a file from its first bytes; among several rows whose sniff matches, the one whose
// extension the name carries, else the first. When no sniff matches, the row of the name's extension
// (an empty or cut file named .jpg is still a JPEG that fails to read, not a file of no format);
// nullptr when neither says.
const TPhotoFormat* FindPhotoFormat(std::string_view head, std::string_view fileName);
// The format by content alone (nullptr when no sniff matches).
const TPhotoFormat* SniffPhotoFormat(std::string_view head, std::string_view fileName = {});
// The row of a short name ("CR2"), nullptr when there is none.
const TPhotoFormat* PhotoFormatNamed(std::string_view name);

// Every MIME type of every row, each once, separated by ';' (as a desktop entry's MimeType key).
std::string PhotoMimeTypes();

} // namespace quillmark
