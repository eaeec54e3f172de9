// Canon CRW: Canon's CIFF heap after a short header ("II" or "MM", the header's length, "HEAPCCDR").
// A heap ends with the offset of its record table: a 16-bit count, then 10-byte records of a tag, a
// size and an offset inside the heap. The tag's top two bits say whether the data lies in the heap
// or in the record's own eight bytes; bits 11-13 give its type, and types 0x2800 and 0x3000 are heaps
// of their own. The photo's facts are kept as the EXIF fields that mean the same; previews are
// regions of the file. Canon's editor may add a trailer holding XMP after the heap.
#include "ScanSupport.h"
#include "Scans.h"

#include "../ByteView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <utility>

namespace quillmark {

namespace {

using namespace scans;

constexpr std::string_view kTrailerMark("CANON OPTIONAL DATA\0", 20);
constexpr uint16_t kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kSRational = 10;

std::string BigEndian(uint64_t value, int bytes) {
    std::string b;
    for (int i = bytes - 1; i >= 0; --i)
        b.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
    return b;
}

// The civil date of a count of days since 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(int64_t days, int64_t& y, unsigned& m, unsigned& d) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

// Canon's exposure steps: 1/32 EV units, where a third of a stop is written as 12 and two thirds as 20.
double CanonEv(int16_t raw) {
    const int sign = raw < 0 ? -1 : 1;
    int value = raw < 0 ? -static_cast<int>(raw) : raw;
    const int fraction = value & 0x1F;
    value -= fraction;
    double step = fraction;
    if (fraction == 0x0C)
        step = 32.0 / 3;
    else if (fraction == 0x14)
        step = 64.0 / 3;
    return sign * (value + step) / 32;
}

struct TRecord {
    uint16_t Id = 0;     // the tag without its storage bits
    uint64_t Offset = 0; // where its data lies in the file
    uint64_t Size = 0;
};

struct TCrwScan {
    TCrwScan(TByteSource& source, TContainerScan& out) : Source(source), Out(out) {}

    TByteSource& Source;
    TContainerScan& Out;
    bool BigEndianFile = false;
    int Records = 0;
    bool Stopped = false;

    std::string MakeModel, ShotInfo, CameraSettings, ImageInfo, TimeStamp, ExposureInfo, RawJpgInfo;
    std::optional<uint16_t> BaseIso;

    std::optional<uint16_t> U16(std::string_view b, uint64_t at) const {
        return TByteView(b).U16(at, BigEndianFile);
    }
    std::optional<uint32_t> U32(std::string_view b, uint64_t at) const {
        return TByteView(b).U32(at, BigEndianFile);
    }
    std::string Small(const TRecord& r, uint64_t limit) {
        return ReadSome(Source, r.Offset, std::min(r.Size, limit));
    }

