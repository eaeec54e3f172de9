// Reader texts are 8-bit byte strings. At the display edge they become Unicode: a text that is
// valid UTF-8 stays as it is, any other is read as Windows-1252. Control characters a file carries
// (C0, DEL and C1), bidirectional controls (U+202A to U+202E, U+2066 to U+2069) and the line and
// paragraph separators (U+2028, U+2029) never reach a terminal or a list as they are: each becomes
// U+FFFD, the replacement character, so that a file cannot move the cursor, clear the screen, split
// a line or turn the text that follows around.
#pragma once

#include <string>
#include <string_view>

namespace quillmark {

// Which control characters a conversion lets through unchanged; all others become U+FFFD.
enum class TControls {
    None,       // one line of a list or of the report
    LineBreaks, // a text shown as several lines of its own: CR, LF and tab stay
    C0,         // JSON strings: the writer escapes C0 and the bidirectional controls and separators
                // itself; DEL and C1 are still replaced
};

bool IsValidUtf8(std::string_view text);
std::string Windows1252ToUtf8(std::string_view text);
// Valid UTF-8 without a control character that `keep` does not allow.
bool IsDisplaySafe(std::string_view text, TControls keep = TControls::None);
// The text as valid UTF-8 with its control characters replaced as `keep` says.
std::string DisplayUtf8(std::string_view text, TControls keep = TControls::None);
// The same, appended to `out`: no temporary for the common case of a safe text.
void AppendDisplayUtf8(std::string& out, std::string_view text, TControls keep = TControls::None);

} // namespace quillmark
