#include "ImgData.h"

#include "FileKind.h"
#include "IccProfile.h"
#include "JpegHeader.h"
#include "JpegMarkers.h"
#include "MakerNotes.h"
#include "ReaderSettings.h"
#include "TagTables.h"
#include "Xmp.h"
#include "formats/Registry.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace quillmark {

namespace {

// A file read through a buffer large enough that a camera file's header sections usually arrive in
// one system call: a small read the buffer does not hold fills it from the offset asked for.
class FileSource : public TByteSource {
public:
    explicit FileSource(int fd) : Fd(fd), Buffer(new char[kBufferSize]) {}
    ~FileSource() override { ::close(Fd); }
    size_t ReadAt(uint64_t offset, char* into, size_t n) override {
        // A read at least the buffer's size goes straight to its place: copying it through the buffer
        // would only cost time.
        if (n >= kBufferSize) return ReadFromFile(offset, into, n);
        const TByteView buffered(std::string_view(Buffer.get(), Filled));
        if (offset < BufferStart || !buffered.Holds(offset - BufferStart, n)) {
            BufferStart = offset;
            Filled = ReadFromFile(offset, Buffer.get(), kBufferSize);
        }
        const std::string_view part =
            TByteView(std::string_view(Buffer.get(), Filled)).Clip(offset - BufferStart, n).Data();
        if (!part.empty()) std::memcpy(into, part.data(), part.size());
        return part.size();
    }

private:
    static constexpr size_t kBufferSize = 8 * 1024;
    size_t ReadFromFile(uint64_t offset, char* into, size_t n) {
        size_t done = 0;
        while (done < n && offset + done <= static_cast<uint64_t>(INT64_MAX)) {
            const ssize_t got = ::pread(Fd, into + done, n - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<size_t>(got);
        }
        return done;
    }
    int Fd;
    std::unique_ptr<char[]> Buffer;
    uint64_t BufferStart = 0;
    size_t Filled = 0;
};

class MemorySource : public TByteSource {
public:
    explicit MemorySource(std::string_view bytes) : Read(ReadAtBytes(bytes)) {}
    size_t ReadAt(uint64_t offset, char* into, size_t n) override { return Read(offset, into, n); }

private:
    TReadAt Read;
};

// Bytes [Region.Offset, Region.Offset + Region.Length) of another source, read as a file of their
// own: an embedded JPEG or TIFF structure is read by the same code as a file.
class ShiftedSource : public TByteSource {
public:
    ShiftedSource(TByteSource& inner, TFileRegion region) : Inner(inner), Region(region) {}
    size_t ReadAt(uint64_t offset, char* into, size_t n) override {
        if (offset >= Region.Length) return 0;
        const uint64_t rest = Region.Length - offset;
        if (rest < n) n = static_cast<size_t>(rest);
        if (Region.Offset > UINT64_MAX - offset) return 0;
        return Inner.ReadAt(Region.Offset + offset, into, n);
    }

private:
    TByteSource& Inner;
    TFileRegion Region;
};

// Seconds since 1970 (UTC) to days since 1899-12-30 in local time.
double LocalDays(time_t t) {
    struct tm local {};
    localtime_r(&t, &local);
    return static_cast<double>(t + local.tm_gmtoff) / 86400.0 + 25569.0;
}

// Thrown when the file cannot be opened; caught by the outermost level of a read.
struct OpenFailure {};

// Where a TIFF file's directories and the values they point to lie. The header's IFD0 offset, the
// chain of next-directory offsets and the links to sub-directories are followed through the file
// itself, reading only directory bytes, under the same limits as the directory walk; the walk then
// gets one block holding just the bytes this found.
class TTiffLayout {
public:
    struct TRange {
        uint64_t Begin, End; // file offsets, End excluded
    };

    TTiffLayout(TByteSource& source, uint64_t fileSize, bool bigEndian)
        : Source(source), FileSize(fileSize), BigEndian(bigEndian) {}

    // Follows IFD0 at `ifd0` and its chain; the chain's directories in order in Chain.
    void Survey(uint64_t ifd0) {
        for (uint64_t at = ifd0; at != 0 && Chain.size() < kMaxChain;) {
            if (!Visit(at, 0)) break;
            Chain.push_back(at);
            at = NextOf(at);
        }
    }

    std::vector<TRange> Ranges; // in the order found, IFD0 first
    std::vector<uint64_t> Chain;
    TRange Iptc{0, 0};       // the value of IPTC tag 0x83BB in IFD0, if any
    TRange Xmp{0, 0};        // the value of XMLPacket tag 0x02BC in IFD0, if any
    TRange JpgFromRaw{0, 0}; // the value of Panasonic's tag 0x002E in IFD0 (RW2): a JPEG with the EXIF
    bool DngVersion = false; // IFD0 carries DNGVersion (0xC612)
    // Panasonic's sensor borders in IFD0 (tags 4 to 7: top, left, bottom, right): the picture's size.
    uint32_t Borders[4] = {0, 0, 0, 0};
    uint16_t Ifd0Entries = 0;
    bool Ifd0Whole = false; // IFD0's entries all lie inside the file
    // Pictures a directory of the chain or a sub-directory names, in the order found: a JPEG by
    // JPEGInterchangeFormat, or a single JPEG-compressed strip that is not the sensor's data.
    struct TPreviewPlace {
        uint64_t Offset, Length;
        bool InIfd1; // the thumbnail directory
        bool Strip;  // named by StripOffsets, which Canon also gives its small RGB picture
    };
    std::vector<TPreviewPlace> PreviewPlaces;
    bool HasSubIfds = false; // a directory links to sub-directories (SubIFDs)
    static constexpr size_t kMaxPreviews = 16;

private:
    static constexpr size_t kMaxChain = 64;
    static constexpr size_t kMaxSubIfds = 16;

    uint32_t U32(const char* p) const {
        return static_cast<uint32_t>(quillmark::BytesToInt({p, 4}, BigEndian));
    }
    uint16_t U16(const char* p) const {
        return static_cast<uint16_t>(quillmark::BytesToInt({p, 2}, BigEndian));
    }

    void Add(uint64_t begin, uint64_t length) {
        if (begin >= FileSize) return;
        Ranges.push_back({begin, begin + std::min(length, FileSize - begin)});
    }

    // Reads the directory at `offset` and notes its bytes and its values' bytes; then the
    // sub-directories it links to. False when not even its entry count can be read.
    // A directory that may name a picture: one of the chain, or one a SubIFDs tag links to.
    enum class TDirectoryKind { Other, Chain, Sub };

    // The single value of a SHORT or LONG entry; nullopt for any other shape.
    std::optional<uint32_t> Single(const char* e) const {
        if (U32(e + 4) != 1) return std::nullopt;
        const uint16_t type = U16(e + 2);
        if (type == 3) return U16(e + 8);
        if (type == 4) return U32(e + 8);
        return std::nullopt;
    }

