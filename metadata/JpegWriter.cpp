#include "JpegWriter.h"

#include "ImageInfo.h"
#include "JpegMarkers.h"
#include "TagTables.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

constexpr int kMarkerApp0 = 0xE0;
constexpr int kMarkerApp1 = 0xE1;
constexpr int kMarkerApp13 = 0xED;
constexpr int kMarkerCom = 0xFE;

unsigned Byte(std::string_view bytes, size_t index) {
    return static_cast<unsigned char>(bytes[index]);
}

// A kept section is copied only when it is a whole marker section of the kind its role needs: the
// expected marker and a length field that matches its bytes. A section cut short by the end of its
// file would otherwise announce more bytes than follow and swallow the new picture's tables, and the
// block read from a TIFF file (marker 0, up to 256000 bytes) is no JPEG section at all.
bool IsWholeSection(const tSection& s, int marker) {
    if (s.Marker != marker) return false;
    const size_t n = s.Data.size();
    if (n < 2 || n > 0xFFFF) return false;
    return Byte(s.Data, 0) * 256 + Byte(s.Data, 1) == n;
}

void PutSection(std::string& out, const tSection& s) {
    out += '\xFF';
    out += static_cast<char>(s.Marker);
    out += s.Data;
}

// The bytes the in-place changes go to: the container's EXIF section; null when there is none.
std::string* ExifBytes(TimgData* owner) {
    if (!owner || owner->ExifSection < 1 ||
        owner->ExifSection >= static_cast<int32_t>(owner->Sections.size()))
        return nullptr;
    return &owner->Section(owner->ExifSection).Data;
}

// Writes the low `count` bytes of `value` at a 1-based position that the caller has checked.
void PutBytes(std::string& data, int64_t position, uint32_t value, int count, bool bigEndian) {
    for (int i = 0; i < count; ++i) {
        const int shift = 8 * (bigEndian ? count - 1 - i : i);
        data[static_cast<size_t>(position - 1 + i)] = static_cast<char>((value >> shift) & 0xFF);
    }
}

// A dimension goes into its entry in the entry's own field type. A SHORT value occupies the first two
// bytes of the four-byte field, so writing four bytes there would, in a big-endian block, put the
// value's high half where the SHORT is read: 640 would read back as 0. Other types are left alone:
// a BYTE cannot hold a picture's side, and for RATIONAL and the rest the field holds the offset of
// the value, not the value.
void PutDimension(TImageInfo& reader, int32_t value, int32_t position, uint16_t type) {
    switch (type) {
    case ttShort:
    case ttSShort: {
        const int32_t most = type == ttShort ? 0xFFFF : 0x7FFF;
        std::string* data = ExifBytes(reader.Owner);
        if (data && value >= 0 && value <= most && HoldsAt(*data, position, 2))
            PutBytes(*data, position, static_cast<uint32_t>(value), 2, reader.Owner->BigEndian);
        break;
    }
    case ttLong:
    case ttSLong:
        reader.PutLong(value, position);
        break;
    default:
        break;
    }
}

// ------------------------------------------------------------------------------------------------
// Replacing the target file

[[noreturn]] void Fail(const std::string& fileName, const std::string& why) {
    throw WriteError("Cannot write " + fileName + ": " + why);
}

[[noreturn]] void FailErrno(const std::string& fileName, int error) {
    Fail(fileName, std::strerror(error));
}

// The file a name stands for, following symbolic links: the new file replaces what a link points
// at and the link stays a link, as when a file is written through it.
std::filesystem::path ResolveLinks(const std::string& fileName) {
    std::filesystem::path p = fileName;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        std::error_code ec;
        const std::filesystem::path link = std::filesystem::read_symlink(p, ec);
        if (ec) FailErrno(fileName, ec.value());
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    FailErrno(fileName, ELOOP);
}

// The process's file-creation mask. /proc tells it without changing it; umask() can only read it by
// setting it for a moment.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) != 0) continue;
        try {
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8) & 0777);
        } catch (const std::exception&) {
            break;
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// The temporary file next to the target: closed and removed unless it was renamed over the target.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (Fd >= 0) ::close(Fd);
        if (!Path.empty() && !Renamed) ::unlink(Path.c_str());
    }
    int Fd = -1;
    std::string Path;
    bool Renamed = false;
};

// 0 when every byte was written, else the error number.
int WriteAll(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, std::min<size_t>(size, 1 << 20));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

bool Starts(std::string_view content, std::string_view signature) {
    return content.substr(0, signature.size()) == signature;
}

} // namespace

