#include "Scans.h"

namespace quillmark {

bool ScanPng(TByteSource&, uint64_t, TContainerScan&) {
    return false;
}

} // namespace quillmark
