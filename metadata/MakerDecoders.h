// Decoders for packed maker-note values: Canon's settings arrays and Nikon's lens and colour mode.
// Each takes the value text of a maker entry and returns its display text.
#pragma once

#include <cstdint>
#include <string>

namespace quillmark {

class TImageInfo;

// The reader that the Canon decoders offer their decoded settings to, as maker items under the
// tag being decoded. Set by the maker-note walk for the length of one walk.
struct TDecoderTarget {
    TImageInfo* Reader = nullptr;
    uint16_t ParentTag = 0;
};
TDecoderTarget& DecoderTarget();

std::string DecodeCanonSettings(const std::string& text);
std::string DecodeCanonShotInfo(const std::string& text);
std::string DecodeCanonCustomFunctions(const std::string& text);
std::string DecodeNikonColorMode(const std::string& text);
std::string DecodeNikonLens(const std::string& text);

// Element n (from 1) of a text cut at a separator; empty beyond the last.
std::string ElementAt(const std::string& text, char separator, int n);

} // namespace quillmark
