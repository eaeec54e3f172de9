// The IPTC reader over arbitrary APP13 data: the lines the report shows and the merged entries.
#include "IptcData.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string app13(reinterpret_cast<const char*>(data), size);
    quillmark::TIPTCdata iptc(nullptr);
    (void)iptc.ListAsLines(app13);
    iptc.ReadIptc(app13);
    (void)iptc.GetValueByName("Keywords", "");
    return 0;
}
