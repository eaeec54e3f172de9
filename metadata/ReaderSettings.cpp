#include "ReaderSettings.h"

namespace quillmark {

TReaderSettings& ReaderSettings() {
    // One per thread: maker decoders write MultiLine while they read, so threads reading photos side
    // by side must not share it. A program sets what it wants on each thread that reads.
    thread_local TReaderSettings settings;
    return settings;
}

} // namespace quillmark
