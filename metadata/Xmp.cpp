#include "Xmp.h"

#include "ByteOrder.h"
#include "ImgData.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <expat.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace quillmark {

namespace {

constexpr std::string_view kRdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr std::string_view kXml = "http://www.w3.org/XML/1998/namespace";

struct TNamespace {
    std::string_view Uri, Prefix;
};

// The prefixes the namespaces are known by, whatever a packet calls them: two packets naming
// dc:title "dc:title" and "ns1:title" mean the same property.
constexpr TNamespace kNamespaces[] = {
    {"http://ns.adobe.com/xap/1.0/", "xmp"},
    {"http://purl.org/dc/elements/1.1/", "dc"},
    {"http://ns.adobe.com/photoshop/1.0/", "photoshop"},
    {"http://iptc.org/std/Iptc4xmpCore/1.0/xmlns/", "Iptc4xmpCore"},
    {"http://iptc.org/std/Iptc4xmpExt/2008-02-29/", "Iptc4xmpExt"},
    {"http://ns.adobe.com/exif/1.0/", "exif"},
    {"http://cipa.jp/exif/1.0/", "exifEX"},
    {"http://ns.adobe.com/tiff/1.0/", "tiff"},
    {"http://ns.adobe.com/exif/1.0/aux/", "aux"},
    {"http://ns.adobe.com/lightroom/1.0/", "lr"},
    {"http://ns.adobe.com/xap/1.0/mm/", "xmpMM"},
    {"http://ns.adobe.com/xap/1.0/rights/", "xmpRights"},
    {"http://ns.adobe.com/camera-raw-settings/1.0/", "crs"},
    {"http://ns.adobe.com/xap/1.0/sType/ResourceEvent#", "stEvt"},
    {"http://ns.adobe.com/xap/1.0/sType/ResourceRef#", "stRef"},
    {"http://ns.adobe.com/xap/1.0/sType/Version#", "stVer"},
    {"http://ns.adobe.com/xap/1.0/sType/Job#", "stJob"},
    {"http://ns.adobe.com/xap/1.0/sType/Dimensions#", "stDim"},
    {"http://ns.adobe.com/xmp/sType/Area#", "stArea"},
    {"http://ns.adobe.com/xap/1.0/t/pg/", "xmpTPg"},
    {"http://ns.adobe.com/xap/1.0/bj/", "xmpBJ"},
    {"http://ns.adobe.com/xap/1.0/g/img/", "xmpGImg"},
    {"http://ns.adobe.com/xmp/note/", "xmpNote"},
    {"http://ns.adobe.com/xmp/Identifier/qual/1.0/", "xmpidq"},
    {"http://ns.adobe.com/xmp/1.0/DynamicMedia/", "xmpDM"},
    {"http://ns.adobe.com/pdf/1.3/", "pdf"},
    {"http://ns.adobe.com/hdr-gain-map/1.0/", "hdrgm"},
    {"http://ns.google.com/photos/1.0/panorama/", "GPano"},
    {"http://ns.google.com/photos/1.0/camera/", "GCamera"},
    {"http://ns.google.com/photos/1.0/image/", "GImage"},
    {"http://ns.google.com/photos/1.0/depthmap/", "GDepth"},
    {"http://ns.google.com/photos/1.0/audio/", "GAudio"},
    {"http://ns.google.com/photos/1.0/container/", "Container"},
    {"http://ns.google.com/photos/1.0/container/item/", "Item"},
    {"http://ns.microsoft.com/photo/1.0/", "MicrosoftPhoto"},
    {"http://ns.microsoft.com/photo/1.0", "MicrosoftPhoto"},
    {"http://ns.microsoft.com/photo/1.2/", "MP"},
    {"http://ns.microsoft.com/photo/1.2/t/RegionInfo#", "MPRI"},
    {"http://ns.microsoft.com/photo/1.2/t/Region#", "MPReg"},
    {"http://www.digikam.org/ns/1.0/", "digiKam"},
    {"http://darktable.sf.net/", "darktable"},
    {"http://www.metadataworkinggroup.com/schemas/regions/", "mwg-rs"},
    {"http://www.metadataworkinggroup.com/schemas/keywords/", "mwg-kw"},
    {"http://www.metadataworkinggroup.com/schemas/collections/", "mwg-coll"},
    {"http://ns.useplus.org/ldf/xmp/1.0/", "plus"},
    {"http://ns.apple.com/faceinfo/1.0/", "apple-fi"},
    {"http://ns.apple.com/HDRGainMap/1.0/", "HDRGainMap"},
    {"http://ns.camerabits.com/photomechanic/1.0/", "photomechanic"},
    {"http://ns.acdsee.com/iptc/1.0/", "acdsee"},
    {"http://ns.adobe.com/photoshop/1.0/camera-profile", "crss"},
    {"http://ns.adobe.com/xmp/1.0/Script/", "xmpScript"},
    {"http://purl.org/dc/terms/", "dcterms"},
    {"http://ns.adobe.com/DICOM/", "DICOM"},
    {"http://ns.adobe.com/xmp/sType/Font#", "stFnt"},
    {"http://ns.adobe.com/album/1.0/", "album"},
    {"http://www.w3.org/1999/02/22-rdf-syntax-ns#", "rdf"},
    {"http://www.w3.org/XML/1998/namespace", "xml"},
    {"adobe:ns:meta/", "x"},
};

// A name as expat gives it with namespace triplets: "uri\1local\1prefix", "uri\1local", or "local".
struct TName {
    std::string_view Uri, Local, Prefix;
};

constexpr char kSep = '\x01';

TName SplitName(const char* raw) {
    const std::string_view s(raw);
    TName n;
    const size_t a = s.find(kSep);
    if (a == std::string_view::npos) {
        n.Local = s;
        return n;
    }
    n.Uri = s.substr(0, a);
    const size_t b = s.find(kSep, a + 1);
    n.Local = s.substr(a + 1, b == std::string_view::npos ? std::string_view::npos : b - a - 1);
    if (b != std::string_view::npos) n.Prefix = s.substr(b + 1);
    return n;
}

std::string QualifiedName(const TName& n) {
    std::string_view prefix = XmpPrefixOf(n.Uri);
    if (prefix.empty()) prefix = n.Prefix;
    std::string q;
    q.reserve(prefix.size() + 1 + n.Local.size());
    if (!prefix.empty()) q.append(prefix).push_back(':');
    q.append(n.Local);
    return q;
}

// What an open element is in the RDF reading.
enum class TKind : uint8_t {
    Outside,  // before rdf:RDF (x:xmpmeta, ...), or something not RDF: skipped
    Rdf,      // rdf:RDF: its children are top-level descriptions
    Node,     // a description or a parseType="Resource" property: its children are properties
    Property, // a property element: a simple value, an array, or a structure
    Array,    // rdf:Bag, rdf:Seq, rdf:Alt
    Item,     // rdf:li
    Skip,     // inside something not understood: everything below is ignored
};

struct TFrame {
    TKind Kind;
    std::string Path; // Node: the prefix its properties get ("" or "a:b/"); Property, Item: the name
    std::string Text;
    std::string Lang;
    bool HasChildren = false;
    bool Structure = false;  // its value is given by fields, not text
    bool InList = false;     // a Property whose value goes to an array item (a structure inside rdf:li)
    size_t ValuesBefore = 0; // Array: the values read when it opened
};

class TXmpReader {
public:
    TXmpReader(TXmpData& into, bool sidecar) : Into(into), Sidecar(sidecar) {
        // The sidecar's properties stay apart from the photo's own, even of the same name.
        for (size_t i = 0; i < into.Properties.size(); ++i)
            if (into.Properties[i].Sidecar == sidecar) Index.emplace(into.Properties[i].Name, i);
    }

