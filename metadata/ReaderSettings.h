// The reader's process-wide settings, kept together in one place.
#pragma once

#include <cstdint>

namespace quillmark {

struct TReaderSettings {
    // Above 0, trace texts carry tag numbers, sizes and positions.
    int32_t TraceDetail = 0;
    // Use value maps and formatting callbacks when building display values.
    bool DecodeValues = true;
    // Allow a fixed crop factor when the focal-plane resolution is missing.
    bool EstimateCropFactor = false;
    // How many bytes of a TIFF file after its 8-byte header are read.
    int32_t TiffReadSize = 256000;
    // Build the trace texts (in the build modes that ask for them). A program that never shows them,
    // like the report tool, turns this off and saves their cost; nothing else changes.
    bool KeepTraces = true;
    // Raised by a maker decoder whose result spans several lines.
    bool MultiLine = false;
};

// The settings of the calling thread; each thread that reads starts from the defaults.
TReaderSettings& ReaderSettings();

} // namespace quillmark
