#include "Scans.h"

namespace quillmark {

bool ScanWebP(TByteSource&, uint64_t, TContainerScan&) {
    return false;
}

} // namespace quillmark