    // Notes the picture the directory's entries name, if any. A compressed strip is the sensor's data,
    // not a picture, when the directory says CFA or linear raw, or carries Canon's slice tag (CR2).
    void NotePreview(const char* entries, size_t count, bool inIfd1) {
        std::optional<uint32_t> jpegAt, jpegLength, stripAt, stripLength, compression, photometric;
        bool sensor = false;
        for (size_t i = 0; i < count; ++i) {
            const char* e = entries + 12 * i;
            const std::optional<uint32_t> v = Single(e);
            switch (U16(e)) {
            case 0x0103:
                compression = v;
                break;
            case 0x0106:
                photometric = v;
                break;
            case 0x0111:
                stripAt = v;
                break;
            case 0x0117:
                stripLength = v;
                break;
            case 0x0201:
                jpegAt = v;
                break;
            case 0x0202:
                jpegLength = v;
                break;
            case 0xC640:
                sensor = true;
                break;
            default:
                break;
            }
        }
        if (photometric == 32803u || photometric == 34892u) sensor = true;
        std::optional<uint32_t> at = jpegAt, length = jpegLength;
        const bool strip = !(at && length) && (compression == 6u || compression == 7u) && !sensor;
        if (strip) {
            at = stripAt;
            length = stripLength;
        }
        if (!at || !length || *at == 0 || *length == 0 || *at >= FileSize ||
            PreviewPlaces.size() >= kMaxPreviews)
            return;
        for (const TPreviewPlace& p : PreviewPlaces)
            if (p.Offset == *at) return;
        PreviewPlaces.push_back({*at, std::min<uint64_t>(*length, FileSize - *at), inIfd1, strip});
    }

    // A further sub-directory of a SubIFDs list: looked at only for the picture it names. The walk reads
    // the first of the list as the sub-directory; DNG and NEF keep their previews in the others.
    void SurveyPreviewOnly(uint64_t offset) {
        if (Directories >= TImageInfo::kMaxDirectories || !Visited.insert(offset).second) return;
        ++Directories;
        char count[2];
        if (Source.ReadAt(offset, count, 2) != 2) return;
        const uint16_t n = U16(count);
        std::string dir(static_cast<size_t>(std::min<uint64_t>(12 * uint64_t{n}, FileSize - offset - 2)),
                        '\0');
        const size_t got = Source.ReadAt(offset + 2, dir.data(), dir.size());
        Entries += got / 12;
        NotePreview(dir.data(), got / 12, false);
    }

    bool Visit(uint64_t offset, int depth, TDirectoryKind kind = TDirectoryKind::Chain) {
        if (depth > TImageInfo::kMaxDepth || Directories >= TImageInfo::kMaxDirectories ||
            !Visited.insert(offset).second)
            return false;
        ++Directories;
        char count[2];
        if (Source.ReadAt(offset, count, 2) != 2) return false;
        const uint16_t n = U16(count);
        // No more than the file holds: a count of 65535 in a short file costs only the file's bytes.
        std::string dir(static_cast<size_t>(std::min<uint64_t>(2 + 12 * uint64_t{n} + 4, FileSize - offset)),
                        '\0');
        const size_t got = Source.ReadAt(offset, dir.data(), dir.size());
        Add(offset, 2 + 12 * uint64_t{n} + 4);
        if (Directories == 1) {
            Ifd0Entries = n;
            Ifd0Whole = got >= 2 + 12 * size_t{n};
        }
        for (size_t i = 0; i < n && 2 + 12 * i + 12 <= got; ++i) {
            if (++Entries > TImageInfo::kMaxEntries) break;
            const char* e = dir.data() + 2 + 12 * i;
            const uint16_t tag = U16(e);
            const uint64_t size = uint64_t{U32(e + 4)} * static_cast<uint64_t>(ComponentSize(U16(e + 2)));
            if (size == 0) continue;
            const uint64_t value = U32(e + 8);
            if (size > 4) Add(value, size);
            if (tag == 0x83BB && depth == 0 && Iptc.End == 0 && size > 4 && value < FileSize)
                Iptc = Ranges.back();
            if (tag == 0x02BC && depth == 0 && Xmp.End == 0 && size > 4 && value < FileSize)
                Xmp = Ranges.back();
            if (tag == 0x002E && depth == 0 && JpgFromRaw.End == 0 && size > 4 && value < FileSize)
                JpgFromRaw = {value, value + std::min(size, FileSize - value)};
            if (tag == 0xC612 && depth == 0) DngVersion = true;
            if (tag >= 0x0004 && tag <= 0x0007 && depth == 0 && size <= 4)
                Borders[tag - 4] = U16(e + 2) == 3 ? U16(e + 8) : static_cast<uint32_t>(value);
            if (tag == 0x014A || tag == 0x8769 || tag == 0xA005 || tag == 0x8825) {
                // As the walk does: the first offset the value holds.
                const TDirectoryKind next = tag == 0x014A ? TDirectoryKind::Sub : TDirectoryKind::Other;
                HasSubIfds = HasSubIfds || tag == 0x014A;
                char first[4 * kMaxSubIfds];
                if (size <= 4) {
                    Visit(value, depth + 1, next);
                } else if (Source.ReadAt(value, first, 4) == 4) {
                    Visit(U32(first), depth + 1, next);
                    const size_t more = static_cast<size_t>(std::min<uint64_t>(size / 4, kMaxSubIfds));
                    if (tag == 0x014A && more > 1 && Source.ReadAt(value, first, 4 * more) == 4 * more)
                        for (size_t k = 1; k < more; ++k)
                            SurveyPreviewOnly(U32(first + 4 * k));
                }
            }
        }
        if (kind != TDirectoryKind::Other && got > 2)
            NotePreview(dir.data() + 2, std::min<size_t>(n, (got - 2) / 12),
                        kind == TDirectoryKind::Chain && Chain.size() == 1);
        return true;
    }

    uint64_t NextOf(uint64_t offset) {
        char count[2], next[4];
        if (Source.ReadAt(offset, count, 2) != 2) return 0;
        if (Source.ReadAt(offset + 2 + 12 * uint64_t{U16(count)}, next, 4) != 4) return 0;
        return U32(next);
    }

