#include "ImgData.h"

#include "ReaderSettings.h"
#include "TagTables.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

// A file read through a buffer large enough that a camera file's header sections usually arrive in
// one system call.
class FileSource : public TByteSource {
public:
    explicit FileSource(int fd) : Fd(fd), Buffer(new char[kBufferSize]) {}
    ~FileSource() override { ::close(Fd); }
    size_t Read(char* into, size_t n) override {
        size_t done = 0;
        while (done < n) {
            if (Pos == Filled) {
                // A section at least the buffer's size goes straight to its place: the scan stops at
                // the picture data, so reading ahead in big blocks would only copy bytes never used.
                if (n - done >= kBufferSize) {
                    const size_t got = ReadInto(into + done, n - done);
                    if (got == 0) break;
                    done += got;
                    continue;
                }
                Pos = 0;
                Filled = ReadInto(Buffer.get(), kBufferSize);
                if (Filled == 0) break;
            }
            const size_t k = std::min(n - done, Filled - Pos);
            std::memcpy(into + done, Buffer.get() + Pos, k);
            Pos += k;
            done += k;
        }
        return done;
    }

private:
    static constexpr size_t kBufferSize = 8 * 1024;
    size_t ReadInto(char* into, size_t n) {
        for (;;) {
            const ssize_t got = ::read(Fd, into, n);
            if (got < 0 && errno == EINTR) continue;
            return got > 0 ? static_cast<size_t>(got) : 0;
        }
    }
    int Fd;
    std::unique_ptr<char[]> Buffer;
    size_t Pos = 0, Filled = 0;
};

class MemorySource : public TByteSource {
public:
    explicit MemorySource(std::string_view bytes) : Bytes(bytes) {}
    size_t Read(char* into, size_t n) override {
        const size_t k = std::min(n, Bytes.size() - Pos);
        Bytes.copy(into, k, Pos);
        Pos += k;
        return k;
    }

private:
    std::string_view Bytes;
    size_t Pos = 0;
};

// The extension from the last "." on, in lower case.
std::string LowerExtension(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = fileName.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

bool IsJpegExtension(const std::string& ext) {
    return ext == ".jpg" || ext == ".jpeg" || ext == ".jpe";
}
bool IsTiffExtension(const std::string& ext) {
    return ext == ".tif" || ext == ".tiff" || ext == ".nef";
}

// Seconds since 1970 (UTC) to days since 1899-12-30 in local time.
double LocalDays(time_t t) {
    struct tm local {};
    localtime_r(&t, &local);
    return static_cast<double>(t + local.tm_gmtoff) / 86400.0 + 25569.0;
}

// Thrown when the file cannot be opened; caught by the outermost level of a read.
struct OpenFailure {};

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
    return ProcessSource(fileName, &file);
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
    const std::string ext = LowerExtension(fileName);
    const bool jpeg = IsJpegExtension(ext);
    if (!jpeg && !IsTiffExtension(ext)) return false;
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
        ok = jpeg ? ReadJpeg(*source) : ReadTiff(*source);
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

bool TimgData::ScanJpegSections(TByteSource& source) {
    if (source.ReadByte() != 0xFF || source.ReadByte() != 0xD8) return false;
    SectionCount = 0;
    while (SectionCount < kMaxSections) {
        int marker;
        do {
            marker = source.ReadByte();
        } while (marker == 0xFF);
        if (marker < 0) return HasMetadata();

        const int hi = source.ReadByte();
        const int lo = source.ReadByte();
        if (hi < 0 || lo < 0) return HasMetadata();
        SectionCount += 1;
        tSection& s = Section(SectionCount);
        s.Size = hi * 256 + lo;
        s.Marker = marker;
        if (s.Size < 2) return false;
        s.Data.assign(static_cast<size_t>(s.Size), '\0');
        s.Data[0] = static_cast<char>(hi);
        s.Data[1] = static_cast<char>(lo);
        const size_t got = source.Read(s.Data.data() + 2, static_cast<size_t>(s.Size - 2));
        s.Data.resize(2 + got);

        if (SectionCount == 5 && !HasMetadata()) return false;

        switch (marker) {
        case 0xD9:
        case 0xDA:
            return HasMetadata();
        case 0xE0:
            JfifSection = SectionCount;
            break;
        case 0xE1:
            if (SectionCount > 5 || ExifSection) {
                SectionCount -= 1; // dropped: the next section reuses the slot
            } else {
                ExifSection = SectionCount;
                ExifReader = std::make_unique<TImageInfo>(this, BuildMode);
                SetData(s.Data);
                ReadExifHeader();
            }
            break;
        case 0xED:
            if (!IptcSection) {
                IptcSection = SectionCount;
                IptcReader = std::make_unique<TIPTCdata>(this);
            }
            break;
        case 0xFE:
            CommentSection = SectionCount;
            break;
        default:
            break;
        }
    }
    return HasMetadata();
}

void TimgData::ReadExifHeader() {
    if (!ExifReader) ExifReader = std::make_unique<TImageInfo>(this, BuildMode);
    const tSection& s = Section(ExifSection);
    if (s.Data.compare(2, 5, std::string_view("Exif\0", 5)) != 0 || s.Data.size() < 7) {
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
    if (source.Read(header, 2) != 2) return false;
    const std::string_view order(header, 2);
    if (order != "II" && order != "MM") return false;
    source.Read(header + 2, 6); // the magic number and the IFD0 offset are not used
    const int32_t want = std::max<int32_t>(ReaderSettings().TiffReadSize, 0);
    tSection& s = Section(1);
    // The block is as long as the file allows: reads beyond it are refused, not filled. It grows
    // by the chunk read instead of being made the full read size first, which for the many short
    // files (and crafted blocks) cost a quarter-megabyte allocation and fill per file.
    s.Data.clear();
    char chunk[16384];
    while (s.Data.size() < static_cast<size_t>(want)) {
        const size_t ask = std::min(sizeof chunk, static_cast<size_t>(want) - s.Data.size());
        const size_t got = source.Read(chunk, ask);
        s.Data.append(chunk, got);
        if (got < ask) break;
    }
    s.Size = static_cast<int32_t>(s.Data.size());
    s.Marker = 0;
    SectionCount = 1;
    ExifSection = 1;

    ExifReader = std::make_unique<TImageInfo>(this, BuildMode);
    TImageInfo& reader = *ExifReader;
    reader.FromTiff = ReadingTiff;
    reader.Trace.clear();
    BigEndian = order == "MM";
    SetData(s.Data);
    reader.SetData(s.Data);
    reader.BigEndian = BigEndian;
    reader.ReadDirectory(1, -7, want, dkMain);
    reader.ComputeFocalLength35();
    return true;
}

} // namespace quillmark
