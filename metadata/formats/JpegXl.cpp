// JPEG XL: a bare codestream (FF 0A) or the box container, whose metadata lies in `Exif` and `xml `
// boxes, or in `brob` boxes holding either of them Brotli-compressed. The picture's size comes from the
// codestream's first bytes (its SizeHeader), found in `jxlc` or the first `jxlp` box.
#include "Boxes.h"
#include "Scans.h"

#include <brotli/decode.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace quillmark {

namespace {

using boxes::FourCC;
using boxes::TBox;
using boxes::TBoxWalker;

constexpr std::string_view kSignature("\0\0\0\x0cJXL \x0d\x0a\x87\x0a", 12);
// Bytes decompressed from all brob boxes of a file together.
constexpr uint64_t kMaxInflatedBytes = 4 * kMaxBlockBytes;

// The codestream's bits, least significant first.
class TBits {
public:
    explicit TBits(TByteView bytes) : Bytes(bytes) {}
    std::optional<uint32_t> Read(unsigned count) {
        uint32_t value = 0;
        for (unsigned i = 0; i < count; ++i, ++Position) {
            const auto byte = Bytes.U8(Position / 8);
            if (!byte) return std::nullopt;
            value |= static_cast<uint32_t>(*byte >> (Position % 8) & 1) << i;
        }
        return value;
    }

private:
    TByteView Bytes;
    uint64_t Position = 0;
};

// A dimension as the SizeHeader codes it: two bits choose 9, 13, 18 or 30 bits of (value - 1).
std::optional<uint64_t> ReadDimension(TBits& bits) {
    static constexpr unsigned kWidths[4] = {9, 13, 18, 30};
    const auto selector = bits.Read(2);
    if (!selector) return std::nullopt;
    const auto value = bits.Read(kWidths[*selector]);
    if (!value) return std::nullopt;
    return uint64_t{*value} + 1;
}

// Width and height from a codestream's first bytes (FF 0A, then the SizeHeader).
void ReadSizeHeader(std::string_view codestream, TContainerScan& out) {
    if (codestream.size() < 2 || codestream.substr(0, 2) != "\xff\x0a") return;
    TBits bits(TByteView(codestream.substr(2)));
    const auto small = bits.Read(1);
    if (!small) return;
    std::optional<uint64_t> height, width;
    std::optional<uint32_t> ratio;
    if (*small) {
        if (const auto h = bits.Read(5)) height = (uint64_t{*h} + 1) * 8;
        ratio = bits.Read(3);
        if (height && ratio && *ratio == 0)
            if (const auto w = bits.Read(5)) width = (uint64_t{*w} + 1) * 8;
    } else {
        height = ReadDimension(bits);
        ratio = bits.Read(3);
        if (height && ratio && *ratio == 0) width = ReadDimension(bits);
    }
    if (!height || !ratio) return;
    static constexpr uint64_t kRatios[8][2] = {{0, 1}, {1, 1},  {12, 10}, {4, 3},
                                               {3, 2}, {16, 9}, {5, 4},   {2, 1}};
    if (*ratio != 0) width = *height * kRatios[*ratio][0] / kRatios[*ratio][1];
    if (!width || *width > UINT32_MAX) return;
    out.Width = static_cast<uint32_t>(*width);
    out.Height = static_cast<uint32_t>(*height);
}

class TJxlScan {
public:
    TJxlScan(TByteSource& source, uint64_t fileSize, TContainerScan& out)
        : Walker(source, fileSize, out), Out(out) {}

    void Run(uint64_t fileSize) {
        Walker.Walk(kSignature.size(), fileSize, 0, [&](const TBox& box) {
            Visit(box);
            return true;
        });
    }

private:
    void Visit(const TBox& box) {
        switch (box.Type) {
        case FourCC("ftyp"):
            if (Walker.Read(box.Payload, 4) != "jxl ") Walker.Note("ftyp box without the brand 'jxl '");
            break;
        case FourCC("Exif"):
        case FourCC("xml "):
            Keep(box.Type, Walker.ReadPayload(box, boxes::TypeText(box.Type) + " box"), box.Payload);
            break;
        case FourCC("brob"):
            Inflate(box);
            break;
        case FourCC("jxlc"):
        case FourCC("jxlp"):
            if (!SawCodestream) {
                SawCodestream = true;
                const uint64_t skip = box.Type == FourCC("jxlp") ? 4 : 0; // jxlp: its index first
                if (box.PayloadSize() > skip) ReadSizeHeader(Walker.Read(box.Payload + skip, 16), Out);
            }
            break;
        default:
            break;
        }
    }

