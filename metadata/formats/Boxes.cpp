#include "Boxes.h"

#include <algorithm>

namespace quillmark::boxes {

namespace {
// Notes a scan keeps: enough to say what went wrong, never one per box of a hostile file.
constexpr size_t kMaxNotes = 32;
} // namespace

std::string TypeText(uint32_t type) {
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<char>(type >> (24 - 8 * i) & 0xff);
        if (c >= 0x20 && c < 0x7f) text[static_cast<size_t>(i)] = c;
    }
    return text;
}

std::optional<uint64_t> U64(TByteView view, uint64_t offset) {
    const auto high = view.U32(offset, true);
    if (!high || offset > UINT64_MAX - 4) return std::nullopt;
    const auto low = view.U32(offset + 4, true);
    if (!low) return std::nullopt;
    return uint64_t{*high} << 32 | *low;
}

std::optional<uint64_t> ReadSized(TByteView view, uint64_t offset, unsigned size) {
    switch (size) {
    case 0:
        return 0;
    case 4:
        if (const auto v = view.U32(offset, true)) return *v;
        return std::nullopt;
    case 8:
        return U64(view, offset);
    default:
        return std::nullopt;
    }
}

void TBoxWalker::Note(std::string text) {
    if (Out.Notes.size() >= kMaxNotes) return;
    if (std::find(Out.Notes.begin(), Out.Notes.end(), text) != Out.Notes.end()) return;
    Out.Notes.push_back(std::move(text));
}

std::optional<TBox> TBoxWalker::ReadHeader(uint64_t offset, uint64_t end) {
    if (offset >= end) return std::nullopt;
    const uint64_t room = end - offset;
    char header[32];
    const auto want = static_cast<size_t>(std::min<uint64_t>(room, 32));
    const size_t got = Source.ReadAt(offset, header, want);
    const TByteView view(std::string_view(header, got));
    const auto size32 = view.U32(0, true), type = view.U32(4, true);
    if (!size32 || !type) {
        Note(got < want ? "box header past the end of the file" : "bytes after the last box");
        return std::nullopt;
    }
    TBox box;
    box.Type = *type;
    box.Start = offset;
    uint64_t size = *size32, headerSize = 8;
    if (size == 1) {
        const auto large = U64(view, 8);
        if (!large) {
            Note("box header past the end of the file");
            return std::nullopt;
        }
        size = *large;
        headerSize = 16;
    } else if (size == 0) {
        size = room;
    }
    if (box.Type == FourCC("uuid")) {
        const auto name = view.Sub(headerSize, 16);
        if (!name) {
            Note("uuid box too short for its name");
            return std::nullopt;
        }
        box.Uuid = std::string(name->Data());
        headerSize += 16;
    }
    if (size < headerSize) {
        Note(TypeText(box.Type).append(" box smaller than its header; the boxes after it are not read"));
        return std::nullopt;
    }
    box.Payload = offset + headerSize; // headerSize <= 32 and got >= headerSize: inside the source
    if (size > room) {
        Note(TypeText(box.Type)
                 .append(end >= SourceSize && !Nested ? " box past the end of the file"
                                                      : " box past the end of its parent box")
                 .append("; read as far as it goes"));
        box.End = end;
    } else {
        box.End = offset + size;
    }
    return box;
}

std::string TBoxWalker::Read(uint64_t offset, uint64_t length, uint64_t limit) {
    std::string bytes;
    if (offset >= SourceSize) return bytes;
    length = std::min({length, limit, SourceSize - offset});
    bytes.resize(static_cast<size_t>(length));
    bytes.resize(Source.ReadAt(offset, bytes.data(), bytes.size()));
    return bytes;
}

std::string TBoxWalker::ReadPayload(const TBox& box, std::string_view what) {
    if (box.PayloadSize() > kMaxBlockBytes)
        Note(std::string(what) + " larger than " + std::to_string(kMaxBlockBytes >> 20) + " MiB; cut there");
    return Read(box.Payload, box.PayloadSize());
}

bool IsTiffHeader(std::string_view bytes) {
    return bytes.size() >= 8 && (bytes.substr(0, 4) == std::string_view("II*\0", 4) ||
                                 bytes.substr(0, 4) == std::string_view("MM\0*", 4));
}

std::optional<uint64_t> TiffAfterOffset(std::string_view bytes) {
    const TByteView view(bytes);
    const auto skip = view.U32(0, true);
    if (!skip || !view.Holds(4, *skip)) return std::nullopt;
    const uint64_t at = 4 + uint64_t{*skip};
    if (IsTiffHeader(bytes.substr(static_cast<size_t>(at)))) return at;
    // Some writers give an offset of 0 and still put JPEG's "Exif\0\0" before the TIFF header.
    if (bytes.size() > 10 && bytes.substr(4, 6) == std::string_view("Exif\0\0", 6) &&
        IsTiffHeader(bytes.substr(10)))
        return 10;
    return std::nullopt;
}

namespace {
void TooMany(TContainerScan& out, const char* what) {
    const std::string text =
        std::string("more than ") + std::to_string(kMaxBlocks) + " " + what + "; the rest are not read";
    if (std::find(out.Notes.begin(), out.Notes.end(), text) == out.Notes.end() &&
        out.Notes.size() < kMaxNotes)
        out.Notes.push_back(text);
}
} // namespace

void AddXmp(TContainerScan& out, std::string bytes) {
    if (out.Xmp.size() >= kMaxBlocks) return TooMany(out, "XMP packets");
    out.Xmp.push_back(std::move(bytes));
}

void AddTiff(TContainerScan& out, std::string_view bytes, uint64_t at, uint64_t fileOffset, TTagGroup group) {
    if (at >= bytes.size()) return;
    if (out.Exif.size() >= kMaxBlocks) return TooMany(out, "EXIF blocks");
    TTiffStructure tiff;
    tiff.Bytes = std::string(bytes.substr(static_cast<size_t>(at)));
    tiff.FileOffset = fileOffset == TTiffStructure::kNotInFile || fileOffset > UINT64_MAX - at
                          ? TTiffStructure::kNotInFile
                          : fileOffset + at;
    tiff.Group = group;
    out.Exif.push_back(std::move(tiff));
}

} // namespace quillmark::boxes
