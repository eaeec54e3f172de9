// An ICC colour profile named: its description, colour space, device class, version and size, as
// entries of group ICC_Profile.
#pragma once

#include "TagEntry.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

// The profile's facts as entries (Name, Caption and Text set; Raw holds the text, of type ASCII).
// A profile too short for its header gives one entry saying so; an empty one gives none.
std::vector<TTagEntry> ReadIccProfile(std::string_view profile);

// The profile's description: the "desc" tag as a textDescriptionType (its ASCII text) or a
// multiLocalizedUnicodeType (its first record, UTF-16BE turned into UTF-8); empty when there is none.
std::string IccDescription(std::string_view profile);

// ICC profiles in JPEG: APP2 sections that begin "ICC_PROFILE\0", a sequence number from 1 and the
// count of sections, then a piece of the profile. The pieces joined in sequence order; empty when
// one is missing or they disagree on the count.
class TIccChunks {
public:
    // A section's bytes after the signature.
    void Add(std::string_view afterSignature);
    std::string Join() const;

private:
    std::vector<std::pair<int, std::string>> Pieces;
    int Count = 0;
    bool Broken = false;
};

inline constexpr std::string_view kIccSignature{"ICC_PROFILE\0", 12};

} // namespace quillmark
