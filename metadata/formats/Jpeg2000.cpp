#include "Scans.h"

namespace quillmark {

bool ScanJpeg2000(TByteSource&, uint64_t, TContainerScan&) {
    return false;
}

} // namespace quillmark
