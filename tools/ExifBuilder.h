// Builders for hand-crafted photo files: TIFF/EXIF blocks, JPEG files made of chosen marker
// sections, IPTC datasets in a Photoshop APP13 section, and real libjpeg-encoded pictures.
//
// Tests use these to say exactly which bytes a file holds, including layouts that no camera
// writes (entry counts that lie, offsets that point outside the block or back at a parent,
// section lengths that run past the end of the file). Nothing here validates what it is told
// to write: a builder that refused bad layouts would be useless for testing a reader's defences.
//
// Layout of a TiffBlock, fixed so that tests can predict every offset:
//   - the 8-byte header ("II"/"MM", 42, offset of IFD 0), unless WithoutHeader() was called;
//   - the IFDs in index order; before each IFD its Before() bytes, laid verbatim after the
//     previous part was padded to an even length;
//   - right after each IFD (entry count, 12-byte entries in the order they were added, next-IFD
//     offset) the values of its entries that do not fit in four bytes, in entry order, each
//     starting at an even position (a zero pad byte follows a value of odd length);
//   - then the trailer, at an even position.
// Every offset written into the block (and every offset the accessors return) is the position
// within the built bytes plus Origin() (0 by default), so a block can be built to sit inside
// another structure whose offsets count from elsewhere, as maker notes do.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark::craft {

// TIFF 6.0 field types.
enum FieldType : uint16_t {
    kByte = 1,
    kAscii = 2,
    kShort = 3,
    kLong = 4,
    kRational = 5,
    kSByte = 6,
    kUndefined = 7,
    kSShort = 8,
    kSLong = 9,
    kSRational = 10,
    kFloat = 11,
    kDouble = 12,
};

// Tags that link directories, for use with TiffBlock::Link.
inline constexpr uint16_t kSubIfdsTag = 0x014A;
inline constexpr uint16_t kExifIfdTag = 0x8769;
inline constexpr uint16_t kGpsIfdTag = 0x8825;
inline constexpr uint16_t kInteropIfdTag = 0xA005;
inline constexpr uint16_t kMakerNoteTag = 0x927C;

class TiffBlock {
public:
    explicit TiffBlock(bool bigEndian); // "MM" or "II", magic 42, IFD 0 offset from the layout (8)

    bool BigEndian() const { return bigEndian_; }

    int AddIfd(); // returns the new IFD's index; IFD 0 exists from the start

    // Typed entries, encoded in the block's byte order. A value of four bytes or less sits
    // left-aligned in the entry's value field, zero-padded.
    TiffBlock& Byte(int ifd, uint16_t tag, std::vector<uint8_t> v);
    TiffBlock& SByte(int ifd, uint16_t tag, std::vector<int8_t> v);
    TiffBlock& Ascii(int ifd, uint16_t tag, std::string text, bool addNul = true);
    TiffBlock& Short(int ifd, uint16_t tag, std::vector<uint16_t> v);
    TiffBlock& SShort(int ifd, uint16_t tag, std::vector<int16_t> v);
    TiffBlock& Long(int ifd, uint16_t tag, std::vector<uint32_t> v);
    TiffBlock& SLong(int ifd, uint16_t tag, std::vector<int32_t> v);
    TiffBlock& Rational(int ifd, uint16_t tag, std::vector<std::pair<uint32_t, uint32_t>> v);
    TiffBlock& SRational(int ifd, uint16_t tag, std::vector<std::pair<int32_t, int32_t>> v);
    TiffBlock& Float(int ifd, uint16_t tag, std::vector<float> v);
    TiffBlock& Double(int ifd, uint16_t tag, std::vector<double> v);
    TiffBlock& Undefined(int ifd, uint16_t tag, std::string bytes);
    // Windows XP text tags (0x9C9B title, 0x9C9C comment, 0x9C9D author, 0x9C9E keywords,
    // 0x9C9F subject): BYTE entries holding UTF-16LE text with a terminating 0 0.
    TiffBlock& XpText(int ifd, uint16_t tag, std::string_view utf8);

    // An UNDEFINED value that needs to know where it lands (maker notes whose inner offsets
    // count from the TIFF header). `make` gets the value's offset and returns its bytes; it is
    // called more than once and must return the same number of bytes for every offset.
    TiffBlock& UndefinedAt(int ifd, uint16_t tag, std::function<std::string(uint32_t valueOffset)> make);

