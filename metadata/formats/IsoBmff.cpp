#include "Scans.h"

namespace quillmark {

bool ScanIsoBmff(TByteSource&, uint64_t, TContainerScan&) {
    return false;
}

} // namespace quillmark