    std::string Read(std::string_view packet) {
        XML_Parser p = XML_ParserCreateNS(nullptr, kSep);
        if (!p) return "out of memory";
        Parser = p;
        XML_SetReturnNSTriplet(p, 1);
        XML_SetUserData(p, this);
        XML_SetElementHandler(p, &TXmpReader::OnStart, &TXmpReader::OnEnd);
        XML_SetCharacterDataHandler(p, &TXmpReader::OnText);
        // No document type: its entities are the one way a small packet could make expat work
        // without end or reach outside the packet, and no XMP writer uses one.
        XML_SetStartDoctypeDeclHandler(p, &TXmpReader::OnDoctype);
        XML_SetEntityDeclHandler(p, &TXmpReader::OnEntity);
        XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
        std::string reason;
        if (XML_Parse(p, packet.data(), static_cast<int>(packet.size()), 1) == XML_STATUS_ERROR) {
            if (!Stopped.empty())
                reason = Stopped;
            else {
                char where[64];
                std::snprintf(where, sizeof where, " (line %lu)",
                              static_cast<unsigned long>(XML_GetCurrentLineNumber(p)));
                reason = std::string(XML_ErrorString(XML_GetErrorCode(p))) + where;
            }
        }
        XML_ParserFree(p);
        return reason;
    }

private:
    static void XMLCALL OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        static_cast<TXmpReader*>(self)->Stop("a document type declaration is not allowed");
    }
    static void XMLCALL OnEntity(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                 const XML_Char*, const XML_Char*, const XML_Char*) {
        static_cast<TXmpReader*>(self)->Stop("an entity declaration is not allowed");
    }
    // No exception may pass through expat's C frames: one stops the parse instead.
    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attrs) {
        auto* r = static_cast<TXmpReader*>(self);
        try {
            r->Start(name, attrs);
        } catch (...) {
            r->Stop("out of memory");
        }
    }
    static void XMLCALL OnEnd(void* self, const XML_Char*) {
        auto* r = static_cast<TXmpReader*>(self);
        try {
            r->End();
        } catch (...) {
            r->Stop("out of memory");
        }
    }
    static void XMLCALL OnText(void* self, const XML_Char* s, int len) {
        auto* r = static_cast<TXmpReader*>(self);
        try {
            r->Text(s, len);
        } catch (...) {
            r->Stop("out of memory");
        }
    }
    void Text(const XML_Char* s, int len) {
        if (Stack.empty() || len <= 0) return;
        TFrame& f = Stack.back();
        if (f.Kind != TKind::Property && f.Kind != TKind::Item) return;
        const auto n = static_cast<size_t>(len);
        if (Kept + f.Text.size() + n > kXmpMaxKeptBytes) return Stop("more text than the reader keeps");
        f.Text.append(s, n);
    }

    void Stop(const char* why) noexcept {
        if (Stopped.empty()) {
            try {
                Stopped = why;
            } catch (...) {
            }
        }
        XML_StopParser(Parser, XML_FALSE);
    }

    static bool IsRdf(const TName& n, std::string_view local) { return n.Uri == kRdf && n.Local == local; }

    TXmpProperty& PropertyNamed(const std::string& name) {
        const auto [it, added] = Index.emplace(name, Into.Properties.size());
        if (added) {
            Into.Properties.emplace_back();
            Into.Properties.back().Name = name;
            Into.Properties.back().Sidecar = Sidecar;
        }
        return Into.Properties[it->second];
    }

    void AddValue(const std::string& name, std::string value, std::string lang, bool list) {
        if (Kept + name.size() + value.size() > kXmpMaxKeptBytes)
            return Stop("more text than the reader keeps");
        if (Index.find(name) == Index.end() && Into.Properties.size() >= kXmpMaxProperties)
            return Stop("more properties than the reader keeps");
        Kept += name.size() + value.size() + lang.size();
        ++ValuesAdded;
        TXmpProperty& p = PropertyNamed(name);
        p.IsList = p.IsList || list;
        // A language alternative's default goes first, whatever its place in the packet.
        // Only the first: a packet of a million defaults must not move a million values each time.
        if (lang == "x-default" && (p.Langs.empty() || p.Langs.front() != "x-default")) {
            p.Values.insert(p.Values.begin(), std::move(value));
            p.Langs.insert(p.Langs.begin(), std::move(lang));
        } else {
            p.Values.push_back(std::move(value));
            p.Langs.push_back(std::move(lang));
        }
    }

    // The element a property's value belongs to: a Property frame, or an Item whose array names it.
    bool InListContext(size_t parent) const {
        for (size_t i = parent + 1; i-- > 0;) {
            if (Stack[i].Kind == TKind::Item) return true;
            if (Stack[i].Kind == TKind::Rdf) return false;
        }
        return false;
    }

    // The non-RDF attributes of a node or property element are properties of the node it stands for.
    void AttributeFields(const std::string& prefix, const XML_Char** attrs, bool list) {
        for (size_t i = 0; attrs[i] && attrs[i + 1]; i += 2) {
            const TName a = SplitName(attrs[i]);
            if (a.Uri == kRdf || a.Uri == kXml || a.Uri.empty()) continue;
            AddValue(prefix + QualifiedName(a), attrs[i + 1], "", list);
        }
    }

    static const char* Attribute(const XML_Char** attrs, std::string_view uri, std::string_view local) {
        for (size_t i = 0; attrs[i] && attrs[i + 1]; i += 2) {
            const TName a = SplitName(attrs[i]);
            if (a.Uri == uri && a.Local == local) return attrs[i + 1];
        }
        return nullptr;
    }

    static bool HasFieldAttributes(const XML_Char** attrs) {
        for (size_t i = 0; attrs[i] && attrs[i + 1]; i += 2) {
            const TName a = SplitName(attrs[i]);
            if (a.Uri != kRdf && a.Uri != kXml && !a.Uri.empty()) return true;
        }
        return false;
    }

    // A node's properties are named by its path: a property's own path and "/".
    void OpenNode(std::string path, const XML_Char** attrs, bool list) {
        AttributeFields(path, attrs, list);
        Stack.push_back({TKind::Node, std::move(path), {}, {}, false, false, list});
    }

    void Start(const XML_Char* raw, const XML_Char** attrs) {
        if (Stack.size() >= static_cast<size_t>(kXmpMaxDepth)) return Stop("elements nested too deep");
        const TName n = SplitName(raw);
        const TKind parent = Stack.empty() ? TKind::Outside : Stack.back().Kind;
        if (!Stack.empty()) Stack.back().HasChildren = true;
        switch (parent) {
        case TKind::Outside:
            Stack.push_back({IsRdf(n, "RDF") ? TKind::Rdf : TKind::Outside, {}, {}, {}});
            return;
        case TKind::Skip:
            Stack.push_back({TKind::Skip, {}, {}, {}});
            return;
        case TKind::Rdf:
            // Top-level descriptions (a typed node element counts as one).
            return OpenNode({}, attrs, false);
        case TKind::Node: {
            const TFrame& node = Stack.back();
            const bool list = node.InList;
            std::string name;
            if (IsRdf(n, "value")) {
                // A qualified value: the value of the property the node belongs to.
                name = node.Path.empty() ? std::string() : node.Path.substr(0, node.Path.size() - 1);
                if (name.empty()) return Stack.push_back({TKind::Skip, {}, {}, {}});
            } else {
                name = node.Path + QualifiedName(n);
            }
            return OpenProperty(std::move(name), attrs, list);
        }
        case TKind::Property:
        case TKind::Item: {
            TFrame& owner = Stack.back();
            owner.Structure = true;
            const bool list = owner.Kind == TKind::Item || owner.InList;
            if (IsRdf(n, "Bag") || IsRdf(n, "Seq") || IsRdf(n, "Alt")) {
                TFrame array{TKind::Array, owner.Path, {}, {}};
                array.ValuesBefore = ValuesAdded;
                return Stack.push_back(std::move(array));
            }
            if (IsRdf(n, "Description")) return OpenNode(owner.Path + "/", attrs, list);
            // Some writers nest fields straight inside a property, without a description: read the
            // property as the structure it means.
            if (n.Uri == kRdf) return Stack.push_back({TKind::Skip, {}, {}, {}});
            return OpenProperty(owner.Path + "/" + QualifiedName(n), attrs, list);
        }
        case TKind::Array: {
            const std::string& path = Stack.back().Path;
            if (!IsRdf(n, "li")) return Stack.push_back({TKind::Skip, {}, {}, {}});
            const char* lang = Attribute(attrs, kXml, "lang");
            TFrame item{TKind::Item, path, {}, lang ? lang : "", false, false, true};
            const char* parseType = Attribute(attrs, kRdf, "parseType");
            if (parseType && std::string_view(parseType) == "Resource") {
                AttributeFields(path + "/", attrs, true);
                return Stack.push_back({TKind::Node, path + "/", {}, {}, false, false, true});
            }
            if (HasFieldAttributes(attrs)) {
                item.Structure = true;
                AttributeFields(path + "/", attrs, true);
            }
            if (const char* resource = Attribute(attrs, kRdf, "resource")) {
                item.Structure = true;
                AddValue(path, resource, item.Lang, true);
            }
            return Stack.push_back(std::move(item));
        }
        }
    }

    void OpenProperty(std::string name, const XML_Char** attrs, bool list) {
        const char* parseType = Attribute(attrs, kRdf, "parseType");
        if (parseType && std::string_view(parseType) == "Resource") {
            AttributeFields(name + "/", attrs, list);
            Stack.push_back({TKind::Node, name + "/", {}, {}, false, false, list});
            return;
        }
        const char* lang = Attribute(attrs, kXml, "lang");
        TFrame f{TKind::Property, std::move(name), {}, lang ? lang : "", false, false, list};
        if (const char* resource = Attribute(attrs, kRdf, "resource")) {
            f.Structure = true;
            AddValue(f.Path, resource, f.Lang, list);
        }
        if (HasFieldAttributes(attrs)) {
            f.Structure = true;
            AttributeFields(f.Path + "/", attrs, list);
        }
        Stack.push_back(std::move(f));
    }

    void End() {
        if (Stack.empty()) return;
        TFrame f = std::move(Stack.back());
        Stack.pop_back();
        // An empty array is still one: the property is there, with no items. An array of structures
        // is shown by its fields alone.
        if (f.Kind == TKind::Array && ValuesAdded == f.ValuesBefore &&
            (Index.count(f.Path) || Into.Properties.size() < kXmpMaxProperties))
            PropertyNamed(f.Path).IsList = true;
        if ((f.Kind == TKind::Property || f.Kind == TKind::Item) && !f.Structure && !f.HasChildren)
            AddValue(f.Path, std::move(f.Text), std::move(f.Lang), f.Kind == TKind::Item || f.InList);
    }

    TXmpData& Into;
    bool Sidecar;
    XML_Parser Parser = nullptr;
    std::vector<TFrame> Stack;
    std::unordered_map<std::string, size_t> Index;
    size_t Kept = 0;
    size_t ValuesAdded = 0;
    std::string Stopped;
};

