// PNG: a signature, then chunks of a 4-byte big-endian length, a type, the data and a CRC. Metadata
// lives in eXIf, iCCP and the text chunks (XMP in iTXt, and the "Raw profile type" hex texts
// ImageMagick writes); a camera or editor may put them after the picture data, so the walk goes on to
// IEND, stepping over IDAT without reading it.
#include "ScanSupport.h"
#include "Scans.h"

#include "../ByteView.h"

#include <zlib.h>

#include <algorithm>
#include <exception>
#include <utility>

namespace quillmark {

namespace {

using namespace scans;

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
constexpr std::string_view kExifPrefix("Exif\0\0", 6);
constexpr std::string_view kXmpKeyword = "XML:com.adobe.xmp";
constexpr std::string_view kXmpNamespace("http://ns.adobe.com/xap/1.0/\0", 29);
// What all the compressed chunks of one file may inflate to together: a few bombs must not cost a
// gigabyte of work even though each stays under kMaxBlockBytes.
constexpr uint64_t kInflateBudget = 4 * kMaxBlockBytes;
constexpr int kMaxPictureChunks = 250000;

struct TPngScan {
    TContainerScan& Out;
    uint64_t InflateLeft = kInflateBudget;

    // A zlib stream inflated whole, or nothing when it is damaged or would pass the bound (the part
    // of a cut profile or packet is of no use to anyone).
    std::optional<std::string> Inflate(std::string_view compressed, const char* what) {
        if (InflateLeft == 0) {
            Note(Out, std::string(what) + " not inflated: the file's compressed chunks passed " +
                          std::to_string(kInflateBudget) + " bytes");
            return std::nullopt;
        }
        const uint64_t limit = std::min<uint64_t>(kMaxBlockBytes, InflateLeft);
        z_stream z{};
        if (inflateInit(&z) != Z_OK) return std::nullopt;
        std::string out;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
        z.avail_in = static_cast<uInt>(compressed.size());
        char buffer[16384];
        int status = Z_OK;
        bool tooLarge = false;
        while (status == Z_OK) {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            status = inflate(&z, Z_NO_FLUSH);
            const size_t produced = sizeof buffer - z.avail_out;
            if (out.size() + produced > limit) {
                tooLarge = true;
                break;
            }
            out.append(buffer, produced);
            if (status == Z_BUF_ERROR && z.avail_in == 0) break; // input ended before the stream did
        }
        inflateEnd(&z);
        InflateLeft -= std::min<uint64_t>(InflateLeft, out.size());
        if (tooLarge) {
            Note(Out, std::string(what) + " inflates past " + std::to_string(limit) + " bytes: not kept");
            return std::nullopt;
        }
        if (status != Z_STREAM_END) {
            Note(Out, std::string(what) + " is not a whole zlib stream: not kept");
            return std::nullopt;
        }
        return out;
    }

    void AddExif(std::string_view bytes, uint64_t fileOffset, const char* what) {
        if (bytes.substr(0, kExifPrefix.size()) == kExifPrefix) {
            bytes.remove_prefix(kExifPrefix.size());
            if (fileOffset != TTiffStructure::kNotInFile) fileOffset += kExifPrefix.size();
        }
        if (!IsTiffHeader(bytes)) {
            Note(Out, std::string(what) + " holds no TIFF header");
            return;
        }
        Out.Exif.push_back({std::string(bytes), fileOffset, tgIFD0});
    }

    // IPTC as ImageMagick keeps it: either the datasets themselves or Photoshop's image resources,
    // of which 0x0404 holds them.
    void AddIptc(std::string_view bytes) {
        if (bytes.substr(0, 4) != "8BIM") {
            if (Out.Iptc.empty()) Out.Iptc = bytes;
            return;
        }
        const TByteView v(bytes);
        uint64_t pos = 0;
        for (int count = 0; count < kMaxBoxes && v.Holds(pos, 8); ++count) {
            if (v.Data().substr(static_cast<size_t>(pos), 4) != "8BIM") break;
            const uint16_t id = *v.U16(pos + 4, true);
            const uint64_t nameSpan = (1 + static_cast<uint64_t>(*v.U8(pos + 6)) + 1) & ~uint64_t{1};
            const auto size = v.U32(pos + 6 + nameSpan, true);
            if (!size) break;
            const uint64_t data = pos + 6 + nameSpan + 4;
            const TByteView body = v.Clip(data, *size);
            if (id == 0x0404) {
                if (Out.Iptc.empty()) Out.Iptc = body.Data();
                return;
            }
            if (*size > v.Size() - std::min<uint64_t>(data, v.Size())) break;
            pos = data + *size + (*size & 1);
        }
        Note(Out, "raw IPTC profile holds no IPTC resource");
    }

