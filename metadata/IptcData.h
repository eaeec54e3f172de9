// IPTC datasets of a "Photoshop 3.0" APP13 section.
#pragma once

#include <string>
#include <vector>

namespace quillmark {

class TimgData;

class TIPTCdata {
public:
    explicit TIPTCdata(TimgData* owner) : Owner(owner) {}
    virtual ~TIPTCdata() = default;

    // The datasets of an APP13 section's data as "Caption = value" lines. Decoding of the datasets
    // is not built yet: no lines.
    std::vector<std::string> ListAsLines(const std::string& app13Data) const;

    TimgData* Owner;
};

} // namespace quillmark
