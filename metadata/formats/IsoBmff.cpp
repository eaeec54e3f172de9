// HEIF/HEIC, AVIF and Canon CR3: ISO base media files told apart by their `ftyp` brands.
//
// HEIF and AVIF keep their metadata as items of the `meta` box: `iinf` names each item's type, `iloc`
// says where its bytes lie (in the file, or in `idat` inside `meta`), `iref` links items (a thumbnail
// to its master, an Exif item to the picture it describes) and `iprp` gives the pictures' properties
// (size, colour profile, rotation, mirroring). The `meta` box is small and is read whole; of the
// items only the Exif and XMP ones are read. CR3 keeps its TIFF structures in boxes of a Canon `uuid`
// inside `moov`, its preview in a `uuid` of its own and its XMP in a third.
#include "Boxes.h"
#include "Scans.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>
#include <vector>

namespace quillmark {

namespace {

using boxes::FourCC;
using boxes::TBox;
using boxes::TBoxWalker;

constexpr std::string_view kCanonUuid("\x85\xc0\xb6\x87\x82\x0f\x11\xe0\x81\x11\xf4\xce\x46\x2b\x6a\x48", 16);
constexpr std::string_view kPreviewUuid("\xea\xf4\x2b\x5e\x1c\x98\x4b\x88\xb9\xfb\xb7\xdc\x40\x6e\x4d\x16",
                                        16);
constexpr std::string_view kXmpUuid("\xbe\x7a\xcf\xcb\x97\xa9\x42\xe8\x9c\x71\x99\x94\x91\xe3\xaf\xac", 16);

// Extents an item keeps, and the iloc entries looked at in all: an iloc whose fields are all of size 0
// spends no bytes on an extent, so its counts alone must not set the work.
constexpr size_t kMaxExtentsPerItem = 256;
constexpr uint64_t kMaxExtentsRead = 100000;

enum class EKind { None, Heic, Heif, Avif, Cr3 };

struct TExtent {
    uint64_t Offset = 0, Length = 0; // Length 0: to the end of the file (or of idat)
};

struct TItem {
    uint32_t Type = 0;
    std::string ContentType;
    bool Located = false;
    unsigned Method = 0;  // 0 file offsets, 1 idat, 2 another item
    uint32_t DataRef = 0; // 0: this file; else an entry of dref, which may say "this file" too
    std::vector<TExtent> Extents;
    std::vector<uint16_t> Properties; // ipco indices (1-based) in association order
    std::vector<uint32_t> Describes;  // cdsc
    std::vector<uint32_t> Derives;    // dimg
};

struct TProperty {
    uint32_t Type = 0;
    TByteView Payload; // inside the meta bytes
};

// A fixed 4-character brand compared with one from the file.
bool BrandIn(uint32_t brand, std::initializer_list<uint32_t> list) {
    return std::find(list.begin(), list.end(), brand) != list.end();
}

const std::initializer_list<uint32_t> kHeicBrands = {FourCC("heic"), FourCC("heix"), FourCC("hevc"),
                                                     FourCC("heim"), FourCC("heis"), FourCC("hevm"),
                                                     FourCC("hevx")};
const std::initializer_list<uint32_t> kAvifBrands = {FourCC("avif"), FourCC("avis")};
const std::initializer_list<uint32_t> kHeifBrands = {FourCC("mif1"), FourCC("msf1")};

EKind KindOfBrands(uint32_t major, const std::vector<uint32_t>& compatible) {
    const auto any = [&](std::initializer_list<uint32_t> list) {
        if (BrandIn(major, list)) return true;
        for (uint32_t b : compatible)
            if (BrandIn(b, list)) return true;
        return false;
    };
    if (any({FourCC("crx ")})) return EKind::Cr3;
    if (BrandIn(major, kAvifBrands)) return EKind::Avif;
    if (BrandIn(major, kHeicBrands)) return EKind::Heic;
    if (any(kAvifBrands)) return EKind::Avif;
    if (any(kHeicBrands)) return EKind::Heic;
    if (any(kHeifBrands)) return EKind::Heif;
    return EKind::None;
}

// EXIF orientation (1..8) of a picture turned and mirrored as its properties say, in their order: kept
// as "mirror left-right first (or not), then turn clockwise by Quarter quarter turns".
struct TOrientation {
    bool Mirror = false;
    unsigned Quarter = 0;
    bool Any = false;
    void Rotate(unsigned anticlockwise) { // irot turns anticlockwise
        Quarter = (Quarter + 4 - (anticlockwise & 3)) & 3;
        Any = true;
    }
    void MirrorLeftRight() { // M after R(q) is R(-q) after M
        Mirror = !Mirror;
        Quarter = (4 - Quarter) & 3;
        Any = true;
    }
    void MirrorTopBottom() { // a top-bottom flip is a left-right flip turned half round
        MirrorLeftRight();
        Quarter = (Quarter + 2) & 3;
    }
    int Exif() const {
        static constexpr int kPlain[4] = {1, 6, 3, 8}, kMirrored[4] = {2, 7, 4, 5};
        return Mirror ? kMirrored[Quarter] : kPlain[Quarter];
    }
};

class TIsoScan {
public:
    TIsoScan(TByteSource& source, uint64_t fileSize, TContainerScan& out)
        : Walker(source, fileSize, out), FileSize(fileSize), Out(out) {}