    void Heap(uint64_t start, uint64_t length, int depth) {
        if (Stopped) return;
        if (length < 6) {
            Note(Out, "CIFF heap at offset " + std::to_string(start) + " too short for its table");
            return;
        }
        const auto tableOffset = U32(ReadSome(Source, start + length - 4, 4), 0);
        if (!tableOffset || *tableOffset > length - 6) {
            Note(Out, "CIFF heap at offset " + std::to_string(start) + " has no record table");
            return;
        }
        const uint64_t table = start + *tableOffset;
        const auto count = U16(ReadSome(Source, table, 2), 0);
        if (!count) return;
        const uint64_t room = (length - 4 - *tableOffset - 2) / 10;
        uint64_t n = *count;
        if (n > room) {
            Note(Out, "CIFF table at offset " + std::to_string(table) + " claims " + std::to_string(n) +
                          " records; room for " + std::to_string(room));
            n = room;
        }
        // Read a few records at a time: heaps may overlap, and a table of thousands of records is read
        // no further than the records looked at.
        std::string records;
        uint64_t first = 0;
        for (uint64_t i = 0; i < n; ++i) {
            if (i - first >= records.size() / 10) {
                first = i;
                records = ReadSome(Source, table + 2 + i * 10, std::min<uint64_t>(n - i, 64) * 10);
                if (records.size() < 10) return;
            }
            if (++Records > kMaxBoxes) {
                Note(Out, "more than " + std::to_string(kMaxBoxes) + " CIFF records: the rest not read");
                Stopped = true;
                return;
            }
            const uint64_t at = (i - first) * 10;
            const uint16_t tag = *U16(records, at);
            const uint32_t size = *U32(records, at + 2), offset = *U32(records, at + 6);
            const uint16_t location = tag & 0xC000, type = tag & 0x3800;
            TRecord r{static_cast<uint16_t>(tag & 0x3FFF), 0, 0};
            if (location == 0x4000) {
                r.Offset = table + 2 + i * 10 + 2;
                r.Size = 8;
            } else if (location == 0) {
                // The data lies in the heap, before its table.
                if (offset > *tableOffset || size > *tableOffset - offset) {
                    Note(Out, "CIFF record outside its heap at offset " + std::to_string(table + 2 + i * 10));
                    continue;
                }
                r.Offset = start + offset;
                r.Size = size;
            } else {
                continue;
            }
            if (type == 0x2800 || type == 0x3000) {
                if (location != 0) continue;
                if (depth + 1 >= kMaxBoxDepth) {
                    Note(Out, "CIFF heaps nested deeper than " + std::to_string(kMaxBoxDepth) + ": not read");
                    continue;
                }
                Heap(r.Offset, r.Size, depth + 1);
                if (Stopped) return;
                continue;
            }
            Record(r);
        }
    }

    void Record(const TRecord& r) {
        switch (r.Id) {
        case 0x080A:
            if (MakeModel.empty()) MakeModel = Small(r, 256);
            break;
        case 0x102A:
            if (ShotInfo.empty()) ShotInfo = Small(r, 128);
            break;
        case 0x102D:
            if (CameraSettings.empty()) CameraSettings = Small(r, 128);
            break;
        case 0x1810:
            if (ImageInfo.empty()) ImageInfo = Small(r, 16);
            break;
        case 0x180E:
            if (TimeStamp.empty()) TimeStamp = Small(r, 4);
            break;
        case 0x1818:
            if (ExposureInfo.empty()) ExposureInfo = Small(r, 12);
            break;
        case 0x10B5:
            if (RawJpgInfo.empty()) RawJpgInfo = Small(r, 10);
            break;
        case 0x101C:
            if (!BaseIso) BaseIso = U16(Small(r, 2), 0);
            break;
        case 0x2007:
        case 0x2008: {
            const std::string kind = r.Id == 0x2007 ? "JpgFromRaw" : "Thumbnail";
            for (const TPreview& p : Out.Previews)
                if (p.Kind == kind) return;
            const bool jpeg = ReadSome(Source, r.Offset, 2) == "\xFF\xD8";
            Out.Previews.push_back({kind, jpeg ? "JPEG" : "", {r.Offset, r.Size}, 0, 0});
            break;
        }
        default:
            break;
        }
    }

    void Field(TTagGroup group, uint16_t tag, uint16_t type, std::string bytes) {
        Out.Fields.push_back({group, tag, type, std::move(bytes)});
    }

    static std::string Rational(uint32_t numerator, uint32_t denominator) {
        return BigEndian(numerator, 4) + BigEndian(denominator, 4);
    }

    // Element i of one of Canon's arrays of 16-bit numbers, whose element 0 is the array's size.
    std::optional<int16_t> Element(const std::string& array, uint64_t i) const {
        const auto v = U16(array, 2 * i);
        if (!v) return std::nullopt;
        return static_cast<int16_t>(*v);
    }