    TByteSource& Source;
    uint64_t FileSize;
    bool BigEndian;
    std::set<uint64_t> Visited;
    int Directories = 0;
    int64_t Entries = 0;
};

// The block the walk reads: the file's bytes from the first range to the last, as far as the
// limit allows. Ranges are taken in the order found, so IFD0 and what it leads to come first, and
// one lying so far away that the block would outgrow the limit is left out. Gaps between ranges
// are read too when short (one read instead of several); longer ones stay zero, never read.
std::string ReadTiffBlock(TByteSource& source, const std::vector<TTiffLayout::TRange>& found, uint64_t limit,
                          uint64_t& start) {
    if (found.empty()) return {};
    uint64_t lo = found.front().Begin, hi = found.front().End;
    std::vector<TTiffLayout::TRange> kept{found.front()};
    for (auto r = found.begin() + 1; r != found.end(); ++r) {
        const uint64_t nlo = std::min(lo, r->Begin), nhi = std::max(hi, r->End);
        if (nhi - nlo > limit) continue;
        lo = nlo;
        hi = nhi;
        kept.push_back(*r);
    }
    std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.Begin < b.Begin; });
    constexpr uint64_t kShortGap = 4096;
    std::string block(static_cast<size_t>(hi - lo), '\0');
    for (size_t i = 0; i < kept.size();) {
        const uint64_t begin = kept[i].Begin;
        uint64_t end = kept[i].End;
        for (++i; i < kept.size() && kept[i].Begin <= end + kShortGap; ++i)
            end = std::max(end, kept[i].End);
        source.ReadAt(begin, block.data() + (begin - lo), static_cast<size_t>(end - begin));
    }
    start = lo;
    return block;
}

} // namespace