    // An Exif or XMP block, at `fileOffset` in the file (or nowhere when decompressed).
    void Keep(uint32_t type, const std::string& bytes, uint64_t fileOffset) {
        if (type == FourCC("xml ")) {
            boxes::AddXmp(Out, bytes);
            return;
        }
        const auto tiff = boxes::TiffAfterOffset(bytes);
        if (!tiff) {
            Walker.Note("Exif box without a TIFF header where its offset points");
            return;
        }
        boxes::AddTiff(Out, bytes, *tiff, fileOffset, tgIFD0);
    }

    // A brob box: the real box type, then a Brotli stream of its payload. Only Exif and XMP are
    // decompressed, read from the file a piece at a time, and never past kMaxBlockBytes.
    void Inflate(const TBox& box) {
        const std::string type = Walker.Read(box.Payload, 4);
        if (type.size() < 4) {
            Walker.Note("brob box too short for its type");
            return;
        }
        const uint32_t realType = *TByteView(type).U32(0, true);
        if (realType != FourCC("Exif") && realType != FourCC("xml ")) return;
        if (Inflated >= kMaxInflatedBytes) {
            Walker.Note("brob boxes decompressed past the file's bound; the rest are not read");
            return;
        }
        const std::unique_ptr<BrotliDecoderState, void (*)(BrotliDecoderState*)> decoder(
            BrotliDecoderCreateInstance(nullptr, nullptr, nullptr), BrotliDecoderDestroyInstance);
        if (!decoder) return;
        const uint64_t begin = box.Payload + 4, length = std::min<uint64_t>(box.End - begin, kMaxBlockBytes);
        const uint64_t bound = std::min(kMaxBlockBytes, kMaxInflatedBytes - Inflated);
        std::string out, input(static_cast<size_t>(std::min<uint64_t>(length, 64 << 10)), '\0');
        uint64_t consumed = 0;
        size_t available = 0;
        const uint8_t* next = nullptr;
        std::string piece(64 << 10, '\0');
        for (;;) {
            if (available == 0 && consumed < length) {
                const size_t want = static_cast<size_t>(std::min<uint64_t>(input.size(), length - consumed));
                available = Walker.Source.ReadAt(begin + consumed, input.data(), want);
                consumed += available;
                if (available < want) consumed = length; // the file ended
                next = reinterpret_cast<const uint8_t*>(input.data());
            }
            size_t room = piece.size();
            auto* into = reinterpret_cast<uint8_t*>(piece.data());
            const BrotliDecoderResult result =
                BrotliDecoderDecompressStream(decoder.get(), &available, &next, &room, &into, nullptr);
            const size_t produced = piece.size() - room;
            if (produced > bound - out.size()) {
                Inflated += bound;
                Walker.Note("brob box decompresses past " + std::to_string(bound >> 20) + " MiB; not read");
                return;
            }
            out.append(piece.data(), produced);
            if (result == BROTLI_DECODER_RESULT_SUCCESS) break;
            if (result == BROTLI_DECODER_RESULT_ERROR ||
                (result == BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT && available == 0 && consumed >= length)) {
                Walker.Note("brob box holds a broken Brotli stream; not read");
                Inflated += out.size();
                return;
            }
        }
        Inflated += out.size();
        Keep(realType, out, TTiffStructure::kNotInFile);
    }

    TBoxWalker Walker;
    TContainerScan& Out;
    bool SawCodestream = false;
    uint64_t Inflated = 0;
};

} // namespace

bool ScanJpegXl(TByteSource& source, uint64_t fileSize, TContainerScan& out) {
    try {
        char head[12];
        const size_t got = source.ReadAt(0, head, sizeof head);
        const std::string_view first(head, got);
        if (got >= 2 && first.substr(0, 2) == "\xff\x0a") {
            out.Format = "JXL";
            char codestream[16];
            ReadSizeHeader(std::string_view(codestream, source.ReadAt(0, codestream, sizeof codestream)),
                           out);
            return true;
        }
        if (first != kSignature) return false;
        out.Format = "JXL";
        TJxlScan(source, fileSize, out).Run(fileSize);
        return true;
    } catch (...) {
        if (out.Format.empty()) return false;
        out.Notes.push_back("scan stopped: out of memory");
        return true;
    }
}

} // namespace quillmark