    // "\n<name>\n<spaces><decimal length>\n<hex digits, broken into lines>"
    std::optional<std::string> DecodeRawProfile(std::string_view text) {
        size_t i = 0;
        while (i < text.size() && text[i] == '\n')
            ++i;
        while (i < text.size() && text[i] != '\n')
            ++i; // the profile's name
        while (i < text.size() && (text[i] == '\n' || text[i] == ' '))
            ++i;
        uint64_t length = 0;
        bool digits = false;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            length = length * 10 + static_cast<uint64_t>(text[i] - '0');
            digits = true;
            if (length > kMaxBlockBytes) {
                Note(Out, "raw profile larger than " + std::to_string(kMaxBlockBytes) + " bytes: not read");
                return std::nullopt;
            }
            ++i;
        }
        if (!digits) {
            Note(Out, "raw profile text without its length");
            return std::nullopt;
        }
        std::string bytes;
        bytes.reserve(static_cast<size_t>(std::min<uint64_t>(length, text.size() / 2)));
        int high = -1;
        for (; i < text.size() && bytes.size() < length; ++i) {
            const char c = text[i];
            int nibble;
            if (c >= '0' && c <= '9')
                nibble = c - '0';
            else if (c >= 'a' && c <= 'f')
                nibble = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                nibble = c - 'A' + 10;
            else
                continue; // line breaks and blanks between the digits
            if (high < 0) {
                high = nibble;
            } else {
                bytes.push_back(static_cast<char>(high << 4 | nibble));
                high = -1;
            }
        }
        if (bytes.size() < length)
            Note(Out, "raw profile holds " + std::to_string(bytes.size()) + " of the " +
                          std::to_string(length) + " bytes it announces");
        return bytes;
    }

    // A text whose keyword says what it holds; other keywords are the file's own captions.
    void TakeText(std::string_view keyword, std::string_view text) {
        if (keyword == kXmpKeyword) {
            Out.Xmp.emplace_back(text);
            return;
        }
        constexpr std::string_view kRaw = "Raw profile type ";
        if (keyword.substr(0, kRaw.size()) == kRaw) {
            const std::string_view kind = keyword.substr(kRaw.size());
            const auto bytes = DecodeRawProfile(text);
            if (!bytes) return;
            const std::string_view b = *bytes;
            if (kind == "exif" || (kind == "APP1" && b.substr(0, kExifPrefix.size()) == kExifPrefix))
                AddExif(b, TTiffStructure::kNotInFile, "raw EXIF profile");
            else if (kind == "xmp")
                Out.Xmp.emplace_back(b);
            else if (kind == "APP1" && b.substr(0, kXmpNamespace.size()) == kXmpNamespace)
                Out.Xmp.emplace_back(b.substr(kXmpNamespace.size()));
            else if (kind == "iptc" || kind == "8bim")
                AddIptc(b);
            else if ((kind == "icc" || kind == "icm") && Out.Icc.empty())
                Out.Icc = b;
            else
                Note(Out, "raw profile \"" + std::string(kind) + "\" not read");
            return;
        }
        if ((keyword == "Comment" || keyword == "comment") && Out.Comment.empty()) Out.Comment = text;
    }

