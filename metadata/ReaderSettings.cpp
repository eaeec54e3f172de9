#include "ReaderSettings.h"

namespace quillmark {

TReaderSettings& ReaderSettings() {
    static TReaderSettings settings;
    return settings;
}

} // namespace quillmark