    void Exposure() {
        // Canon's shot info: FNumber and ExposureTime at 21 and 22, 0 when the camera did not know them.
        if (const auto f = Element(ShotInfo, 21); f && *f != 0) {
            const double fNumber = std::exp2(CanonEv(*f) / 2);
            if (fNumber > 0 && fNumber < 1000)
                Field(tgExifIFD, 0x829D, kRational,
                      Rational(static_cast<uint32_t>(std::lround(fNumber * 10)), 10));
        }
        if (const auto t = Element(ShotInfo, 22); t && *t != 0) {
            const double seconds = std::exp2(-CanonEv(*t));
            // Short times as the fraction a camera shows (1/80), longer ones to a tenth of a second.
            if (seconds < 0.25001)
                Field(tgExifIFD, 0x829A, kRational,
                      Rational(1, static_cast<uint32_t>(std::lround(1 / seconds))));
            else if (seconds < 100000)
                Field(tgExifIFD, 0x829A, kRational,
                      Rational(static_cast<uint32_t>(std::lround(seconds * 10)), 10));
        }
        // The ISO the camera set (element 16 of the camera settings: a code, or the speed itself with
        // bit 14 set); when it says none, the base ISO times the automatic adjustment of the shot info.
        std::optional<double> iso;
        if (const auto code = Element(CameraSettings, 16)) {
            const uint16_t c = static_cast<uint16_t>(*code);
            if ((c & 0x4000) && c < 0x8000)
                iso = c & 0x3FFF;
            else if (c >= 16 && c <= 20)
                iso = 50 << (c - 16);
        }
        const auto base = Element(ShotInfo, 2), automatic = Element(ShotInfo, 1);
        if (!iso && base && *base != 0)
            iso = std::exp2(*base / 32.0) * 100 / 32 * (automatic ? std::exp2(*automatic / 32.0) : 1.0);
        if (!iso && BaseIso && *BaseIso != 0) iso = *BaseIso;
        if (iso && *iso >= 1 && *iso < 65535)
            Field(tgExifIFD, 0x8827, kShort, BigEndian(static_cast<uint16_t>(std::lround(*iso)), 2));
        // CRW's own exposure record: APEX values as 32-bit floats.
        const TByteView e(ExposureInfo);
        if (e.Holds(0, 12) && ExposureInfo.find_first_not_of('\0') != std::string::npos) {
            float tv, av;
            const uint32_t tvBits = *U32(ExposureInfo, 4), avBits = *U32(ExposureInfo, 8);
            std::memcpy(&tv, &tvBits, 4);
            std::memcpy(&av, &avBits, 4);
            if (std::isfinite(tv) && std::fabs(tv) < 100)
                Field(tgExifIFD, 0x9201, kSRational,
                      BigEndian(static_cast<uint32_t>(static_cast<int32_t>(std::lround(tv * 1000))), 4) +
                          BigEndian(1000, 4));
            if (std::isfinite(av) && av >= 0 && av < 100)
                Field(tgExifIFD, 0x9202, kRational,
                      Rational(static_cast<uint32_t>(std::lround(av * 1000)), 1000));
        }
    }