std::string KeptOtherSections(std::string_view original) {
    std::string kept;
    TJpegMarkers walk(original);
    bool exifSeen = false, jfifSeen = false, iptcSeen = false, commentSeen = false;
    while (const std::optional<TJpegMarker> marker = walk.Next()) {
        const bool app = marker->Code >= 0xE0 && marker->Code <= 0xEF;
        if (!app && marker->Code != kMarkerCom) {
            if (IsJpegFrameHeader(marker->Code) || marker->Code == 0xDA) break;
            continue; // tables: the new picture brings its own
        }
        // Only sections whose bytes are all there are copied: a cut one would swallow what follows.
        if (!TByteView(original).Holds(marker->Offset, std::uint64_t(marker->Length) + 2)) break;
        const std::string_view content = marker->Content(TByteView(original)).Data();
        // The sections the container writes itself, the first of each kind as it takes them.
        bool own = false;
        if (marker->Code == kMarkerApp1 && !exifSeen && Starts(content, std::string_view("Exif\0\0", 6)))
            own = exifSeen = true;
        else if (marker->Code == kMarkerApp0 && !jfifSeen && Starts(content, std::string_view("JFIF\0", 5)))
            own = jfifSeen = true;
        else if (marker->Code == kMarkerApp13 && !iptcSeen && Starts(content, "Photoshop 3.0"))
            own = iptcSeen = true;
        else if (marker->Code == kMarkerCom && !commentSeen)
            own = commentSeen = true;
        if (own) continue;
        // MPF describes the images that follow the original picture, which the new file does not carry;
        // APP14 says how the original was encoded, and the new picture's stream brings its own.
        if (marker->Code == 0xE2 && Starts(content, std::string_view("MPF\0", 4))) continue;
        if (marker->Code == 0xEE && Starts(content, "Adobe")) continue;
        kept.append(original.substr(size_t(marker->Offset), size_t(marker->Length) + 2));
    }
    return kept;
}

size_t SkipEncoderHeaderSections(std::string_view encoded) {
    const size_t size = encoded.size();
    if (size < 2) return size;
    // The reader's own walk of the sections, taking each of these kinds once and in this order while
    // they follow one another directly: fill bytes or a stand-alone marker end the skipping, and
    // everything from there is copied as it stands.
    constexpr int kSkipped[] = {kMarkerApp0, kMarkerApp1, kMarkerApp13, kMarkerCom};
    TJpegMarkers markers(encoded, static_cast<int>(std::size(kSkipped)));
    size_t p = 2; // just after the stream's own SOI
    size_t kind = 0;
    for (std::optional<TJpegMarker> m;
         kind < std::size(kSkipped) && (m = markers.Next()) && m->Offset == p;) {
        while (kind < std::size(kSkipped) && kSkipped[kind] != m->Code)
            ++kind;
        if (kind == std::size(kSkipped) || m->Length > size - p - 2)
            break; // past the end: copied as it stands
        p += m->Length + 2;
        ++kind;
    }
    return p;
}

void TimgData::WriteHeaderSections(std::string& out) const {
    out += "\xFF\xD8";
    if (ExifSection && IsWholeSection(Section(ExifSection), kMarkerApp1))
        PutSection(out, Section(ExifSection));
    else if (JfifSection && IsWholeSection(Section(JfifSection), kMarkerApp0))
        PutSection(out, Section(JfifSection));
    else
        out += kStandardJfifHeader;
    if (IptcSection && IsWholeSection(Section(IptcSection), kMarkerApp13))
        PutSection(out, Section(IptcSection));
    if (CommentSection && IsWholeSection(Section(CommentSection), kMarkerCom))
        PutSection(out, Section(CommentSection));
}

void TimgData::ClearSections() {
    ExifSection = 0;
    ExifReader.reset();
    IptcSection = 0;
    JfifSection = 0;
    IptcReader.reset();
    CommentSection = 0;
    JfifSection = 0;
}

