#include "Scans.h"

namespace quillmark {

bool ScanRaf(TByteSource&, uint64_t, TContainerScan&) {
    return false;
}

} // namespace quillmark
