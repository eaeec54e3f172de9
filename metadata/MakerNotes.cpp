#include "MakerNotes.h"

#include "ImageInfo.h"

namespace quillmark {

bool TmsInfo::DecodeMakerNote(TImageInfo& /*reader*/) {
    return false;
}

} // namespace quillmark
