// Reader texts are 8-bit byte strings. At the display edge they become Unicode: a text that is
// valid UTF-8 stays as it is, any other is read as Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

bool IsValidUtf8(std::string_view text);
std::string Windows1252ToUtf8(std::string_view text);
std::string DisplayUtf8(std::string_view text);

} // namespace quillmark