    // Any entry: type and count written as given, the value bytes as given (in the entry when
    // they are four bytes or less, otherwise after the IFD with their offset in the entry),
    // whether or not they agree with type and count.
    TiffBlock& Raw(int ifd, uint16_t tag, uint16_t type, uint32_t count, std::string valueBytes);
    // An entry whose value-or-offset field holds exactly `field`; no data is placed anywhere.
    TiffBlock& RawField(int ifd, uint16_t tag, uint16_t type, uint32_t count, uint32_t field);

    // A LONG entry holding the offset of IFD `childIfd`.
    TiffBlock& Link(int ifd, uint16_t tag, int childIfd);
    // A LONG entry holding the trailer's offset plus `delta` (thumbnail or strip data).
    TiffBlock& LinkTrailer(int ifd, uint16_t tag, uint32_t delta = 0);

    TiffBlock& Next(int ifd, int nextIfd);             // next-IFD offset of `ifd` points at `nextIfd`
    TiffBlock& NextRaw(int ifd, uint32_t offset);      // next-IFD offset written as given
    TiffBlock& CountOverride(int ifd, uint16_t count); // entry count written in the IFD header
    TiffBlock& Before(int ifd, std::string bytes);     // bytes laid right before the IFD
    TiffBlock& Trailer(std::string bytes);             // appended after everything; calls add up

    // Header controls.
    TiffBlock& Magic(uint16_t magic);              // instead of 42
    TiffBlock& FirstIfdOffsetRaw(uint32_t offset); // header's IFD 0 offset written as given
    TiffBlock& WithoutHeader();                    // the block begins with IFD 0's Before bytes
    TiffBlock& Origin(uint32_t origin);            // added to every offset written or returned

    std::string Build() const; // the bytes, from the "II"/"MM" header (or IFD 0) on

    // Offsets (Origin() included) of the deterministic layout; valid before and after Build.
    uint32_t IfdOffset(int ifd) const;
    uint32_t TrailerOffset() const;
    uint32_t EntryOffset(int ifd, int entryIndex) const; // start of the 12-byte entry
    // Where the entry's value lies: after the IFD, or the entry's own value field (entry + 8).
    uint32_t ValueOffset(int ifd, int entryIndex) const;
    uint32_t ValueOffsetOf(int ifd, uint16_t tag) const; // of the first entry with `tag`
    int EntryCount(int ifd) const;

private:
    enum class Kind { Bytes, Field, ChildLink, TrailerLink, Deferred };
    struct Entry {
        uint16_t tag = 0;
        uint16_t type = 0;
        uint32_t count = 0;
        Kind kind = Kind::Bytes;
        std::string bytes;
        uint32_t field = 0;
        int child = 0;
        std::function<std::string(uint32_t)> make;
    };
    enum class NextKind { None, ToIfd, RawOffset };
    struct Ifd {
        std::vector<Entry> entries;
        bool hasCountOverride = false;
        uint16_t countOverride = 0;
        NextKind next = NextKind::None;
        int nextIfd = 0;
        uint32_t nextRaw = 0;
        std::string before;
    };
    struct Layout {
        std::vector<uint32_t> ifdPos;
        std::vector<std::vector<uint32_t>> valuePos; // per entry; entry + 8 for in-entry values
        std::vector<std::vector<uint32_t>> valueSize;
        uint32_t trailerPos = 0;
        uint32_t total = 0;
    };

    Ifd& At(int ifd);
    const Ifd& At(int ifd) const;
    TiffBlock& Add(int ifd, Entry entry);
    TiffBlock& AddBytes(int ifd, uint16_t tag, uint16_t type, uint32_t count, std::string bytes);
    Layout ComputeLayout() const;
    void Put16(std::string& out, uint16_t v) const;
    void Put32(std::string& out, uint32_t v) const;

    bool bigEndian_;
    uint16_t magic_ = 42;
    bool hasFirstIfdRaw_ = false;
    uint32_t firstIfdRaw_ = 0;
    bool header_ = true;
    uint32_t origin_ = 0;
    std::vector<Ifd> ifds_;
    std::string trailer_;
};