    bool Run();

private:
    bool ReadFileType(const TBox& box);
    void ReadMeta(const TBox& box);
    void ReadMetaChild(TBoxWalker& walker, const TBox& box, TByteView meta, int depth);
    void ReadItemInfo(TBoxWalker& walker, const TBox& box, TByteView meta, int depth);
    void ReadItemEntry(TByteView infe);
    void ReadLocations(TByteView iloc);
    void ReadReferences(TBoxWalker& walker, const TBox& box, TByteView meta, int depth);
    void ReadAssociations(TByteView ipma);
    void Resolve();
    uint32_t CodedType(const TItem& item) const;
    bool InThisFile(const TItem& item) const {
        return item.DataRef == 0 || (item.DataRef <= SelfContained.size() && SelfContained[item.DataRef - 1]);
    }
    std::string ItemBytes(const TItem& item, bool& oneExtentInFile, uint64_t& fileOffset);
    void ReadCanon(const TBox& box, int depth);
    void ReadMovie(const TBox& box, int depth);
    void AddCanonPicture(const TBox& box, const char* kind, uint64_t sizeAt, uint64_t lengthAt);

    TBoxWalker Walker;
    uint64_t FileSize;
    TContainerScan& Out;
    EKind Kind = EKind::None;
    bool SawMeta = false;