std::string FormatFileDate(double stamp) {
    const auto seconds = static_cast<time_t>(std::floor((stamp - 25569.0) * 86400.0 + 0.5));
    struct tm t {};
    gmtime_r(&seconds, &t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return buf;
}

TimgData::TimgData(int32_t buildMode) : BuildMode(buildMode) {
    Reset();
}

void TimgData::Reset() {
    SectionCount = 0;
    ExifSection = IptcSection = CommentSection = JfifSection = 0;
    PathName.clear();
    FileStamp = 0;
    FileLength = 0;
    ErrorText.clear();
    ExifReader.reset();
    IptcReader.reset();
    BigEndian = false;
    FrameWidth = FrameHeight = 0;
    ContainerOrientation = 0;
    FrameIsPhotoSize = false;
    BlockBase = 9;
    FormatName.clear();
    XmpPackets.clear();
    XmpSidecar.clear();
    IccProfile.clear();
    Previews.clear();
    ContainerNotes.clear();
    Budget.SetFileSize(0);
    ExifFileOffset = -1;
    SourceOrigin = 0;
}

std::string TimgData::CommentText() const {
    if (!CommentSection) return {};
    const tSection& s = Section(CommentSection);
    return tEndInd::Slice(s.Data, 3, static_cast<int64_t>(s.Size) - 2);
}

bool TimgData::ProcessFile(const std::string& fileName) {
    Reset();
    // Only regular files count: a folder named like a photo is not one. The file is opened once and
    // asked about itself; without blocking, so that a FIFO named like a photo cannot hang the open.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    const bool found = fd >= 0 ? ::fstat(fd, &st) == 0 : ::stat(fileName.c_str(), &st) == 0;
    if (!found || !S_ISREG(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        return false;
    }
    PathName = fileName;
    FileStamp = LocalDays(st.st_mtime);
    FileLength = st.st_size;
    if (fd < 0) return ProcessSource(fileName, nullptr); // fails to open again, with the same outcome
    FileSource file(fd);
    const bool ok = ProcessSource(fileName, &file);
    XmpSidecar = ReadXmpSidecar(fileName);
    return ok;
}

bool TimgData::ProcessBytes(const std::string& fileName, std::string_view bytes, double stamp) {
    Reset();
    PathName = fileName;
    FileStamp = stamp;
    FileLength = static_cast<int64_t>(bytes.size());
    MemorySource source(bytes);
    return ProcessSource(fileName, &source);
}

bool TimgData::ProcessBytesWithScan(const std::string& fileName, std::string_view bytes, TScanFunction scan) {
    Reset();
    PathName = fileName;
    FileLength = static_cast<int64_t>(bytes.size());
    FormatName = "container";
    MemorySource source(bytes);
    ErrorText = "Not an EXIF file";
    try {
        if (!ReadContainer(scan, source, bytes.size())) return false;
    } catch (...) {
        ErrorText = "Illegal Exif construction";
        return false;
    }
    ErrorText = "<none>";
    return true;
}

bool TimgData::ProcessSource(const std::string& fileName, TByteSource* memory) {
    ErrorText = "Not an EXIF file";
    Budget.SetFileSize(FileLength);
    bool ok = false;
    try {
        std::unique_ptr<TByteSource> file;
        TByteSource* source = memory;
        if (!source) {
            const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) throw OpenFailure{};
            file = std::make_unique<FileSource>(fd);
            source = file.get();
        }
        // The first bytes say what the file is, whatever its name; the name counts only when
        // they say neither, or to tell apart formats whose bytes look alike.
        char head[kSniffBytes];
        const size_t got = source->ReadAt(0, head, sizeof head);
        const TPhotoFormat* format =
            FindPhotoFormat(std::string_view(head, std::min(got, sizeof head)), fileName);
        if (!format) {
            ErrorText = "Not a photo format Quillmark knows";
            return false;
        }
        FormatName = format->Name;
        const auto fileSize = static_cast<uint64_t>(std::max<int64_t>(FileLength, 0));
        switch (format->Reader) {
        case TFormatReader::Jpeg:
            ok = ReadJpeg(*source);
            break;
        case TFormatReader::Tiff:
            ok = ReadTiff(*source);
            break;
        case TFormatReader::Scan:
            ok = ReadContainer(format->Scan, *source, fileSize);
            break;
        }
    } catch (...) {
        ErrorText = "Illegal Exif construction";
        return false;
    }
    if (ok) ErrorText = "<none>";
    return ok;
}

bool TimgData::ReadJpeg(TByteSource& source) {
    ReadingTiff = false;
    try {
        return ScanJpegSections(source);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        // What was read up to the failure (sections, readers, entries) stays.
        return false;
    }
}

tSection& TimgData::AddSection() {
    SectionCount += 1;
    if (Sections.size() <= static_cast<size_t>(SectionCount))
        Sections.resize(static_cast<size_t>(SectionCount) + 1);
    return Section(SectionCount);
}

namespace {
// A section the container no longer uses keeps only its length bytes, and gives its memory back.
void DropBody(tSection& s) {
    std::string(s.Data.substr(0, 2)).swap(s.Data);
}
} // namespace

bool TimgData::ScanJpegSections(TByteSource& source) {
    SectionCount = 0;
    ExifWalkFailed = false;
    // Every section up to the picture data is looked at, as many as a hostile file may hold up to
    // the limit; only the bodies of the sections in use are kept.
    TJpegMarkers markers(
        [&source](uint64_t offset, char* into, size_t n) { return source.ReadAt(offset, into, n); },
        kMaxSections);
    TXmpExtension xmpExtension;
    TIccChunks icc;
    size_t mainXmp = SIZE_MAX;
    while (const auto marker = markers.Next()) {
        tSection& s = AddSection();
        s.Size = static_cast<int32_t>(marker->Length);
        s.Marker = marker->Code;
        s.Data.assign({static_cast<char>(marker->Length >> 8), static_cast<char>(marker->Length & 0xFF)});
        const size_t body = marker->ContentLength();
        const int code = marker->Code;
        if (code == 0xE2 && body >= 8) {
            // A multi-picture (MPF) index: its further pictures are previews of the photo.
            char mark[4];
            if (markers.Read(marker->ContentOffset(), mark, 4) == 4 &&
                std::string_view(mark, 4) == std::string_view("MPF\0", 4)) {
                std::string mpf(body, '\0');
                mpf.resize(markers.Read(marker->ContentOffset(), mpf.data(), body));
                ReadMpfPreviews(mpf, SourceOrigin + marker->ContentOffset());
                continue;
            }
        }
        if (code != 0xE0 && code != 0xE1 && code != 0xE2 && code != 0xED && code != 0xFE && code != 0xDA) {
            // Of the frame header only the picture's size is kept, which the summaries need when the
            // directories do not record it.
            unsigned char head[5];
            if (IsJpegFrameHeader(code) && FrameWidth == 0 && body >= sizeof head &&
                markers.Read(marker->ContentOffset(), reinterpret_cast<char*>(head), sizeof head) ==
                    sizeof head) {
                FrameHeight = head[1] << 8 | head[2];
                FrameWidth = head[3] << 8 | head[4];
            }
            continue;
        }
        s.Data.resize(2 + body);
        s.Data.resize(2 + markers.Read(marker->ContentOffset(), s.Data.data() + 2, body));

        switch (code) {
        case 0xE0:
            if (JfifSection) DropBody(Section(JfifSection));
            JfifSection = SectionCount;
            break;
        case 0xE1:
            // Only the APP1 that says it is EXIF is: XMP and other APP1 sections stay in the list.
            if (!ExifSection && s.Data.compare(2, 6, std::string_view("Exif\0\0", 6)) == 0) {
                ExifSection = SectionCount;
                ExifFileOffset = static_cast<int64_t>(SourceOrigin + marker->ContentOffset() + 6);
                ExifReader = std::make_unique<TImageInfo>(this, BuildMode);
                SetData(s.Data);
                ReadExifHeader();
            } else {
                // XMP and its extension are kept as packets, not as sections.
                const std::string_view body = std::string_view(s.Data).substr(2);
                if (body.starts_with(kXmpSignature)) {
                    if (mainXmp == SIZE_MAX) mainXmp = XmpPackets.size();
                    XmpPackets.emplace_back(body.substr(kXmpSignature.size()));
                } else if (body.starts_with(kXmpExtensionSignature)) {
                    xmpExtension.Add(body.substr(kXmpExtensionSignature.size()));
                }
                DropBody(s);
            }
            break;
        case 0xE2:
            if (std::string_view(s.Data).substr(2).starts_with(kIccSignature))
                icc.Add(std::string_view(s.Data).substr(2 + kIccSignature.size()));
            DropBody(s);
            break;
        case 0xED:
            if (!IptcSection) {
                IptcSection = SectionCount;
                IptcReader = std::make_unique<TIPTCdata>(this);
            } else {
                DropBody(s);
            }
            break;
        case 0xFE:
            if (CommentSection) DropBody(Section(CommentSection));
            CommentSection = SectionCount;
            break;
        default:
            // The start of scan: the compressed picture follows, never read.
            break;
        }
    }
    // The extended XMP joins the packets only under the GUID the main packet names: pieces of another
    // GUID are left over from an earlier edit.
    if (mainXmp != SIZE_MAX && !xmpExtension.Empty()) {
        const std::string guid = XmpValue(ReadXmp(XmpPackets[mainXmp]), "xmpNote:HasExtendedXMP");
        if (guid.size() == 32)
            if (std::string extended = xmpExtension.Join(guid); !extended.empty())
                XmpPackets.push_back(std::move(extended));
    }
    IccProfile = icc.Join();
    switch (markers.End()) {
    case TJpegMarkerEnd::NotJpeg:
    case TJpegMarkerEnd::BadLength:
        return false;
    default:
        return HasMetadata() && !ExifWalkFailed;
    }
}

void TimgData::ReadExifHeader() {
    if (!ExifReader) ExifReader = std::make_unique<TImageInfo>(this, BuildMode);
    const tSection& s = Section(ExifSection);
    if (s.Data.size() < 7 || s.Data.compare(2, 5, std::string_view("Exif\0", 5)) != 0) {
        ErrorText = "Incorrect Exif header";
        return;
    }
    const std::string order = s.Data.size() >= 10 ? s.Data.substr(8, 2) : std::string();
    if (order == "II")
        BigEndian = false;
    else if (order == "MM")
        BigEndian = true;
    else {
        ErrorText = "Invalid Exif alignment marker";
        return;
    }
    TImageInfo& reader = *ExifReader;
    reader.Trace.clear();
    reader.SetData(GetData());
    reader.BigEndian = BigEndian;
    try {
        const int64_t ifd0 = Read32(13);
        reader.ReadDirectory(ifd0 == 0 ? 17 : ifd0 + 9, 9, static_cast<int64_t>(s.Size) - 6, dkMain);
    } catch (const ReadError&) {
        // A first directory outside the block fails the read, but the sections after it are still
        // looked at, so that a comment or IPTC behind a damaged EXIF block is kept.
        ExifWalkFailed = true;
    }
    reader.ComputeFocalLength35();
}

bool TimgData::ReadTiff(TByteSource& source) {
    ReadingTiff = true;
    bool ok = false;
    try {
        char header[4];
        const auto fileSize = static_cast<uint64_t>(std::max<int64_t>(FileLength, 0));
        if (source.ReadAt(0, header, 4) == 4 &&
            (std::string_view(header, 4) == std::string_view("II+\0", 4) ||
             std::string_view(header, 4) == std::string_view("MM\0+", 4))) {
            ReadingTiff = false;
            ok = ReadBigTiff(source, fileSize);
        } else {
            ok = ScanTiff(source, fileSize);
        }
    } catch (const std::bad_alloc&) {
        ReadingTiff = false;
        throw;
    } catch (...) {
        ok = false;
    }
    ReadingTiff = false;
    return ok;
}

bool TimgData::ScanTiff(TByteSource& source, uint64_t fileSize) {
    char header[8];
    const size_t got = source.ReadAt(0, header, sizeof header);
    if (got < 2) return false;
    const std::string_view order(header, 2);
    if (order != "II" && order != "MM") return false;
    BigEndian = order == "MM";
    if (got < 8) {
        ErrorText = "No TIFF directory: the file ends in its header";
        return false;
    }
    // A stored offset of 0 stands for 8, the place right after the header, as in an EXIF block.
    uint64_t ifd0 = static_cast<uint32_t>(quillmark::BytesToInt({header + 4, 4}, BigEndian));
    if (ifd0 == 0) ifd0 = 8;

    TTiffLayout layout(source, fileSize, BigEndian);
    layout.Survey(ifd0);
    // A file whose first directory cannot be read has nothing to show: that is an error, not an
    // empty success.
    const std::string where =
        " at offset " + std::to_string(ifd0) + " of a file of " + std::to_string(fileSize) + " bytes";
    if (layout.Chain.empty()) {
        ErrorText = "No TIFF directory" + where;
        return false;
    }
    if (!layout.Ifd0Whole) {
        ErrorText = "The TIFF directory" + where + " runs past its end";
        return false;
    }
    if (layout.Ifd0Entries == 0) {
        ErrorText = "No entries in the TIFF directory" + where;
        return false;
    }
    if (layout.DngVersion && FormatName == "TIFF") FormatName = "DNG";
    for (const TTiffLayout::TPreviewPlace& place : layout.PreviewPlaces) {
        ShiftedSource bytes(source, {place.Offset, place.Length});
        const TJpegHeaderFacts facts =
            ScanJpegHeader([&](uint64_t at, char* into, size_t n) { return bytes.ReadAt(at, into, n); });
        // A strip is taken only when it is a JPEG; lossless JPEG holds a sensor's data, never a picture.
        // A JPEG-compressed TIFF of one picture holds that picture in its strip, not a preview of it.
        const bool onePicture = layout.Chain.size() == 1 && !layout.HasSubIfds;
        if ((place.Strip && (!facts.IsJpeg || onePicture)) || IsLosslessJpegFrame(facts.FrameCode)) continue;
        TPreview preview{place.InIfd1 ? "Thumbnail" : "Preview",
                         facts.IsJpeg ? "JPEG" : "",
                         {SourceOrigin + place.Offset, place.Length},
                         0,
                         0};
        if (facts.Width > 0 && facts.Height > 0) {
            preview.Width = static_cast<uint32_t>(facts.Width);
            preview.Height = static_cast<uint32_t>(facts.Height);
        }
        Previews.push_back(std::move(preview));
    }
    // Panasonic's RW2 keeps its own tags in IFD0 and the photo's EXIF in the JPEG of tag 0x002E.
    if (layout.JpgFromRaw.End > layout.JpgFromRaw.Begin && header[2] == 'U') {
        const TFileRegion jpeg{layout.JpgFromRaw.Begin, layout.JpgFromRaw.End - layout.JpgFromRaw.Begin};
        Previews.push_back({"JpgFromRaw", "JPEG", {SourceOrigin + jpeg.Offset, jpeg.Length}, 0, 0});
        ReadingTiff = false;
        // The JPEG's EXIF tells the JPEG's size; the sensor's borders tell the photo's.
        const uint32_t* b = layout.Borders;
        const bool sized = b[2] > b[0] && b[3] > b[1];
        if (ReadEmbeddedJpeg(source, jpeg)) {
            if (sized) {
                FrameWidth = ClampToInt32(int64_t{b[3]} - b[1]);
                FrameHeight = ClampToInt32(int64_t{b[2]} - b[0]);
                FrameIsPhotoSize = true;
            }
            return true;
        }
        ReadingTiff = true;
        ContainerNotes.push_back("the JPEG of tag 0x002E holds no EXIF");
        SectionCount = 0;
        ExifSection = IptcSection = CommentSection = JfifSection = 0;
        ExifReader.reset();
        IptcReader.reset();
        ExifFileOffset = -1;
    }
    uint64_t start = 0;
    tSection& s = AddSection();
    s.Data = ReadTiffBlock(source, layout.Ranges,
                           static_cast<uint64_t>(std::max(ReaderSettings().TiffReadSize, 1024)), start);
    s.Size = static_cast<int32_t>(s.Data.size());
    s.Marker = 0;
    ExifSection = SectionCount;
    BlockBase = 1 - static_cast<int64_t>(start);
    ExifFileOffset = static_cast<int64_t>(SourceOrigin);
    if (layout.Iptc.End > layout.Iptc.Begin && layout.Iptc.Begin >= start &&
        layout.Iptc.End - start <= s.Data.size())
        ReadTiffIptc(
            std::string_view(s.Data).substr(static_cast<size_t>(layout.Iptc.Begin - start),
                                            static_cast<size_t>(layout.Iptc.End - layout.Iptc.Begin)));

    if (layout.Xmp.End > layout.Xmp.Begin) {
        // Read from the file itself: the block may have left a far-away packet out.
        const uint64_t size = std::min<uint64_t>(layout.Xmp.End - layout.Xmp.Begin, kXmpMaxPacket + 1);
        std::string packet(static_cast<size_t>(size), '\0');
        packet.resize(source.ReadAt(layout.Xmp.Begin, packet.data(), packet.size()));
        XmpPackets.push_back(std::move(packet));
    }

    const tSection& block = Section(ExifSection);
    ExifReader = std::make_unique<TImageInfo>(this, BuildMode);
    TImageInfo& reader = *ExifReader;
    reader.FromTiff = ReadingTiff;
    reader.Trace.clear();
    SetData(block.Data);
    reader.SetData(block.Data);
    reader.BigEndian = BigEndian;
    const int64_t length = static_cast<int64_t>(block.Data.size()) - BlockBase;
    const auto position = [&](uint64_t offset) { return static_cast<int64_t>(offset) + BlockBase; };
    reader.ReadDirectory(position(layout.Chain.front()), BlockBase, length, dkMain);
    // The directories chained after IFD0 (a thumbnail, further pages) are kept apart from the photo's
    // own entries, as a JPEG's thumbnail directory is; the photo's facts stay those of IFD0.
    const auto facts = std::make_tuple(reader.Width, reader.Height, reader.WidthPos, reader.HeightPos,
                                       reader.WidthType, reader.HeightType, reader.DateTimeText,
                                       reader.DateTimePos, reader.CameraMake, reader.CameraModel);
    for (size_t i = 1; i < layout.Chain.size(); ++i) {
        try {
            reader.ReadDirectory(position(layout.Chain[i]), BlockBase, length, dkThumbnail);
        } catch (const ReadError&) {
            // A broken later directory costs only its own entries.
        }
    }
    std::tie(reader.Width, reader.Height, reader.WidthPos, reader.HeightPos, reader.WidthType,
             reader.HeightType, reader.DateTimeText, reader.DateTimePos, reader.CameraMake,
             reader.CameraModel) = facts;
    reader.ComputeFocalLength35();
    return true;
}

void TimgData::ReadTiffIptc(std::string_view datasets) {
    // The block is copied into a section of its own: no more of it than the budget has room for.
    const auto room = static_cast<size_t>(Budget.Room() / 2);
    if (datasets.size() > room) {
        datasets = datasets.substr(0, room);
        Budget.NoteCut();
    }
    tSection& s = AddSection();
    s.Marker = 0xED;
    s.Data = App13FromDatasets(datasets);
    Budget.Charge(TReadBudget::HeapOf(s.Data));
    s.Size = static_cast<int32_t>(s.Data.size());
    IptcSection = SectionCount;
    IptcReader = std::make_unique<TIPTCdata>(this);
}

} // namespace quillmark

