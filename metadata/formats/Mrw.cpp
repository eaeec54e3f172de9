#include "Scans.h"

namespace quillmark {

bool ScanMrw(TByteSource&, uint64_t, TContainerScan&) {
    return false;
}

} // namespace quillmark
