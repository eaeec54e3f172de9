#include "IptcData.h"

namespace quillmark {

std::vector<std::string> TIPTCdata::ListAsLines(const std::string& /*app13Data*/) const {
    return {};
}

} // namespace quillmark
