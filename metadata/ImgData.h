// The per-photo metadata container: reads a JPEG file's marker sections (or the directories of a
// TIFF-structured file), keeps them, and owns the EXIF and IPTC readers made for them.
#pragma once

#include "ByteOrder.h"
#include "ByteSource.h"
#include "ImageInfo.h"
#include "IptcData.h"
#include "formats/Container.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

// One JPEG marker section as read: its bytes start with the two big-endian length bytes. Only the
// sections the container uses (the EXIF, APP13, comment and APP0 sections it recognised) keep their
// whole bytes; any other keeps just its length bytes, so that a header of a thousand sections does
// not hold a thousand bodies in memory.
struct tSection {
    std::string Data;
    int32_t Marker = 0;
    int32_t Size = 0;
};

struct TEncodedJpeg; // JpegCodec.h

class TimgData : public tEndInd {
public:
    // Header sections read before the picture data at most, stand-alone markers (RSTn, a repeated SOI)
    // counted among them: real photos have a few dozen.
    static constexpr int kMaxSections = 1000;

    explicit TimgData(int32_t buildMode = 255);
    TimgData(const TimgData&) = delete;
    TimgData& operator=(const TimgData&) = delete;

    void Reset();
    // Reads a photo's metadata from its file; true when metadata was read. ErrorText tells the outcome.
    bool ProcessFile(const std::string& fileName);
    // The same reading over bytes in memory; the format is chosen as for a file (by the first bytes,
    // by the name's extension only when they show neither), and `stamp` stands for the file's date.
    bool ProcessBytes(const std::string& fileName, std::string_view bytes, double stamp = 0);

    // Bytes in memory read with the given container scan, as a file of its format is read.
    bool ProcessBytesWithScan(const std::string& fileName, std::string_view bytes, TScanFunction scan);

    bool HasMetadata() const { return ExifSection || CommentSection || IptcSection || !XmpPackets.empty(); }
    bool HasExif() const { return ExifSection != 0; }
    bool HasThumbnail() const { return ExifSection && ExifReader && ExifReader->HasThumbnail(); }
    // The comment's bytes, without the two length bytes; empty with no comment section.
    std::string CommentText() const;

    // Writing (JpegWriter.cpp): a new JPEG file made of the kept EXIF (or APP0), APP13 and COM
    // sections and a freshly encoded picture. The target is replaced only once the whole file is
    // written; a failure leaves it as it was and raises WriteError (JpegWriter.h).
    void WriteJpegFile(const TEncodedJpeg& image, const std::string& fileName, bool adjustDimensions);
    // Appends SOI and the kept header sections to `out`.
    void WriteHeaderSections(std::string& out) const;
    // Forgets the recognised sections and frees both readers; the section bytes stay.
    void ClearSections();

    // Sections 1 to SectionCount are valid.
    tSection& Section(int index) { return Sections.at(static_cast<size_t>(index)); }
    const tSection& Section(int index) const { return Sections.at(static_cast<size_t>(index)); }
    const tSection* ExifSectionPtr() const { return ExifSection ? &Section(ExifSection) : nullptr; }
    const tSection* IptcSectionPtr() const { return IptcSection ? &Section(IptcSection) : nullptr; }
    const tSection* CommentSectionPtr() const { return CommentSection ? &Section(CommentSection) : nullptr; }
    const tSection* JfifSectionPtr() const { return JfifSection ? &Section(JfifSection) : nullptr; }

    int32_t BuildMode;
    std::vector<tSection> Sections; // slots 1 to SectionCount; slot 0 unused
    int32_t SectionCount = 0;
    // The picture's own size from the JPEG frame header (0 when none was met before the picture data).
    int32_t FrameWidth = 0, FrameHeight = 0;
    // How the container itself turns the picture (HEIF's irot and imir), as EXIF counts 1..8; 0 when
    // it says nothing. It stands beside the EXIF orientation, which such files may also carry.
    int32_t ContainerOrientation = 0;
    // The frame size above is the photo's, whatever the EXIF says (which is a preview's).
    bool FrameIsPhotoSize = false;
    // Slot numbers of the recognised sections; 0 for none.
    int32_t ExifSection = 0;
    int32_t IptcSection = 0;
    int32_t CommentSection = 0;
    int32_t JfifSection = 0;
    std::string PathName;
    double FileStamp = 0;   // days since 1899-12-30, local time
    int64_t FileLength = 0; // bytes
    std::string ErrorText;
    // What the readers of this photo may hold and do, set from the file's size when it is read.
    TReadBudget Budget;
    std::unique_ptr<TImageInfo> ExifReader;
    std::unique_ptr<TIPTCdata> IptcReader;
    // What the container layer found beside the EXIF: the format's short name ("JPEG", "TIFF", "HEIC",
    // ...), XMP packets in file order, the ICC profile, embedded previews, and the container's notes.
    std::string FormatName;
    std::vector<std::string> XmpPackets;
    // The XMP sidecar beside the file ("name.xmp" or "name.ext.xmp"), read by ProcessFile only.
    std::string XmpSidecar;
    std::string IccProfile;
    std::vector<TPreview> Previews;
    std::vector<std::string> ContainerNotes;
    // Where the EXIF block's TIFF header lies in the file; -1 when it lies nowhere in the file as read
    // (a structure a container decompressed or rebuilt). Places the thumbnail's bytes in the file.
    int64_t ExifFileOffset = -1;
    bool ReadingTiff = false;
    // What is added to a TIFF offset of the EXIF block to find its position in the block: 9 in a
    // JPEG's APP1 section (after the length bytes and "Exif\0\0"); for a TIFF file, whose block
    // holds the bytes from the first its directories need, 1 minus that byte's file offset.
    int64_t BlockBase = 9;

private:
    bool ProcessSource(const std::string& fileName, TByteSource* source);
    bool ReadJpeg(TByteSource& source);
    bool ReadTiff(TByteSource& source);
    bool ScanJpegSections(TByteSource& source);
    bool ScanTiff(TByteSource& source, uint64_t fileSize);
    bool ReadContainer(TScanFunction scan, TByteSource& source, uint64_t fileSize);
    bool ReadEmbeddedJpeg(TByteSource& source, TFileRegion region);
    bool ReadEmbeddedTiff(TByteSource& source, TFileRegion region);
    bool ReadBigTiff(TByteSource& source, uint64_t fileSize);
    void ReadExifStructures(const std::vector<TTiffStructure>& structures);
    void ReadContainerFields(const std::vector<TContainerField>& fields);
    void ReadMpfPreviews(std::string_view body, uint64_t bodyOffset);
    tSection& AddSection();
    void ReadTiffIptc(std::string_view datasets);
    void ReadExifHeader();
    // Where the source being read lies in the file: an embedded JPEG or TIFF is read through a view
    // of its own bytes.
    uint64_t SourceOrigin = 0;
    bool ExifWalkFailed = false; // the EXIF block's first directory could not be read
};

// The date part of a FileStamp as "yyyy-mm-dd".
std::string FormatFileDate(double stamp);

} // namespace quillmark