    void Finish() {
        if (!MakeModel.empty()) {
            const size_t makeEnd = MakeModel.find('\0');
            const std::string make = MakeModel.substr(0, makeEnd);
            if (!make.empty()) Field(tgIFD0, 0x010F, kAscii, make + '\0');
            if (makeEnd != std::string::npos) {
                const std::string rest = MakeModel.substr(makeEnd + 1);
                const std::string model = rest.substr(0, rest.find('\0'));
                if (!model.empty()) Field(tgIFD0, 0x0110, kAscii, model + '\0');
            }
        }
        if (const auto seconds = U32(TimeStamp, 0); seconds && *seconds != 0) {
            int64_t y;
            unsigned m, d;
            CivilFromDays(*seconds / 86400, y, m, d);
            const unsigned s = *seconds % 86400;
            char text[48];
            std::snprintf(text, sizeof text, "%04d:%02u:%02u %02u:%02u:%02u", static_cast<int>(y), m, d,
                          s / 3600, s / 60 % 60, s % 60);
            Field(tgExifIFD, 0x9003, kAscii, std::string(text) + '\0');
        }
        const auto width = U32(ImageInfo, 0), height = U32(ImageInfo, 4);
        if (width && height && *width != 0 && *height != 0) {
            Out.Width = *width;
            Out.Height = *height;
            Field(tgExifIFD, 0xA002, kLong, BigEndian(*width, 4));
            Field(tgExifIFD, 0xA003, kLong, BigEndian(*height, 4));
        }
        Exposure();
        // The size of the JPEG preview: elements 3 and 4 of the raw JPEG record.
        const auto jpgWidth = Element(RawJpgInfo, 3), jpgHeight = Element(RawJpgInfo, 4);
        for (TPreview& p : Out.Previews)
            if (p.Kind == "JpgFromRaw" && jpgWidth && jpgHeight) {
                p.Width = static_cast<uint16_t>(*jpgWidth);
                p.Height = static_cast<uint16_t>(*jpgHeight);
            }
    }

    // Canon's editor appends a trailer that begins and ends with kTrailerMark; the footer gives the
    // length of the blocks between. Returns where the trailer begins (the heap ends there).
    uint64_t Trailer(uint64_t fileSize, uint64_t heapStart) {
        if (fileSize < heapStart || fileSize - heapStart < 64 + 28) return fileSize;
        const std::string footer = ReadSome(Source, fileSize - 64, 24);
        if (footer.substr(0, kTrailerMark.size()) != kTrailerMark) return fileSize;
        const auto blocks = TByteView(footer).U32(20, true);
        if (!blocks || *blocks > fileSize - heapStart - 64 - 28) {
            Note(Out, "Canon trailer of an impossible length");
            return fileSize;
        }
        const uint64_t start = fileSize - 64 - 28 - *blocks;
        if (ReadSome(Source, start, kTrailerMark.size()) != kTrailerMark) {
            Note(Out, "Canon trailer without its header");
            return fileSize;
        }
        uint64_t pos = start + 28;
        const uint64_t end = pos + *blocks;
        for (int count = 0; end - pos >= 8 && count < kMaxBoxes; ++count) {
            const std::string header = ReadSome(Source, pos, 8);
            const TByteView h(header);
            if (!h.Holds(0, 8)) break;
            const uint32_t id = *h.U32(0, true);
            const uint64_t length = *h.U32(4, true);
            if (length > end - pos - 8) {
                Note(Out, "Canon trailer block runs past the trailer");
                break;
            }
            if (id == 0xFFFF00F6) {
                if (length > kMaxBlockBytes)
                    Note(Out, "XMP block of " + std::to_string(length) + " bytes: not read");
                else
                    Out.Xmp.push_back(ReadSome(Source, pos + 8, length));
            }
            pos += 8 + length;
        }
        return start;
    }
};

} // namespace

bool ScanCrw(TByteSource& source, uint64_t fileSize, TContainerScan& out) {
    try {
        const std::string header = ReadSome(source, 0, 14);
        if (header.size() < 14 || (header.substr(0, 2) != "II" && header.substr(0, 2) != "MM") ||
            header.substr(6, 8) != "HEAPCCDR")
            return false;
        out.Format = "CRW";
        TCrwScan scan(source, out);
        scan.BigEndianFile = header[0] == 'M';
        const uint64_t heapStart = *TByteView(header).U32(2, scan.BigEndianFile);
        if (heapStart > fileSize) {
            Note(out, "CIFF heap begins past the end of the file");
            return true;
        }
        const uint64_t heapEnd = scan.Trailer(fileSize, heapStart);
        scan.Heap(heapStart, heapEnd - heapStart, 0);
        scan.Finish();
    } catch (const std::exception& e) {
        NoteStop(out, "CRW", e);
    }
    return true;
}

} // namespace quillmark
