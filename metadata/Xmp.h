// XMP packets: the RDF/XML that Adobe's and most other software write beside (or instead of) EXIF,
// read into flat properties named "prefix:Property", structures flattened into paths
// ("Iptc4xmpCore:CreatorContactInfo/Iptc4xmpCore:CiEmailWork").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

class TimgData;

struct TXmpProperty {
    std::string Name;
    // One value for a simple property; the items of an array (rdf:Bag, rdf:Seq, rdf:Alt) in order,
    // a language alternative's "x-default" first. A field of structures inside an array holds one
    // value per structure.
    std::vector<std::string> Values;
    // The xml:lang of each value ("" when none), parallel to Values.
    std::vector<std::string> Langs;
    bool IsList = false;
    bool Sidecar = false; // read from the photo's sidecar file, not from the photo itself
};

struct TXmpData {
    std::vector<TXmpProperty> Properties;
    // Why a packet could not be read to its end ("XMP packet damaged: ..."), one per packet; what was
    // read before the damage stays in Properties.
    std::vector<std::string> Notes;
};

// Limits that no real packet comes near: a hostile packet costs a bounded time and memory.
constexpr size_t kXmpMaxPacket = 16 << 20;
constexpr int kXmpMaxDepth = 64;
constexpr size_t kXmpMaxProperties = 20000;
constexpr size_t kXmpMaxKeptBytes = 8 << 20;

// Reads one packet into `into` (appending; a property met again in a later packet adds its values).
void ReadXmpPacket(std::string_view packet, TXmpData& into, bool sidecar = false);
TXmpData ReadXmp(std::string_view packet);

// The first property of that name, or nullptr.
const TXmpProperty* FindXmp(const TXmpData& data, std::string_view name);
// Its first value, or "".
std::string XmpValue(const TXmpData& data, std::string_view name);
// The values as one line: items joined by ", ", the language of a non-default alternative before it
// ("[de] Titel").
std::string XmpDisplayText(const TXmpProperty& p);

// The usual prefix of a namespace URI; empty for one the table does not know.
std::string_view XmpPrefixOf(std::string_view uri);

// Every packet a photo carries (TimgData::XmpPackets, in file order) and then its sidecar's.
TXmpData ReadPhotoXmp(const TimgData& data);

// Extended XMP in JPEG: a packet too large for one APP1 section continues in sections that each hold
// "http://ns.adobe.com/xmp/extension/\0", a 32-character GUID, the full length, the offset of this
// piece and the piece. TXmpExtension gathers them and, given the GUID the main packet names in
// xmpNote:HasExtendedXMP, puts the pieces together.
class TXmpExtension {
public:
    // A section's bytes after the signature. False when it is not a well-formed piece.
    bool Add(std::string_view afterSignature);
    // The joined packet of that GUID, empty when there is none or pieces are missing.
    std::string Join(std::string_view guid) const;
    bool Empty() const { return Pieces.empty(); }

private:
    struct TPiece {
        std::string Guid;
        uint32_t FullLength;
        uint32_t Offset;
        std::string Data;
    };
    std::vector<TPiece> Pieces;
    size_t KeptBytes = 0;
};

inline constexpr std::string_view kXmpSignature{"http://ns.adobe.com/xap/1.0/\0", 29};
inline constexpr std::string_view kXmpExtensionSignature{"http://ns.adobe.com/xmp/extension/\0", 35};

// The sidecar of a photo: "name.xmp" or "name.ext.xmp" beside it (either letter case of "xmp"),
// read up to the packet limit; empty when there is none.
std::string ReadXmpSidecar(const std::string& photoPath);

} // namespace quillmark