// XMP in files often ends in zero bytes or padding after the packet's closing processing
// instruction; expat would call a zero byte past the root element an error.
std::string_view TrimPacket(std::string_view packet) {
    while (!packet.empty() && (packet.back() == '\0' || packet.back() == ' ' || packet.back() == '\n' ||
                               packet.back() == '\r' || packet.back() == '\t'))
        packet.remove_suffix(1);
    return packet;
}

} // namespace

std::string_view XmpPrefixOf(std::string_view uri) {
    // Looked up for every element and attribute of a packet: hashed, not searched.
    static const std::unordered_map<std::string_view, std::string_view> prefixes = [] {
        std::unordered_map<std::string_view, std::string_view> m;
        for (const auto& ns : kNamespaces)
            m.emplace(ns.Uri, ns.Prefix);
        return m;
    }();
    const auto it = prefixes.find(uri);
    return it == prefixes.end() ? std::string_view() : it->second;
}

void ReadXmpPacket(std::string_view packet, TXmpData& into, bool sidecar) {
    if (packet.size() > kXmpMaxPacket) {
        into.Notes.push_back("XMP packet damaged: larger than " + std::to_string(kXmpMaxPacket >> 20) +
                             " MB, not read");
        return;
    }
    packet = TrimPacket(packet);
    if (packet.empty()) return;
    try {
        TXmpReader reader(into, sidecar);
        const std::string reason = reader.Read(packet);
        if (!reason.empty()) into.Notes.push_back("XMP packet damaged: " + reason);
    } catch (const std::exception& e) {
        into.Notes.push_back(std::string("XMP packet damaged: ") + e.what());
    }
}

