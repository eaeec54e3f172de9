#include "Scans.h"

namespace quillmark {

bool ScanCrw(TByteSource&, uint64_t, TContainerScan&) {
    return false;
}

} // namespace quillmark