    void TextChunk(std::string_view type, std::string_view data) {
        const size_t zero = data.find('\0');
        if (zero == std::string_view::npos || zero == 0 || zero > 79) {
            Note(Out, std::string(type) + " chunk without a keyword");
            return;
        }
        const std::string_view keyword = data.substr(0, zero);
        std::string_view rest = data.substr(zero + 1);
        if (type == "tEXt") {
            TakeText(keyword, rest);
            return;
        }
        const bool wanted = keyword == kXmpKeyword || keyword.substr(0, 17) == "Raw profile type " ||
                            keyword == "Comment" || keyword == "comment";
        if (type == "zTXt") {
            if (!wanted) return;
            if (rest.empty() || rest[0] != 0) {
                Note(Out, "zTXt chunk with an unknown compression");
                return;
            }
            if (const auto text = Inflate(rest.substr(1), "zTXt chunk")) TakeText(keyword, *text);
            return;
        }
        // iTXt: compression flag and method, language tag, translated keyword, then the text.
        if (rest.size() < 2) return;
        const bool compressed = rest[0] != 0;
        const bool deflate = rest[1] == 0;
        rest.remove_prefix(2);
        for (int skip = 0; skip < 2; ++skip) {
            const size_t end = rest.find('\0');
            if (end == std::string_view::npos) {
                Note(Out, "iTXt chunk cut short");
                return;
            }
            rest.remove_prefix(end + 1);
        }
        if (!wanted) return;
        if (!compressed) {
            TakeText(keyword, rest);
        } else if (!deflate) {
            Note(Out, "iTXt chunk with an unknown compression");
        } else if (const auto text = Inflate(rest, "iTXt chunk")) {
            TakeText(keyword, *text);
        }
    }

    void IccChunk(std::string_view data) {
        const size_t zero = data.find('\0');
        if (zero == std::string_view::npos || zero + 1 >= data.size() || data[zero + 1] != 0) {
            Note(Out, "iCCP chunk with no profile name or an unknown compression");
            return;
        }
        if (!Out.Icc.empty()) return;
        if (auto profile = Inflate(data.substr(zero + 2), "iCCP chunk")) Out.Icc = std::move(*profile);
    }

    void Walk(TByteSource& source, uint64_t fileSize) {
        uint64_t pos = kSignature.size();
        bool sawEnd = false;
        // Encoders cut the picture data into IDAT chunks of a few kilobytes, so a large picture has tens
        // of thousands of them before a late eXIf; they have a bound of their own.
        int count = 0, pictureChunks = 0;
        for (;;) {
            if (count >= kMaxBoxes || pictureChunks >= kMaxPictureChunks) {
                Note(Out,
                     "more than " + std::to_string(count + pictureChunks) + " chunks: the rest not read");
                return;
            }
            if (pos >= fileSize) break;
            const std::string header = ReadSome(source, pos, 8);
            const TByteView h(header);
            if (!h.Holds(0, 8)) {
                Note(Out, "chunk header cut short at offset " + std::to_string(pos));
                return;
            }
            const uint64_t length = *h.U32(0, true);
            const std::string_view type = h.Data().substr(4, 4);
            const uint64_t data = pos + 8;
            if (length > fileSize - std::min(fileSize, data)) {
                Note(Out, std::string(type) + " chunk at offset " + std::to_string(pos) +
                              " runs past the end of the file");
                return;
            }
            if (type == "IEND") {
                sawEnd = true;
                break;
            }
            ++(type == "IDAT" ? pictureChunks : count);
            const bool text = type == "tEXt" || type == "zTXt" || type == "iTXt";
            const bool wanted = text || type == "IHDR" || type == "eXIf" || type == "iCCP";
            if (wanted && length > kMaxBlockBytes) {
                Note(Out, std::string(type) + " chunk of " + std::to_string(length) + " bytes: not read");
            } else if (wanted) {
                const std::string bytes = ReadSome(source, data, length);
                if (type == "IHDR") {
                    const TByteView v(bytes);
                    if (Out.Width == 0 && v.Holds(0, 8)) {
                        Out.Width = *v.U32(0, true);
                        Out.Height = *v.U32(4, true);
                    }
                } else if (type == "eXIf") {
                    AddExif(bytes, data, "eXIf chunk");
                } else if (type == "iCCP") {
                    IccChunk(bytes);
                } else {
                    TextChunk(type, bytes);
                }
            }
            // The CRC may be missing after the last chunk of a cut file; the next header read says so.
            pos = data + length + 4;
        }
        if (!sawEnd) Note(Out, "no IEND chunk");
    }
};

} // namespace

bool ScanPng(TByteSource& source, uint64_t fileSize, TContainerScan& out) {
    try {
        if (ReadSome(source, 0, kSignature.size()) != kSignature) return false;
        out.Format = "PNG";
        TPngScan{out}.Walk(source, fileSize);
    } catch (const std::exception& e) {
        NoteStop(out, "PNG", e);
    }
    return true;
}

} // namespace quillmark