TXmpData ReadXmp(std::string_view packet) {
    TXmpData d;
    ReadXmpPacket(packet, d);
    return d;
}

const TXmpProperty* FindXmp(const TXmpData& data, std::string_view name) {
    for (const auto& p : data.Properties)
        if (p.Name == name) return &p;
    return nullptr;
}

std::string XmpValue(const TXmpData& data, std::string_view name) {
    const TXmpProperty* p = FindXmp(data, name);
    return p && !p->Values.empty() ? p->Values.front() : std::string();
}

std::string XmpDisplayText(const TXmpProperty& p) {
    std::string s;
    for (size_t i = 0; i < p.Values.size(); ++i) {
        if (i) s += ", ";
        const std::string& lang = i < p.Langs.size() ? p.Langs[i] : std::string();
        if (!lang.empty() && lang != "x-default") s.append("[").append(lang).append("] ");
        s += p.Values[i];
    }
    return s;
}

bool TXmpExtension::Add(std::string_view rest) {
    constexpr size_t kHead = 32 + 4 + 4;
    if (rest.size() < kHead) return false;
    const auto u32 = [&](size_t at) { return static_cast<uint32_t>(BytesToInt(rest.substr(at, 4), true)); };
    TPiece piece{std::string(rest.substr(0, 32)), u32(32), u32(36), std::string(rest.substr(kHead))};
    if (piece.FullLength > kXmpMaxPacket || piece.Offset > piece.FullLength ||
        piece.Data.size() > piece.FullLength - piece.Offset || KeptBytes + piece.Data.size() > kXmpMaxPacket)
        return false;
    KeptBytes += piece.Data.size();
    Pieces.push_back(std::move(piece));
    return true;
}