    uint32_t Primary = 0;
    bool HasPrimary = false;
    std::map<uint32_t, TItem> Items;
    std::string Meta;
    std::vector<TProperty> Properties; // views into Meta
    TByteView Associations;            // ipma's payload, in Meta
    std::vector<uint32_t> Thumbnails;
    std::string Idat;
    std::vector<bool> SelfContained; // dref's entries, 1-based in iloc
    uint64_t ExtentsRead = 0;
};

bool TIsoScan::ReadFileType(const TBox& box) {
    if (box.Type != FourCC("ftyp")) return false;
    const std::string bytes = Walker.Read(box.Payload, box.PayloadSize(), 4096);
    const TByteView view(bytes);
    const auto major = view.U32(0, true);
    if (!major) return false;
    std::vector<uint32_t> compatible;
    for (uint64_t at = 8; view.Holds(at, 4); at += 4)
        compatible.push_back(*view.U32(at, true));
    Kind = KindOfBrands(*major, compatible);
    return Kind != EKind::None;
}

bool TIsoScan::Run() {
    const std::optional<TBox> first = Walker.ReadHeader(0, FileSize);
    if (!first || !ReadFileType(*first)) return false;
    Out.Format = Kind == EKind::Cr3    ? "CR3"
                 : Kind == EKind::Avif ? "AVIF"
                 : Kind == EKind::Heic ? "HEIC"
                                       : "HEIF";
    Walker.Walk(first->End, FileSize, 0, [&](const TBox& box) {
        if (box.Type == FourCC("meta") && Kind != EKind::Cr3) {
            if (!SawMeta) ReadMeta(box);
            SawMeta = true;
        } else if (box.Type == FourCC("moov") && Kind == EKind::Cr3) {
            ReadMovie(box, 1);
        } else if (box.Type == FourCC("uuid") && box.Uuid == kXmpUuid) {
            boxes::AddXmp(Out, Walker.ReadPayload(box, "XMP box"));
        } else if (box.Type == FourCC("uuid") && box.Uuid == kPreviewUuid && Kind == EKind::Cr3) {
            // Eight bytes, then the PRVW box.
            if (box.PayloadSize() >= 8)
                Walker.Walk(box.Payload + 8, box.End, 1, [&](const TBox& child) {
                    if (child.Type == FourCC("PRVW")) AddCanonPicture(child, "PRVW", 14, 20);
                    return true;
                });
        }
        return true;
    });
    if (Kind != EKind::Cr3) {
        if (!SawMeta) Walker.Note("no meta box: the file holds no items");
        Resolve();
    }
    return true;
}

// --- HEIF and AVIF -----------------------------------------------------------------------------

void TIsoScan::ReadMeta(const TBox& box) {
    // Kept for the whole scan: the properties are views into it.
    Meta = Walker.ReadPayload(box, "meta box");
    const std::string& bytes = Meta;
    TMemorySource memory(bytes);
    TBoxWalker walker(memory, bytes.size(), Walker);
    const TByteView meta(bytes);
    // A full box: version and flags first. QuickTime's own meta box has none, which shows as a box
    // header (its hdlr) in place of them.
    uint64_t begin = 4;
    if (meta.U32(4, true) == FourCC("hdlr") && meta.U32(0, true) != 0) begin = 0;
    walker.Walk(begin, bytes.size(), 1, [&](const TBox& child) {
        ReadMetaChild(walker, child, meta, 1);
        return true;
    });
}

void TIsoScan::ReadMetaChild(TBoxWalker& walker, const TBox& box, TByteView meta, int depth) {
    const TByteView payload = meta.Clip(box.Payload, box.PayloadSize());
    switch (box.Type) {
    case FourCC("hdlr"):
        if (payload.U32(8, true) != FourCC("pict")) walker.Note("meta box's handler is not 'pict'");
        break;
    case FourCC("pitm"): {
        const auto version = payload.U8(0);
        const auto id = version == 0 ? std::optional<uint32_t>(payload.U16(4, true)) : payload.U32(4, true);
        if (id) {
            Primary = *id;
            HasPrimary = true;
        }
        break;
    }
    case FourCC("iinf"):
        ReadItemInfo(walker, box, meta, depth);
        break;
    case FourCC("iloc"):
        ReadLocations(payload);
        break;
    case FourCC("iref"):
        ReadReferences(walker, box, meta, depth);
        break;
    case FourCC("dinf"):
        // dref's entries: a 'url ' whose flag 1 is set means the file itself.
        walker.Walk(box.Payload, box.End, depth + 1, [&](const TBox& dref) {
            if (dref.Type == FourCC("dref") && dref.PayloadSize() >= 8 && SelfContained.empty())
                walker.Walk(dref.Payload + 8, dref.End, depth + 2, [&](const TBox& entry) {
                    const auto flags = meta.U32(entry.Payload, true);
                    SelfContained.push_back(entry.Type == FourCC("url ") && flags && (*flags & 1));
                    return true;
                });
            return true;
        });
        break;
    case FourCC("idat"):
        if (Idat.empty()) Idat = std::string(payload.Data());
        break;
    case FourCC("iprp"):
        walker.Walk(box.Payload, box.End, depth + 1, [&](const TBox& child) {
            if (child.Type == FourCC("ipco")) {
                walker.Walk(child.Payload, child.End, depth + 2, [&](const TBox& property) {
                    Properties.push_back(
                        {property.Type, meta.Clip(property.Payload, property.PayloadSize())});
                    return true;
                });
            } else if (child.Type == FourCC("ipma") && Associations.Empty()) {
                // Read once every item is known: iinf and iloc may follow iprp.
                Associations = meta.Clip(child.Payload, child.PayloadSize());
            }
            return true;
        });
        break;
    default:
        break;
    }
}

void TIsoScan::ReadItemInfo(TBoxWalker& walker, const TBox& box, TByteView meta, int depth) {
    const TByteView payload = meta.Clip(box.Payload, box.PayloadSize());
    const auto version = payload.U8(0);
    if (!version) return;
    const uint64_t skip = *version == 0 ? 6 : 8; // version and flags, then the entry count
    if (!payload.Holds(0, skip)) return;
    walker.Walk(box.Payload + skip, box.End, depth + 1, [&](const TBox& entry) {
        if (entry.Type == FourCC("infe")) ReadItemEntry(meta.Clip(entry.Payload, entry.PayloadSize()));
        return true;
    });
}

void TIsoScan::ReadItemEntry(TByteView infe) {
    const auto version = infe.U8(0);
    if (!version || *version < 2) return; // versions 0 and 1 name no item type
    uint64_t at = 4;
    const auto id = *version == 2 ? std::optional<uint32_t>(infe.U16(at, true)) : infe.U32(at, true);
    if (!id) return;
    at += *version == 2 ? 2 : 4;
    at += 2; // protection index
    const auto type = infe.U32(at, true);
    if (!type) return;
    at += 4;
    TItem& item = Items[*id];
    item.Type = *type;
    if (*type != FourCC("mime")) return;
    const std::string_view rest = infe.Clip(at, UINT64_MAX).Data();
    const size_t nameEnd = rest.find('\0');
    if (nameEnd == std::string_view::npos) return;
    const std::string_view content = rest.substr(nameEnd + 1);
    item.ContentType = std::string(content.substr(0, std::min(content.find('\0'), content.size())));
}

void TIsoScan::ReadLocations(TByteView iloc) {
    const auto version = iloc.U8(0);
    const auto sizes = iloc.U16(4, true);
    if (!version || !sizes || *version > 2) {
        if (version && *version > 2) Walker.Note("iloc box of an unknown version");
        return;
    }
    const unsigned offsetSize = *sizes >> 12, lengthSize = *sizes >> 8 & 15, baseSize = *sizes >> 4 & 15;
    const unsigned indexSize = *version >= 1 ? *sizes & 15 : 0;
    const auto validSize = [](unsigned s) { return s == 0 || s == 4 || s == 8; };
    if (!validSize(offsetSize) || !validSize(lengthSize) || !validSize(baseSize) || !validSize(indexSize)) {
        Walker.Note("iloc box with field sizes other than 0, 4 or 8");
        return;
    }
    uint64_t at = 6;
    const auto count = *version < 2 ? std::optional<uint32_t>(iloc.U16(at, true)) : iloc.U32(at, true);
    if (!count) return;
    at += *version < 2 ? 2 : 4;
    const auto broken = [&] { Walker.Note("iloc box ends inside an entry"); };
    for (uint32_t i = 0; i < *count; ++i) {
        const auto id = *version < 2 ? std::optional<uint32_t>(iloc.U16(at, true)) : iloc.U32(at, true);
        if (!id) return broken();
        at += *version < 2 ? 2 : 4;
        unsigned method = 0;
        if (*version >= 1) {
            const auto m = iloc.U16(at, true);
            if (!m) return broken();
            method = *m & 15;
            at += 2;
        }
        const auto dataRef = iloc.U16(at, true);
        const auto base = boxes::ReadSized(iloc, at + 2, baseSize);
        const auto extents = iloc.U16(at + 2 + baseSize, true);
        if (!dataRef || !base || !extents) return broken();
        at += 4 + baseSize;
        TItem& item = Items[*id];
        const bool first = !item.Located;
        if (first) {
            item.Located = true;
            item.Method = method;
            item.DataRef = *dataRef;
        }
        for (unsigned e = 0; e < *extents; ++e) {
            if (++ExtentsRead > kMaxExtentsRead) {
                Walker.Note("iloc box with too many extents; the rest are not read");
                return;
            }
            const auto offset = boxes::ReadSized(iloc, at + indexSize, offsetSize);
            const auto length = boxes::ReadSized(iloc, at + indexSize + offsetSize, lengthSize);
            if (!offset || !length) return broken();
            at += indexSize + offsetSize + lengthSize;
            if (!first) continue;
            if (item.Extents.size() >= kMaxExtentsPerItem) {
                Walker.Note("item of too many extents; the rest are not read");
                continue;
            }
            if (*offset > UINT64_MAX - *base) {
                Walker.Note("item extent beyond any file");
                item.Located = false;
                continue;
            }
            item.Extents.push_back({*base + *offset, *length});
        }
    }
}

void TIsoScan::ReadReferences(TBoxWalker& walker, const TBox& box, TByteView meta, int depth) {
    const auto version = meta.U8(box.Payload);
    if (!version || box.PayloadSize() < 4) return;
    const unsigned idSize = *version == 0 ? 2 : 4;
    const auto readId = [&](TByteView v, uint64_t at) {
        return idSize == 2 ? std::optional<uint32_t>(v.U16(at, true)) : v.U32(at, true);
    };
    walker.Walk(box.Payload + 4, box.End, depth + 1, [&](const TBox& reference) {
        const TByteView v = meta.Clip(reference.Payload, reference.PayloadSize());
        const auto from = readId(v, 0);
        const auto count = v.U16(idSize, true);
        if (!from || !count) return true;
        for (uint64_t i = 0; i < *count; ++i) {
            const auto to = readId(v, idSize + 2 + i * idSize);
            if (!to) break;
            if (reference.Type == FourCC("thmb")) {
                if (i == 0 && std::find(Thumbnails.begin(), Thumbnails.end(), *from) == Thumbnails.end() &&
                    Thumbnails.size() < 64)
                    Thumbnails.push_back(*from);
            } else if (reference.Type == FourCC("cdsc")) {
                if (Items[*from].Describes.size() < 64) Items[*from].Describes.push_back(*to);
            } else if (reference.Type == FourCC("dimg")) {
                if (Items[*from].Derives.size() < 4) Items[*from].Derives.push_back(*to);
            }
        }
        return true;
    });
}

void TIsoScan::ReadAssociations(TByteView ipma) {
    const auto version = ipma.U8(0);
    const auto flags = ipma.U32(0, true);
    const auto count = ipma.U32(4, true);
    if (!version || !flags || !count) return;
    const bool wideIndex = *flags & 1;
    uint64_t at = 8;
    for (uint32_t i = 0; i < *count; ++i) {
        const auto id = *version < 1 ? std::optional<uint32_t>(ipma.U16(at, true)) : ipma.U32(at, true);
        if (!id) return;
        at += *version < 1 ? 2 : 4;
        const auto associations = ipma.U8(at);
        if (!associations) return;
        ++at;
        // Only the items the scan looks at keep their properties; the others are only passed over.
        const auto found = Items.find(*id);
        for (unsigned a = 0; a < *associations; ++a) {
            const auto index = wideIndex ? ipma.U16(at, true) : std::optional<uint16_t>(ipma.U8(at));
            if (!index) return;
            at += wideIndex ? 2 : 1;
            const uint16_t property = wideIndex ? (*index & 0x7fff) : (*index & 0x7f);
            if (found != Items.end() && found->second.Properties.size() < 64)
                found->second.Properties.push_back(property);
        }
    }
}

// How a picture item is coded: its own type, or for a grid its first tile's.
uint32_t TIsoScan::CodedType(const TItem& item) const {
    if (item.Type != FourCC("grid") || item.Derives.empty()) return item.Type;
    const auto tile = Items.find(item.Derives[0]);
    return tile == Items.end() ? item.Type : tile->second.Type;
}

// The item's bytes joined from its extents, at most kMaxBlockBytes.
std::string TIsoScan::ItemBytes(const TItem& item, bool& oneExtentInFile, uint64_t& fileOffset) {
    oneExtentInFile = false;
    std::string bytes;
    if (!item.Located || !InThisFile(item) || item.Method > 1) {
        Walker.Note("item whose bytes lie elsewhere (another file or item); not read");
        return bytes;
    }
    const TByteView idat(Idat);
    for (const TExtent& extent : item.Extents) {
        const uint64_t room = kMaxBlockBytes - bytes.size();
        if (room == 0) {
            Walker.Note("item larger than " + std::to_string(kMaxBlockBytes >> 20) + " MiB; cut there");
            break;
        }
        if (item.Method == 1) {
            if (!idat.Holds(extent.Offset, extent.Length)) Walker.Note("item past the end of its idat box");
            const TByteView part = idat.Clip(extent.Offset, extent.Length == 0 ? UINT64_MAX : extent.Length);
            bytes.append(part.Data().substr(0, static_cast<size_t>(std::min<uint64_t>(room, part.Size()))));
        } else {
            const uint64_t length = extent.Length == 0 ? UINT64_MAX : extent.Length;
            const std::string part = Walker.Read(extent.Offset, length, room);
            if (extent.Length != 0 && part.size() < std::min(length, room))
                Walker.Note("item past the end of the file");
            bytes += part;
        }
    }
    if (item.Method == 0 && item.Extents.size() == 1) {
        oneExtentInFile = true;
        fileOffset = item.Extents[0].Offset;
    }
    return bytes;
}

void TIsoScan::Resolve() {
    ReadAssociations(Associations);
    // A mif1 file whose primary picture is HEVC coded (alone or in tiles) is HEIC.
    if (Kind == EKind::Heif && HasPrimary) {
        const auto it = Items.find(Primary);
        if (it != Items.end()) {
            if (CodedType(it->second) == FourCC("hvc1")) {
                Kind = EKind::Heic;
                Out.Format = "HEIC";
            }
        }
    }

    const auto property = [&](uint16_t index) -> const TProperty* {
        return index >= 1 && index <= Properties.size() ? &Properties[index - 1u] : nullptr;
    };
    const auto size = [&](const TItem& item, uint32_t& width, uint32_t& height) {
        for (uint16_t index : item.Properties)
            if (const TProperty* p = property(index); p && p->Type == FourCC("ispe")) {
                const auto w = p->Payload.U32(4, true), h = p->Payload.U32(8, true);
                if (w && h) {
                    width = *w;
                    height = *h;
                }
                return;
            }
    };

    if (HasPrimary) {
        if (const auto it = Items.find(Primary); it != Items.end()) {
            const TItem& primary = it->second;
            size(primary, Out.Width, Out.Height);
            TOrientation orientation;
            for (uint16_t index : primary.Properties) {
                const TProperty* p = property(index);
                if (!p) continue;
                if (p->Type == FourCC("colr") && Out.Icc.empty()) {
                    const auto colourType = p->Payload.U32(0, true);
                    if (colourType == FourCC("prof") || colourType == FourCC("rICC")) {
                        const TByteView icc = p->Payload.Clip(4, kMaxBlockBytes);
                        Out.Icc = std::string(icc.Data());
                    }
                } else if (p->Type == FourCC("irot")) {
                    if (const auto angle = p->Payload.U8(0)) orientation.Rotate(*angle & 3);
                } else if (p->Type == FourCC("imir")) {
                    if (const auto axis = p->Payload.U8(0)) {
                        if (*axis & 1)
                            orientation.MirrorTopBottom(); // about the horizontal axis
                        else
                            orientation.MirrorLeftRight(); // about the vertical axis
                    }
                }
            }
            if (orientation.Any) Out.Orientation = orientation.Exif();
        }
    } else if (!Items.empty()) {
        Walker.Note("no primary item");
    }

    // Exif and XMP items, those describing the primary picture (or nothing in particular) first.
    std::vector<std::pair<int, uint32_t>> described;
    for (const auto& [id, item] : Items) {
        const bool exif = item.Type == FourCC("Exif");
        const bool xmp = item.Type == FourCC("mime") && item.ContentType == "application/rdf+xml";
        if (!exif && !xmp) continue;
        const bool forPrimary =
            item.Describes.empty() ||
            std::find(item.Describes.begin(), item.Describes.end(), Primary) != item.Describes.end();
        described.push_back({forPrimary ? 0 : 1, id});
    }
    std::stable_sort(described.begin(), described.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    uint64_t kept = 0;
    for (const auto& [rank, id] : described) {
        if (kept >= 4 * kMaxBlockBytes) {
            Walker.Note("too many metadata items; the rest are not read");
            break;
        }
        const TItem& item = Items[id];
        if ((item.Type == FourCC("mime") ? Out.Xmp.size() : Out.Exif.size()) >= boxes::kMaxBlocks) {
            Walker.Note("more metadata items than are kept; the rest are not read");
            continue;
        }
        bool inFile = false;
        uint64_t fileOffset = 0;
        const std::string bytes = ItemBytes(item, inFile, fileOffset);
        kept += bytes.size();
        if (item.Type == FourCC("mime")) {
            if (!bytes.empty()) boxes::AddXmp(Out, bytes);
            continue;
        }
        const auto tiff = boxes::TiffAfterOffset(bytes);
        if (!tiff) {
            if (!bytes.empty()) Walker.Note("Exif item without a TIFF header where its offset points");
            continue;
        }
        boxes::AddTiff(Out, bytes, *tiff, inFile ? fileOffset : TTiffStructure::kNotInFile, tgIFD0);
    }

    for (uint32_t id : Thumbnails) {
        const auto it = Items.find(id);
        if (it == Items.end()) continue;
        const TItem& item = it->second;
        TPreview preview;
        preview.Kind = "Thumbnail";
        const uint32_t type = CodedType(item);
        preview.Codec = type == FourCC("hvc1")   ? "HEVC"
                        : type == FourCC("av01") ? "AV1"
                        : type == FourCC("jpeg") ? "JPEG"
                                                 : "";
        if (item.Located && InThisFile(item) && item.Method == 0 && item.Extents.size() == 1 &&
            item.Extents[0].Length != 0) {
            const TExtent& extent = item.Extents[0];
            if (extent.Offset >= FileSize) {
                Walker.Note("thumbnail item past the end of the file");
            } else {
                if (extent.Length > FileSize - extent.Offset)
                    Walker.Note("thumbnail item past the end of the file");
                preview.Region = {extent.Offset, std::min(extent.Length, FileSize - extent.Offset)};
            }
        }
        size(item, preview.Width, preview.Height);
        Out.Previews.push_back(preview);
    }
}

// --- CR3 ---------------------------------------------------------------------------------------

void TIsoScan::ReadMovie(const TBox& box, int depth) {
    Walker.Walk(box.Payload, box.End, depth, [&](const TBox& child) {
        if (child.Type == FourCC("uuid") && child.Uuid == kCanonUuid) {
            ReadCanon(child, depth + 1);
        } else if (child.Type == FourCC("uuid") && child.Uuid == kXmpUuid) {
            boxes::AddXmp(Out, Walker.ReadPayload(child, "XMP box"));
        }
        return true;
    });
}

void TIsoScan::ReadCanon(const TBox& box, int depth) {
    Walker.Walk(box.Payload, box.End, depth, [&](const TBox& child) {
        static constexpr std::array<std::pair<uint32_t, TTagGroup>, 4> kTiffBoxes = {{
            {FourCC("CMT1"), tgIFD0},
            {FourCC("CMT2"), tgExifIFD},
            {FourCC("CMT3"), tgMakerNotes},
            {FourCC("CMT4"), tgGPS},
        }};
        for (const auto& [type, group] : kTiffBoxes)
            if (child.Type == type) {
                const std::string bytes = Walker.ReadPayload(child, boxes::TypeText(type) + " box");
                if (boxes::IsTiffHeader(bytes))
                    boxes::AddTiff(Out, bytes, 0, child.Payload, group);
                else
                    Walker.Note(boxes::TypeText(type) + " box without a TIFF header");
            }
        if (child.Type == FourCC("THMB")) AddCanonPicture(child, "THMB", 12, 16);
        return true;
    });
}

// THMB and PRVW: a small header with the picture's width and height (16-bit, at sizeAt from the box's
// start) and its JPEG's length (32-bit, at lengthAt), then the JPEG 24 bytes into the box.
void TIsoScan::AddCanonPicture(const TBox& box, const char* kind, uint64_t sizeAt, uint64_t lengthAt) {
    char header[24];
    if (box.End - box.Start < 24 || Walker.Source.ReadAt(box.Start, header, 24) != 24) {
        Walker.Note(std::string(kind) + " box too short");
        return;
    }
    const TByteView view(std::string_view(header, 24));
    TPreview preview;
    preview.Kind = kind;
    preview.Codec = "JPEG";
    preview.Width = *view.U16(sizeAt, true);
    preview.Height = *view.U16(sizeAt + 2, true);
    const uint64_t length = *view.U32(lengthAt, true);
    const uint64_t start = box.Start + 24, room = box.End - start;
    if (length > room) Walker.Note(std::string(kind) + " picture longer than its box; cut there");
    preview.Region = {start, std::min(length, room)};
    Out.Previews.push_back(preview);
}

} // namespace

bool ScanIsoBmff(TByteSource& source, uint64_t fileSize, TContainerScan& out) {
    try {
        TIsoScan scan(source, fileSize, out);
        return scan.Run();
    } catch (...) {
        // Only memory can run out here; what was found so far stays.
        if (out.Format.empty()) return false;
        out.Notes.push_back("scan stopped: out of memory");
        return true;
    }
}

} // namespace quillmark
