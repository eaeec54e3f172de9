#include "Scans.h"

namespace quillmark {

bool ScanJpegXl(TByteSource&, uint64_t, TContainerScan&) {
    return false;
}

} // namespace quillmark
