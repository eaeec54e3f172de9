#include "Scans.h"

namespace quillmark {

bool ScanPsd(TByteSource&, uint64_t, TContainerScan&) {
    return false;
}

} // namespace quillmark