// Values encoded in one byte order, for hand-written expected bytes and maker-note payloads.
std::string U16(uint16_t v, bool bigEndian);
std::string U32(uint32_t v, bool bigEndian);

// UTF-8 text as UTF-16LE bytes (Windows XP tags, Unicode user comments).
std::string Utf16Le(std::string_view utf8, bool terminate = true);

// "Exif\0\0" followed by the TIFF bytes: the body of an APP1 EXIF section.
std::string ExifApp1Body(const std::string& tiff);

// A Nikon type-3 maker note: "Nikon\0\2\x10\0\0" and a TIFF structure of its own whose offsets
// count from that inner header (the block should be built with its default origin 0).
std::string NikonMakerNote(const TiffBlock& inner);

struct IptcDataset {
    uint8_t record = 2;
    uint8_t dataset = 0;
    std::string value;
};

// 0x1C, record, dataset, 16-bit big-endian length, value — for each dataset.
std::string IptcDatasets(const std::vector<IptcDataset>& datasets);
// One Photoshop image resource block: "8BIM", id, Pascal name padded to even, 32-bit size,
// data padded to even.
std::string PhotoshopResource(uint16_t id, const std::string& data, const std::string& name = "");
// "Photoshop 3.0\0" + an IPTC resource (id 0x0404) holding the datasets.
std::string PhotoshopApp13Body(const std::vector<IptcDataset>& datasets);

// Synthetic pictures, so that files open to something recognisable in a viewer.
enum class Pattern {
    TestCard,  // hue sweep, grid, colour bars and a target circle
    Landscape, // sky, sun, mountain ridges and a meadow
    Flower,    // a many-petalled flower on a soft background
};

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // width * height * 3 bytes, rows top to bottom
};

RgbImage DrawPattern(int width, int height, Pattern pattern = Pattern::TestCard);
// The picture turned by quarter turns clockwise (1, 2 or 3; other counts modulo 4).
RgbImage Rotated(const RgbImage& image, int quarterTurnsClockwise);

// A complete JPEG stream (SOI … EOI) from libjpeg. With `jfifHeader` false the stream has no
// APP0 section: SOI is followed directly by the tables. Throws std::invalid_argument for sizes
// outside 1..65500 or a quality outside 1..100, std::runtime_error when libjpeg fails.
std::string EncodeJpeg(const RgbImage& image, int quality = 85, bool jfifHeader = true);
std::string EncodeJpeg(int width, int height, int quality = 85, Pattern pattern = Pattern::TestCard);

class JpegFile {
public:
    JpegFile& Soi();                                            // FF D8
    JpegFile& Eoi();                                            // FF D9
    JpegFile& Segment(uint8_t marker, const std::string& body); // FF marker, length (body + 2), body
    // Hostile lengths: the length field is written as given, followed by the whole body.
    JpegFile& SegmentWithLength(uint8_t marker, uint16_t lengthField, const std::string& body);
    JpegFile& Exif(const TiffBlock& tiff);        // APP1 with ExifApp1Body
    JpegFile& Exif(const std::string& tiffBytes); // the same from ready-made TIFF bytes
    JpegFile& Comment(const std::string& text);   // COM
    JpegFile& Jfif();                             // APP0 "JFIF\0", version 1.01, 1:1 aspect, no thumbnail
    JpegFile& Iptc(const std::vector<IptcDataset>& datasets); // APP13 PhotoshopApp13Body
    JpegFile& Raw(const std::string& bytes);                  // anything, e.g. fill bytes FF FF
    // The rest of a decodable picture from libjpeg: its tables, SOF, SOS, data and EOI.
    JpegFile& Image(int width, int height, int quality = 85, Pattern pattern = Pattern::TestCard);
    JpegFile& Image(const RgbImage& image, int quality = 85);
    // A minimal SOS section, a few bytes of scan data and EOI: not decodable, but all that a
    // scan of the marker sections needs to see where the metadata ends.
    JpegFile& ScanAndEnd();

    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// Writes the bytes to `path`, replacing the file; throws std::runtime_error on failure.
void WriteFile(const std::string& path, const std::string& bytes);

} // namespace quillmark::craft
