#include "ImgData.h"

#include "FileKind.h"
#include "IccProfile.h"
#include "JpegMarkers.h"
#include "ReaderSettings.h"
#include "TagTables.h"
#include "Xmp.h"

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
    TRange Iptc{0, 0}; // the value of IPTC tag 0x83BB in IFD0, if any
    TRange Xmp{0, 0};  // the value of XMLPacket tag 0x02BC in IFD0, if any
    uint16_t Ifd0Entries = 0;
    bool Ifd0Whole = false; // IFD0's entries all lie inside the file

private:
    static constexpr size_t kMaxChain = 64;

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
    bool Visit(uint64_t offset, int depth) {
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
            if (tag == 0x014A || tag == 0x8769 || tag == 0xA005 || tag == 0x8825) {
                // As the walk does: the first offset the value holds.
                char first[4];
                if (size <= 4)
                    Visit(value, depth + 1);
                else if (Source.ReadAt(value, first, 4) == 4)
                    Visit(U32(first), depth + 1);
            }
        }
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
    BlockBase = 9;
    FormatName.clear();
    XmpPackets.clear();
    XmpSidecar.clear();
    IccProfile.clear();
    Previews.clear();
    ContainerNotes.clear();
    Budget.SetFileSize(0);
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
        // they say neither.
        char head[4];
        const size_t got = source->ReadAt(0, head, sizeof head);
        switch (FileKindOf(std::string_view(head, got), fileName)) {
        case TFileKind::Jpeg:
            ok = ReadJpeg(*source);
            break;
        case TFileKind::Tiff:
            ok = ReadTiff(*source);
            break;
        case TFileKind::Unknown:
            return false;
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
        return HasMetadata();
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
    const int64_t ifd0 = Read32(13);
    reader.ReadDirectory(ifd0 == 0 ? 17 : ifd0 + 9, 9, static_cast<int64_t>(s.Size) - 6, dkMain);
    reader.ComputeFocalLength35();
}

bool TimgData::ReadTiff(TByteSource& source) {
    ReadingTiff = true;
    bool ok = false;
    try {
        ok = ScanTiff(source);
    } catch (const std::bad_alloc&) {
        ReadingTiff = false;
        throw;
    } catch (...) {
        ok = false;
    }
    ReadingTiff = false;
    return ok;
}

bool TimgData::ScanTiff(TByteSource& source) {
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
    const auto fileSize = static_cast<uint64_t>(std::max<int64_t>(FileLength, 0));

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
    uint64_t start = 0;
    tSection& s = AddSection();
    s.Data = ReadTiffBlock(source, layout.Ranges,
                           static_cast<uint64_t>(std::max(ReaderSettings().TiffReadSize, 1024)), start);
    s.Size = static_cast<int32_t>(s.Data.size());
    s.Marker = 0;
    ExifSection = SectionCount;
    BlockBase = 1 - static_cast<int64_t>(start);
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