std::string TXmpExtension::Join(std::string_view guid) const {
    uint32_t full = 0;
    bool any = false;
    for (const auto& p : Pieces)
        if (p.Guid == guid) {
            if (any && p.FullLength != full) return {};
            full = p.FullLength;
            any = true;
        }
    if (!any) return {};
    std::string joined(full, '\0');
    std::vector<bool> covered(full, false);
    for (const auto& p : Pieces) {
        if (p.Guid != guid) continue;
        std::memcpy(joined.data() + p.Offset, p.Data.data(), p.Data.size());
        std::fill(covered.begin() + p.Offset,
                  covered.begin() + p.Offset + static_cast<ptrdiff_t>(p.Data.size()), true);
    }
    if (std::find(covered.begin(), covered.end(), false) != covered.end()) return {};
    return joined;
}

std::string ReadXmpSidecar(const std::string& photoPath) {
    if (photoPath.empty()) return {};
    const size_t slash = photoPath.find_last_of('/');
    const size_t dot = photoPath.find_last_of('.');
    std::vector<std::string> names;
    for (const char* ext : {".xmp", ".XMP"}) {
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
            names.push_back(photoPath.substr(0, dot) + ext);
        names.push_back(photoPath + ext);
    }
    for (const auto& name : names) {
        // An XMP file opened as a photo is not its own sidecar.
        if (name == photoPath) continue;
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st {};
        std::string bytes;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            // One byte past the limit tells a packet that is too large from one that just fits.
            bytes.resize(static_cast<size_t>(std::min<int64_t>(st.st_size, kXmpMaxPacket + 1)));
            size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t got =
                    ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
                if (got <= 0) break;
                done += static_cast<size_t>(got);
            }
            bytes.resize(done);
        }
        ::close(fd);
        if (!bytes.empty()) return bytes;
    }
    return {};
}

TXmpData ReadPhotoXmp(const TimgData& data) {
    TXmpData d;
    for (const auto& packet : data.XmpPackets)
        ReadXmpPacket(packet, d, false);
    if (!data.XmpSidecar.empty()) ReadXmpPacket(data.XmpSidecar, d, true);
    return d;
}

} // namespace quillmark