namespace quillmark {

namespace {

// Numbers written into a structure being built, in its byte order.
void PutAt(std::string& out, size_t at, uint64_t v, int bytes, bool bigEndian) {
    for (int i = 0; i < bytes; ++i)
        out[at + static_cast<size_t>(i)] =
            static_cast<char>(v >> (8 * (bigEndian ? bytes - 1 - i : i)) & 0xFF);
}

uint64_t NumberAt(std::string_view bytes, size_t at, int n, bool bigEndian) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(bigEndian ? i : n - 1 - i)]);
    return v;
}

bool LinksDirectories(uint16_t tag) {
    return tag == 0x014A || tag == 0x8769 || tag == 0x8825 || tag == 0xA005;
}

// A BigTIFF file's directories (64-bit counts and offsets, 20-byte entries) rewritten as a classic TIFF
// structure with 32-bit offsets and 12-byte entries, which the directory walk reads. Each value is
// copied right after its directory; the rewritten structure stays within kMaxBlockBytes and the walk's
// own bounds on depth and directories.
class BigTiffToClassic {
public:
    BigTiffToClassic(TByteSource& source, uint64_t fileSize, bool bigEndian)
        : Source(source), FileSize(fileSize), BigEndian(bigEndian) {}

    std::string Convert(uint64_t ifd0) {
        Out.assign(BigEndian ? std::string_view("MM\0*\0\0\0\0", 8) : std::string_view("II*\0\0\0\0\0", 8));
        size_t link = 4; // where the offset of the next directory of the chain is written
        uint64_t at = ifd0;
        for (int k = 0; at != 0 && k < 64; ++k) {
            uint64_t next = 0;
            size_t nextField = 0;
            const uint32_t written = Directory(at, 0, &next, &nextField);
            if (written == 0) break;
            PutAt(Out, link, written, 4, BigEndian);
            link = nextField;
            at = next;
        }
        return Out;
    }

private:
    uint32_t Directory(uint64_t at, int depth, uint64_t* next, size_t* nextField) {
        if (depth > TImageInfo::kMaxDepth || ++Directories > TImageInfo::kMaxDirectories ||
            Out.size() >= kMaxBlockBytes || !Visited.insert(at).second)
            return 0;
        char head[8];
        if (Source.ReadAt(at, head, 8) != 8) return 0;
        const uint64_t declared = NumberAt({head, 8}, 0, 8, BigEndian);
        const uint64_t room = at > FileSize - 8 ? 0 : (FileSize - at - 8) / 20;
        const uint64_t n = std::min<uint64_t>({declared, room, 4096});
        std::string entries(static_cast<size_t>(20 * n), '\0');
        entries.resize(Source.ReadAt(at + 8, entries.data(), entries.size()) / 20 * 20);
        const size_t count = entries.size() / 20;
        if (Out.size() % 2) Out += '\0';
        const size_t dir = Out.size();
        Out.append(2 + 12 * count + 4, '\0');
        PutAt(Out, dir, count, 2, BigEndian);
        for (size_t i = 0; i < count; ++i) {
            const std::string_view e = std::string_view(entries).substr(20 * i, 20);
            const auto tag = static_cast<uint16_t>(NumberAt(e, 0, 2, BigEndian));
            auto type = static_cast<uint16_t>(NumberAt(e, 2, 2, BigEndian));
            const uint64_t components = NumberAt(e, 4, 8, BigEndian);
            const bool wide = type >= 16 && type <= 18; // LONG8, SLONG8, IFD8
            const int size = wide ? 8 : ComponentSize(type);
            std::string value;
            uint64_t kept = 0;
            if (size > 0 &&
                components <= (kMaxBlockBytes - std::min<uint64_t>(Out.size(), kMaxBlockBytes)) / size) {
                kept = components;
                const uint64_t bytes = components * static_cast<uint64_t>(size);
                if (bytes <= 8) {
                    value = e.substr(12, static_cast<size_t>(bytes));
                } else {
                    // No more than the file holds there: a count that lies costs only the file's bytes.
                    const uint64_t offset = NumberAt(e, 12, 8, BigEndian);
                    const uint64_t there = offset < FileSize ? std::min(bytes, FileSize - offset) : 0;
                    value.assign(static_cast<size_t>(there), '\0');
                    value.resize(Source.ReadAt(offset, value.data(), value.size()));
                    kept = value.size() / static_cast<uint64_t>(size);
                }
            }
            if (wide) {
                // 64-bit numbers as the 32-bit ones the walk reads: offsets beyond 4 GiB lie outside
                // the rewritten structure anyway.
                std::string narrow(static_cast<size_t>(4 * kept), '\0');
                for (uint64_t k = 0; k < kept; ++k)
                    PutAt(narrow, static_cast<size_t>(4 * k),
                          NumberAt(value, static_cast<size_t>(8 * k), 8, BigEndian), 4, BigEndian);
                value = std::move(narrow);
                type = type == 17 ? ttSLong : ttLong;
            }
            if (LinksDirectories(tag) && (type == ttLong || type == ttIfd)) {
                // The directories this one leads to, rewritten first so that their new offsets are known.
                const uint64_t links = std::min<uint64_t>(kept, 8);
                std::string offsets(static_cast<size_t>(4 * links), '\0');
                for (uint64_t k = 0; k < links; ++k) {
                    const uint32_t child =
                        Directory(NumberAt(value, static_cast<size_t>(4 * k), 4, BigEndian), depth + 1,
                                  nullptr, nullptr);
                    PutAt(offsets, static_cast<size_t>(4 * k), child, 4, BigEndian);
                }
                value = std::move(offsets);
                kept = links;
                type = ttLong;
            }
            const size_t entry = dir + 2 + 12 * i;
            PutAt(Out, entry, tag, 2, BigEndian);
            PutAt(Out, entry + 2, type, 2, BigEndian);
            PutAt(Out, entry + 4, kept, 4, BigEndian);
            if (value.size() <= 4) {
                Out.replace(entry + 8, value.size(), value);
            } else {
                if (Out.size() % 2) Out += '\0';
                PutAt(Out, entry + 8, Out.size(), 4, BigEndian);
                Out += value;
            }
        }
        if (next) {
            char field[8];
            const uint64_t nextAt = at + 8 + 20 * declared;
            *next = declared == count && Source.ReadAt(nextAt, field, 8) == 8
                        ? NumberAt({field, 8}, 0, 8, BigEndian)
                        : 0;
            *nextField = dir + 2 + 12 * count;
        }
        return static_cast<uint32_t>(dir);
    }

