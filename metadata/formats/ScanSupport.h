// What every container scan needs besides its own layout: damage notes that cannot grow without end,
// reads that say how much arrived, and the last word when memory runs out.
#pragma once

#include "Container.h"

#include <algorithm>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace quillmark::scans {

// Damage is noted, a few times at most: a file of ten thousand broken records says so once.
inline void Note(TContainerScan& out, std::string text) {
    constexpr size_t kMaxNotes = 32;
    if (out.Notes.size() < kMaxNotes)
        out.Notes.push_back(std::move(text));
    else if (out.Notes.size() == kMaxNotes)
        out.Notes.push_back("more damage not listed");
}

// Up to n bytes from the offset: fewer at the end of the file, none past it.
inline std::string ReadSome(TByteSource& source, uint64_t offset, uint64_t n) {
    std::string bytes(static_cast<size_t>(n), '\0');
    const size_t got = source.ReadAt(offset, bytes.data(), bytes.size());
    bytes.resize(std::min(got, bytes.size()));
    return bytes;
}

inline bool IsTiffHeader(std::string_view b) {
    return b.size() >= 8 &&
           (b.substr(0, 4) == std::string_view("II*\0", 4) || b.substr(0, 4) == std::string_view("MM\0*", 4));
}

// Only memory running out can throw inside a scan; what was found stays, and the scan says where it
// stopped if it still can.
inline void NoteStop(TContainerScan& out, std::string_view format, const std::exception& e) {
    try {
        Note(out, std::string(format) + " scan stopped: " + e.what());
    } catch (...) {
    }
}

} // namespace quillmark::scans