// The whole file is built in memory and written to a temporary file in the target's folder, which
// is flushed to disk and only then renamed over the target. Truncating the target first would lose
// an existing file of that name to any failure half-way (a full disk, a file size limit).
void TimgData::WriteJpegFile(const TEncodedJpeg& image, const std::string& fileName, bool adjustDimensions) {
    if (fileName.empty()) throw WriteError("Cannot write a file without a name");
    const std::string_view stream = image.Bytes;
    if (stream.size() < 2 || Byte(stream, 0) != 0xFF || Byte(stream, 1) != 0xD8)
        Fail(fileName, "the picture is not a JPEG stream");

    const std::filesystem::path target = ResolveLinks(fileName);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode)) FailErrno(fileName, EISDIR);
        if (!S_ISREG(existing.st_mode)) Fail(fileName, "not a regular file");
        // A file its owner made read-only is not replaced, as it would not be overwritten.
        if (::access(target.c_str(), W_OK) != 0) FailErrno(fileName, errno);
    }

    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    // Hidden, and short enough to stay a legal name whatever the target's name.
    const std::string name = target.filename().string().substr(0, 200);
    TempFile temp;
    std::string pattern = (folder / ("." + name + ".XXXXXX")).string();
    temp.Fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (temp.Fd < 0) FailErrno(fileName, errno);
    temp.Path = pattern;

    // The permissions the target has, or a new file would get.
    if (exists) {
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            // Only possible for a privileged user or a group of one's own; otherwise the new file
            // belongs to whoever writes it, as any new file does.
            if (::fchown(temp.Fd, existing.st_uid, existing.st_gid) != 0)
                (void)!::fchown(temp.Fd, static_cast<uid_t>(-1), existing.st_gid);
        }
    }
    const mode_t mode = exists ? (existing.st_mode & 0777) : (0666 & ~CurrentUmask());
    if (::fchmod(temp.Fd, mode) != 0) FailErrno(fileName, errno);

    // A picture without a size (not made by our encoder) leaves the recorded dimensions alone rather
    // than recording zeros.
    if (adjustDimensions && ExifReader && image.Width > 0 && image.Height > 0)
        ExifReader->SetDimensions(image.Height, image.Width);

    // Every other section of the photo (XMP, ICC profiles, vendor sections) goes along unchanged.
    std::string others;
    if (!ReadingTiff && !PathName.empty()) {
        std::ifstream in(PathName, std::ios::binary);
        std::string original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        others = KeptOtherSections(original);
    }

    std::string file;
    file.reserve(stream.size() + others.size() + 64 * 1024);
    WriteHeaderSections(file);
    // Behind the EXIF (or APP0) section, where readers look for XMP and colour profiles.
    const size_t headerEnd = 2 + ((ExifSection && IsWholeSection(Section(ExifSection), kMarkerApp1))
                                      ? Section(ExifSection).Data.size() + 2
                                  : (JfifSection && IsWholeSection(Section(JfifSection), kMarkerApp0))
                                      ? Section(JfifSection).Data.size() + 2
                                      : kStandardJfifHeader.size());
    file.insert(std::min(headerEnd, file.size()), others);
    file.append(stream.substr(SkipEncoderHeaderSections(stream)));

    if (const int error = WriteAll(temp.Fd, file.data(), file.size())) FailErrno(fileName, error);
    if (::fsync(temp.Fd) != 0) FailErrno(fileName, errno);
    const int closed = ::close(temp.Fd);
    temp.Fd = -1;
    if (closed != 0) FailErrno(fileName, errno);
    if (::rename(temp.Path.c_str(), target.c_str()) != 0) FailErrno(fileName, errno);
    temp.Renamed = true;

    // The rename itself reaches the disk with the folder; a failure here loses nothing written.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

// ------------------------------------------------------------------------------------------------
// In-place changes to the EXIF section

void TImageInfo::PutLong(int32_t value, int32_t position) {
    std::string* data = ExifBytes(Owner);
    if (!data || !HoldsAt(*data, position, 4)) return; // never outside the section
    PutBytes(*data, position, static_cast<uint32_t>(value), 4, Owner->BigEndian);
}

void TImageInfo::SetDimensions(int32_t newHeight, int32_t newWidth) {
    if (Height <= 0 || Width <= 0) return;
    if (newWidth == Width && newHeight == Height) return;
    // Every field that records the photo's size (IFD0 and the EXIF directory may both); never the
    // thumbnail's, which the walk does not count among them.
    for (const TDimensionField& f : HeightFields)
        PutDimension(*this, newHeight, f.Position, f.Type);
    for (const TDimensionField& f : WidthFields)
        PutDimension(*this, newWidth, f.Position, f.Type);
}

bool TImageInfo::WriteTagValue(std::string_view name, const std::string& value) {
    // Only the directory walk's entries (list 0) have value positions in the EXIF section; a maker
    // note's entry of the same name may count its positions from elsewhere.
    const int index = LookupTagIndex(name, 0);
    const TTagEntry* entry = index < 0 ? nullptr : &Entries[static_cast<size_t>(index)];
    if (!entry || entry->Tag == 0) return false;
    std::string* data = ExifBytes(Owner);
    const int64_t at = entry->ValueOffset;
    const int64_t size = std::max<int64_t>(entry->RawSize, 1);
    // A position or size from a hostile file that leaves the section changes nothing.
    if (!data || !HoldsAt(*data, at, size)) return false;
    char* field = data->data() + (at - 1);
    for (int64_t i = 0; i + 1 < size; ++i)
        field[i] = static_cast<size_t>(i) < value.size() ? value[static_cast<size_t>(i)] : '\0';
    field[size - 1] = '\0';
    return true;
}

void TImageInfo::SetExifComment(const std::string& text) {
    WriteTagValue("UserComment", std::string("ASCII\0\0\0", 8) + text);
}

} // namespace quillmark