    TByteSource& Source;
    uint64_t FileSize;
    bool BigEndian;
    std::string Out;
    std::set<uint64_t> Visited;
    int Directories = 0;
};

// A classic TIFF structure (big-endian) holding values a container keeps outside any TIFF structure:
// IFD0's and the EXIF and GPS directories' fields, each directory's tags in rising order.
std::string TiffFromFields(const std::vector<TContainerField>& fields) {
    struct Field {
        uint16_t Tag, Type;
        uint32_t Count;
        std::string Bytes;
    };
    std::vector<Field> dirs[3]; // IFD0, ExifIFD, GPS
    for (const TContainerField& f : fields) {
        const int size = ComponentSize(f.FieldType);
        const int d = f.Group == tgIFD0 ? 0 : f.Group == tgExifIFD ? 1 : f.Group == tgGPS ? 2 : -1;
        if (d < 0 || size == 0 || f.Bytes.empty() || f.Bytes.size() % static_cast<size_t>(size) != 0 ||
            f.Bytes.size() > kMaxBlockBytes || dirs[d].size() >= 4096)
            continue;
        dirs[d].push_back(
            {f.Tag, f.FieldType, static_cast<uint32_t>(f.Bytes.size() / static_cast<size_t>(size)), f.Bytes});
    }
    if (!dirs[1].empty()) dirs[0].push_back({0x8769, ttLong, 1, std::string(4, '\0')});
    if (!dirs[2].empty()) dirs[0].push_back({0x8825, ttLong, 1, std::string(4, '\0')});
    std::string out("MM\0*\0\0\0\x08", 8);
    size_t linkAt[3] = {0, 0, 0};
    uint64_t total = 0;
    for (int d = 0; d < 3; ++d) {
        auto& list = dirs[d];
        if (list.empty() || total > kMaxBlockBytes) continue;
        std::stable_sort(list.begin(), list.end(),
                         [](const Field& a, const Field& b) { return a.Tag < b.Tag; });
        if (out.size() % 2) out += '\0';
        const size_t dir = out.size();
        if (d > 0 && linkAt[d]) PutAt(out, linkAt[d], dir, 4, true);
        out.append(2 + 12 * list.size() + 4, '\0');
        PutAt(out, dir, list.size(), 2, true);
        for (size_t i = 0; i < list.size(); ++i) {
            const size_t entry = dir + 2 + 12 * i;
            PutAt(out, entry, list[i].Tag, 2, true);
            PutAt(out, entry + 2, list[i].Type, 2, true);
            PutAt(out, entry + 4, list[i].Count, 4, true);
            if (d == 0 && list[i].Tag == 0x8769) linkAt[1] = entry + 8;
            if (d == 0 && list[i].Tag == 0x8825) linkAt[2] = entry + 8;
            if (list[i].Bytes.size() <= 4) {
                out.replace(entry + 8, list[i].Bytes.size(), list[i].Bytes);
            } else {
                if (out.size() % 2) out += '\0';
                PutAt(out, entry + 8, out.size(), 4, true);
                out += list[i].Bytes;
                total += list[i].Bytes.size();
            }
        }
    }
    return out;
}

} // namespace

