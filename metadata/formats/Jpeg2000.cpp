// JPEG 2000 (JP2, JPX, HTJ2K): the signature box, `ftyp`, the header superbox `jp2h` (size in `ihdr`,
// ICC profile in `colr`), and EXIF and XMP each in a `uuid` box of its own.
#include "Boxes.h"
#include "Scans.h"

#include <algorithm>

namespace quillmark {

namespace {

using boxes::FourCC;
using boxes::TBox;
using boxes::TBoxWalker;

constexpr std::string_view kSignature("\0\0\0\x0cjP  \x0d\x0a\x87\x0a", 12);
constexpr std::string_view kExifUuid("JpgTiffExif->JP2", 16);
constexpr std::string_view kXmpUuid("\xbe\x7a\xcf\xcb\x97\xa9\x42\xe8\x9c\x71\x99\x94\x91\xe3\xaf\xac", 16);

bool KnownBrand(TByteView ftyp) {
    const auto known = [](std::optional<uint32_t> b) {
        return b == FourCC("jp2 ") || b == FourCC("jpx ") || b == FourCC("jph ");
    };
    if (known(ftyp.U32(0, true))) return true;
    for (uint64_t at = 8; ftyp.Holds(at, 4); at += 4)
        if (known(ftyp.U32(at, true))) return true;
    return false;
}

void ReadHeader(TBoxWalker& walker, const TBox& jp2h, TContainerScan& out) {
    walker.Walk(jp2h.Payload, jp2h.End, 1, [&](const TBox& box) {
        if (box.Type == FourCC("ihdr")) {
            const std::string bytes = walker.Read(box.Payload, 8);
            const TByteView view(bytes);
            const auto height = view.U32(0, true), width = view.U32(4, true);
            if (height && width) {
                out.Height = *height;
                out.Width = *width;
            }
        } else if (box.Type == FourCC("colr") && out.Icc.empty()) {
            // method 2 (restricted ICC) or 3 (any ICC), precedence, approximation, then the profile
            const std::string method = walker.Read(box.Payload, 1);
            if ((method == "\x02" || method == "\x03") && box.PayloadSize() > 3) {
                if (box.PayloadSize() - 3 > kMaxBlockBytes) walker.Note("ICC profile cut at the block bound");
                out.Icc = walker.Read(box.Payload + 3, box.PayloadSize() - 3);
            }
        }
        return true;
    });
}

} // namespace

bool ScanJpeg2000(TByteSource& source, uint64_t fileSize, TContainerScan& out) {
    try {
        char head[12];
        if (source.ReadAt(0, head, sizeof head) != sizeof head || std::string_view(head, 12) != kSignature)
            return false;
        TBoxWalker walker(source, fileSize, out);
        const std::optional<TBox> ftyp = walker.ReadHeader(kSignature.size(), fileSize);
        if (!ftyp || ftyp->Type != FourCC("ftyp") ||
            !KnownBrand(TByteView(walker.Read(ftyp->Payload, ftyp->PayloadSize(), 4096))))
            return false;
        out.Format = "JP2";
        walker.Walk(ftyp->End, fileSize, 0, [&](const TBox& box) {
            if (box.Type == FourCC("jp2h")) {
                ReadHeader(walker, box, out);
            } else if (box.Type == FourCC("uuid") && box.Uuid == kExifUuid) {
                const std::string bytes = walker.ReadPayload(box, "EXIF box");
                // Some writers put JPEG's "Exif\0\0" before the TIFF header.
                const uint64_t at =
                    std::string_view(bytes).substr(0, 6) == std::string_view("Exif\0\0", 6) ? 6 : 0;
                if (!boxes::IsTiffHeader(std::string_view(bytes).substr(static_cast<size_t>(at))))
                    walker.Note("EXIF box without a TIFF header");
                else
                    boxes::AddTiff(out, bytes, at, box.Payload, tgIFD0);
            } else if (box.Type == FourCC("uuid") && box.Uuid == kXmpUuid) {
                boxes::AddXmp(out, walker.ReadPayload(box, "XMP box"));
            } else if (box.Type == FourCC("xml ")) {
                // Some writers keep XMP in an XML box; other XML (GML, for one) stays out.
                std::string xml = walker.ReadPayload(box, "XML box");
                if (xml.find("<x:xmpmeta") != std::string::npos || xml.find("<?xpacket") != std::string::npos)
                    boxes::AddXmp(out, std::move(xml));
            }
            return true;
        });
        return true;
    } catch (...) {
        if (out.Format.empty()) return false;
        out.Notes.push_back("scan stopped: out of memory");
        return true;
    }
}

} // namespace quillmark
