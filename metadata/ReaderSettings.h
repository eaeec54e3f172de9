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
    // The most bytes of a TIFF file held for its directories and values: the span from the first
    // byte they need to the last. Only those bytes are read; a directory or value lying so far from
    // IFD0 that the span would grow beyond this is left out.
    int32_t TiffReadSize = 16 << 20;
    // Build the trace texts (in the build modes that ask for them). A program that never shows them,
    // like the report tool, turns this off and saves their cost; nothing else changes.
    bool KeepTraces = true;
    // Raised by a maker decoder whose result spans several lines.
    bool MultiLine = false;
};

// The settings of the calling thread; each thread that reads starts from the defaults.
TReaderSettings& ReaderSettings();

} // namespace quillmark