bool TimgData::ReadContainer(TScanFunction scan, TByteSource& source, uint64_t fileSize) {
    TContainerScan found;
    bool recognised = false;
    try {
        recognised = scan && scan(source, fileSize, found);
    } catch (...) {
        recognised = false; // a scan never throws; should one, the file is simply not read
    }
    if (!recognised) {
        ErrorText = "Not a readable " + FormatName + " file";
        return false;
    }
    if (!found.Format.empty()) FormatName = found.Format;
    XmpPackets = std::move(found.Xmp);
    IccProfile = std::move(found.Icc);
    for (auto& p : found.Previews)
        Previews.push_back(std::move(p));
    for (auto& n : found.Notes)
        ContainerNotes.push_back(std::move(n));
    // Where the EXIF lies, in the order of how much of it a form holds.
    if (found.EmbeddedJpeg) ReadEmbeddedJpeg(source, *found.EmbeddedJpeg);
    if (!ExifSection && found.TiffInFile) ReadEmbeddedTiff(source, *found.TiffInFile);
    if (!ExifSection && !found.Exif.empty()) ReadExifStructures(found.Exif);
    if (!ExifSection && !found.Fields.empty()) {
        ReadExifStructures(
            {TTiffStructure{TiffFromFields(found.Fields), TTiffStructure::kNotInFile, tgIFD0}});
    }
    if (!IptcSection && !found.Iptc.empty()) ReadTiffIptc(found.Iptc);
    if (!CommentSection && !found.Comment.empty()) {
        tSection& s = AddSection();
        s.Marker = 0xFE;
        s.Data = std::string(2, '\0') + found.Comment;
        s.Size = ClampToInt32(static_cast<int64_t>(s.Data.size()));
        // The length bytes a comment section of this size has (none fits past 64 KiB, and then the
        // writer leaves it out).
        if (s.Data.size() <= 0xFFFF) {
            s.Data[0] = static_cast<char>(s.Data.size() >> 8);
            s.Data[1] = static_cast<char>(s.Data.size() & 0xFF);
        }
        CommentSection = SectionCount;
    }
    if (found.Orientation >= 1 && found.Orientation <= 8) ContainerOrientation = found.Orientation;
    // A container whose EXIF is its preview's (RAF) knows the picture's own size better than it.
    if (found.EmbeddedJpeg && found.Width > 0 && found.Height > 0) {
        FrameWidth = ClampToInt32(found.Width);
        FrameHeight = ClampToInt32(found.Height);
        FrameIsPhotoSize = true;
    }
    if (FrameWidth == 0 && found.Width > 0 && found.Height > 0) {
        FrameWidth = ClampToInt32(found.Width);
        FrameHeight = ClampToInt32(found.Height);
    }
    return HasMetadata();
}

bool TimgData::ReadEmbeddedJpeg(TByteSource& source, TFileRegion region) {
    ShiftedSource inner(source, region);
    const uint64_t outer = SourceOrigin;
    SourceOrigin += region.Offset;
    const bool ok = ReadJpeg(inner);
    SourceOrigin = outer;
    return ok && ExifSection;
}

bool TimgData::ReadEmbeddedTiff(TByteSource& source, TFileRegion region) {
    ShiftedSource inner(source, region);
    const uint64_t outer = SourceOrigin;
    SourceOrigin += region.Offset;
    ReadingTiff = true;
    bool ok = false;
    try {
        ok = ScanTiff(inner, region.Length);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        ok = false;
    }
    ReadingTiff = false;
    SourceOrigin = outer;
    return ok;
}

