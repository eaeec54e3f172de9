// An entry's stored value as JSON for scripts, and the name of the directory it came from.
#pragma once

#include "JsonWriter.h"
#include "TagEntry.h"

namespace quillmark {

// "IFD0", "ExifIFD", "GPS", "Interop", "IFD1", "MakerNotes", "IPTC" or "SubIFD".
const char* GroupName(TTagGroup group);

// Writes the value bytes as JSON: one component as a number, several as an array of numbers; a
// rational as numerator / denominator (null when the denominator is 0); ASCII as a string without its
// closing NULs; UNDEFINED as a string when its bytes are printable ASCII, else as lower-case
// hexadecimal digits, two per byte. Null when the entry keeps no bytes.
void WriteEntryValue(TJsonWriter& json, const TTagEntry& entry);

} // namespace quillmark