bool TimgData::ReadBigTiff(TByteSource& source, uint64_t fileSize) {
    char header[16];
    if (source.ReadAt(0, header, sizeof header) != sizeof header) {
        ErrorText = "No TIFF directory: the file ends in its header";
        return false;
    }
    const bool bigEndian = header[0] == 'M';
    // Version 43, offset size 8, a zero, then IFD0's 64-bit offset.
    if (NumberAt({header, 16}, 4, 2, bigEndian) != 8) {
        ErrorText = "A BigTIFF header whose offsets are not 8 bytes long";
        return false;
    }
    const uint64_t ifd0 = NumberAt({header, 16}, 8, 8, bigEndian);
    std::string classic = BigTiffToClassic(source, fileSize, bigEndian).Convert(ifd0);
    if (classic.size() <= 8 + 6) {
        ErrorText = "No TIFF directory at offset " + std::to_string(ifd0) + " of a file of " +
                    std::to_string(fileSize) + " bytes";
        return false;
    }
    ReadExifStructures({TTiffStructure{std::move(classic), TTiffStructure::kNotInFile, tgIFD0}});
    return HasExif();
}

void TimgData::ReadExifStructures(const std::vector<TTiffStructure>& structures) {
    tSection& s = AddSection();
    s.Marker = 0xE1;
    s.Data.assign("\0\0Exif\0\0", 8);
    std::vector<size_t> starts;
    for (const TTiffStructure& t : structures) {
        if (t.Bytes.size() > kMaxBlockBytes || s.Data.size() > 4 * kMaxBlockBytes) break;
        starts.push_back(s.Data.size());
        s.Data += t.Bytes;
    }
    s.Size = ClampToInt32(static_cast<int64_t>(s.Data.size()));
    const auto lengthField = static_cast<uint16_t>(std::min<size_t>(s.Data.size(), 0xFFFF));
    s.Data[0] = static_cast<char>(lengthField >> 8);
    s.Data[1] = static_cast<char>(lengthField & 0xFF);
    ExifSection = SectionCount;
    BlockBase = 9;
    const TTiffStructure& first = structures.front();
    ExifFileOffset =
        first.FileOffset == TTiffStructure::kNotInFile || first.FileOffset > INT64_MAX - SourceOrigin
            ? -1
            : static_cast<int64_t>(first.FileOffset + SourceOrigin);
    ExifReader = std::make_unique<TImageInfo>(this, BuildMode);
    TImageInfo& reader = *ExifReader;
    SetData(s.Data);
    reader.SetData(s.Data);
    // IFD0 first, so that the maker note walked last knows the camera's make.
    const auto rank = [](TTagGroup g) { return g == tgIFD0 ? 0 : g == tgMakerNotes ? 2 : 1; };
    std::vector<size_t> order(starts.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return rank(structures[a].Group) < rank(structures[b].Group);
    });
    bool firstOrder = true, blockOrder = false;
    for (const size_t i : order) {
        const TTiffStructure& t = structures[i];
        const std::string_view bytes = t.Bytes;
        if (bytes.size() < 8 || (bytes.substr(0, 2) != "II" && bytes.substr(0, 2) != "MM")) {
            ContainerNotes.push_back("an EXIF structure without a TIFF header");
            continue;
        }
        const bool bigEndian = bytes[0] == 'M';
        if (firstOrder) blockOrder = bigEndian, firstOrder = false;
        BigEndian = reader.BigEndian = bigEndian;
        uint64_t ifd = NumberAt(bytes, 4, 4, bigEndian);
        if (ifd == 0) ifd = 8;
        const auto base = static_cast<int64_t>(starts[i]) + 1;
        const auto position = base + static_cast<int64_t>(ifd);
        const auto length = static_cast<int64_t>(bytes.size());
        // Only the first IFD0 leads to the thumbnail: another structure's next-directory offset counts
        // from its own header.
        const auto thumb = std::make_pair(reader.ThumbnailStart, reader.ThumbnailLength);
        try {
            switch (t.Group) {
            case tgIFD0:
                reader.ReadDirectory(position, base, length, dkMain);
                break;
            case tgGPS:
                reader.ReadDirectoryAs(position, base, length, dkGps, tgGPS);
                break;
            case tgMakerNotes: {
                // A maker note kept as a TIFF structure of its own (Canon CR3): its directory and values
                // counted from its own header, as the maker's layout reads a note at that offset.
                if (ifd >= bytes.size()) break;
                reader.MakerNoteRaw = std::string(bytes.substr(static_cast<size_t>(ifd)));
                reader.MakerNotePos = ClampToInt32(static_cast<int64_t>(ifd) + 9);
                TmsInfo maker(false, &reader);
                reader.MakerNoteDecoded = maker.DecodeMakerNote(reader);
                break;
            }
            default:
                reader.ReadDirectoryAs(position, base, length, dkMain, t.Group);
                break;
            }
        } catch (const std::bad_alloc&) {
            throw;
        } catch (...) {
            ContainerNotes.push_back("a damaged EXIF directory");
        }
        if (i != order.front()) std::tie(reader.ThumbnailStart, reader.ThumbnailLength) = thumb;
    }
    BigEndian = reader.BigEndian = blockOrder;
    reader.ComputeFocalLength35();
}

void TimgData::ReadMpfPreviews(std::string_view body, uint64_t bodyOffset) {
    // "MPF\0", then a TIFF header from which the index's offsets count; tag 0xB002 lists the pictures
    // in 16-byte entries: attributes, size, offset (0 for the first: this one), two dependents.
    const TByteView mpf(body);
    const auto order = mpf.Sub(4, 2);
    if (!order || (order->Data() != "II" && order->Data() != "MM")) return;
    const bool bigEndian = order->Data() == "MM";
    const auto ifd = mpf.U32(8, bigEndian);
    if (!ifd) return;
    const uint64_t dir = 4 + uint64_t{*ifd};
    const auto count = mpf.U16(dir, bigEndian);
    if (!count) return;
    for (uint64_t i = 0; i < *count && i < 64; ++i) {
        const uint64_t e = dir + 2 + 12 * i;
        const auto tag = mpf.U16(e, bigEndian);
        const auto n = mpf.U32(e + 4, bigEndian);
        const auto at = mpf.U32(e + 8, bigEndian);
        if (!tag || !n || !at) return;
        if (*tag != 0xB002) continue;
        const auto entries = mpf.Sub(4 + uint64_t{*at}, *n);
        if (!entries) return;
        for (uint64_t k = 1; k < entries->Size() / 16 && k < 64; ++k) {
            const auto size = entries->U32(16 * k + 4, bigEndian);
            const auto offset = entries->U32(16 * k + 8, bigEndian);
            if (size && offset && *size > 0 && *offset > 0)
                Previews.push_back({"MPF", "JPEG", {bodyOffset + 4 + *offset, *size}, 0, 0});
        }
        return;
    }
}

} // namespace quillmark
