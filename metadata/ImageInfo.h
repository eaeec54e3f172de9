// The EXIF directory walk: IFD0 and every directory it leads to, the entry lists, the values other
// parts need directly, and the reports built from them.
#pragma once

#include "ByteOrder.h"
#include "MakerTables.h"
#include "ReadBudget.h"
#include "TagEntry.h"

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark {

class TimgData;

// What to build while walking: trace texts, entry lists, or both.
enum BuildModes : int32_t { bmTrace = 2, bmLists = 4, bmBoth = 255 };

class TImageInfo : public tEndInd {
public:
    TImageInfo(TimgData* owner, int32_t buildMode);
    virtual ~TImageInfo() = default;
    TImageInfo(const TImageInfo&) = delete;
    TImageInfo& operator=(const TImageInfo&) = delete;

    // Index of the first entry whose name matches, ignoring case; -1 if none. With a list id (0: the
    // directory walk's, 1: the maker note's) only that list is searched: a maker note may name an
    // entry as the EXIF tables do ("WhiteBalance") and mean something else by it.
    static constexpr int32_t kAnyList = -1;
    virtual int LookupTagIndex(std::string_view name, int32_t listId = kAnyList) const;
    // Text of that entry; empty if none.
    virtual std::string LookupTagValue(std::string_view name, int32_t listId = kAnyList) const;
    // The photo's own facts: look-ups in the directory walk's entries.
    std::string ExifValue(std::string_view name) const { return LookupTagValue(name, 0); }

    // Walks one directory at a 1-based position; kind 1 main table, 2 GPS, 4 thumbnail directory.
    void ReadDirectory(int64_t position, int64_t base, int64_t length, int kind);
    // The same for a directory that is not IFD0 by its place (a container keeps the EXIF directory as
    // a TIFF structure of its own): its entries are of `group`.
    void ReadDirectoryAs(int64_t position, int64_t base, int64_t length, int kind, TTagGroup group);
    // Walks the thumbnail directory (IFD1). False when it could not be read.
    bool ReadThumbnailDirectory();
    // The derived 35 mm equivalent focal length, added as an entry unless the photo carries one.
    void ComputeFocalLength35();

    // Walks one maker-note directory with a maker's table (MakerNotes.cpp): S is the directory's
    // offset in the maker note, B adjusts value offsets. Values are read from the note only.
    void WalkMakerDirectory(const std::string& makerNote, std::span<const TTagRow> table, int32_t S,
                            int32_t B, std::span<const TMakerSubDirectory> subDirectories = {});
    // The entries of one maker directory at 1-based position D of the note; a value offset o lies at
    // o + base. Entries not in table are left out when listedOnly; sub-directories are read one level deep.
    void WalkMakerEntries(const tEndInd& note, int64_t D, int64_t base, std::span<const TTagRow> table,
                          std::span<const TMakerSubDirectory> subDirectories, bool listedOnly);
    // Formats one maker entry found at V, adds its trace line and, for a row of the table, its entry.
    void ListMakerEntry(uint16_t tag, uint16_t type, std::string_view raw, int64_t V, const TTagRow* row,
                        const std::string& caption);

    // An entry made by a maker decoder (list 1). `tag` is the parent tag, so the entry is kept.
    int AddMakerItem(const std::string& name, const std::string& value, uint16_t fieldType, uint16_t tag);
    // Append the entry when its Tag is not 0 and the photo's limits allow; the index of the last
    // entry. Taken by value so that the walk hands over the entry it has just built instead of
    // copying its seven strings. Every walk stores through these, so one budget holds for all.
    int AddEntry(TTagEntry entry);
    int AddThumbEntry(TTagEntry entry);
    // The part of a value worth copying for an entry about to be stored: all of it while the
    // budget keeps whole values, a short head beyond it (AddEntry cuts to the same).
    std::string_view KeptBytes(std::string_view bytes) const;
    // Trace text counts against the same budget: whether `bytes` more would fit.
    bool KeepsTrace(size_t bytes) const;
    // Appends a line to one of the traces, charging what the trace grows by; once the budget is
    // spent the trace ends with the note that it was cut, and grows no more.
    void AppendTrace(std::string& trace, std::string_view line);
    // The bytes this photo's readers hold, as charged to the budget.
    int64_t KeptTotal() const;
    // The budget every reader of the photo charges: the container's, or the reader's own when it
    // has none.
    TReadBudget& Budget();
    const TReadBudget& Budget() const;

    void ResetEntryCursor() { EntryCursor = 0; }
    bool NextEntry(int32_t listId, TTagEntry& entry);
    void ResetThumbCursor() { ThumbCursor = 0; }
    bool NextThumbEntry(int32_t listId, TTagEntry& entry);

    double NumberOf(std::string_view name) const;
    int32_t RoundedNumberOf(std::string_view name) const;
    bool HasThumbnail() const { return ThumbnailStart > 21 && ThumbnailLength > 256; }

    // Changes made in place in the container's EXIF section bytes, carried into a file only by
    // TimgData::WriteJpegFile (JpegWriter.cpp). No directory is rebuilt and no value grows.
    void SetDimensions(int32_t newHeight, int32_t newWidth);
    void SetExifComment(const std::string& text);
    bool WriteTagValue(std::string_view name, const std::string& value);
    void PutLong(int32_t value, int32_t position);

    // The long summary (one fact per line) and the one-line short summary.
    std::string SummaryText() const;
    std::string ShortSummaryText() const;
    // The photo's width and height: as its directories record them, else (a JPEG whose directories
    // do not) as its frame header says.
    std::pair<int32_t, int32_t> PhotoSize() const;

    // The value bytes of a field at a 1-based position of the EXIF block (never outside it).
    std::string_view BlockBytes(int64_t position, int64_t length) const;

    TimgData* Owner;
    int32_t BuildMode;
    bool FromTiff = false;

    std::vector<TTagEntry> Entries;
    std::vector<TTagEntry> ThumbEntries;
    int32_t EntryCursor = 0;
    int32_t ThumbCursor = 0;

    std::string Trace;
    std::string MakerTrace;
    std::string ThumbTrace;

    std::string ExifVersionText;
    std::string CameraMake;
    std::string CameraModel;
    std::string DateTimeText;
    // The photo's size as its directories record it; the entries met last give Width and Height.
    int32_t Width = 0, Height = 0;
    int32_t WidthPos = 0, HeightPos = 0;
    uint16_t WidthType = 0, HeightType = 0; // field types of the entries behind WidthPos, HeightPos
    // Every field that records the photo's width or height (ImageWidth, ExifImageWidth, ...), for a
    // change of size to reach them all.
    struct TDimensionField {
        int32_t Position; // of the entry's value field
        uint16_t Type;
    };
    std::vector<TDimensionField> WidthFields, HeightFields;
    int32_t FlashValue = 0;
    std::string MakerNoteRaw;
    int32_t MakerNotePos = 0;
    bool MakerNoteDecoded = false;
    // Where a maker note's value offsets count from, as a position in the note, when the container
    // says so (a DNG's copy of the original file's note); unset, the layout and the shift search say.
    std::optional<int64_t> MakerValueBase;
    std::string UserCommentText;
    int32_t UserCommentPos = 0, UserCommentLength = 0;
    int32_t DateTimePos = 0, DateTimeOriginalPos = 0, DateTimeDigitizedPos = 0;
    int32_t ThumbnailStart = 0;
    int32_t ThumbnailLength = 0;
    int32_t ThumbCompression = 0;

    // Limits that no real photo comes near; they keep a hostile file from making the walk endless
    // or its memory unbounded.
    static constexpr int kMaxDepth = 12;
    static constexpr int kMaxDirectories = 256;
    // Entries read and entries stored per photo, maker-note entries and decoded items included.
    static constexpr int64_t kMaxEntries = 100000;
    // Beyond half the budget (ReadBudget.h) each further entry keeps only a short head of its
    // value and text.
    static constexpr size_t kOverBudgetKeep = TReadBudget::kOverBudgetKeep;

private:
    bool BuildsTrace() const;
    bool BuildsLists() const { return BuildMode == bmLists || BuildMode == bmBoth; }
    void ReadEntry(int64_t entryPos, int64_t base, int64_t length, int kind);
    void ReadSubDirectory(int64_t valuePos, int64_t base, int64_t length, int kind);
    void RecordDimension(int32_t& value, int32_t& position, uint16_t& fieldType,
                         std::vector<TDimensionField>& fields, int64_t fieldPos, uint16_t type,
                         std::string_view bytes);
    void HandOffMakerNote(std::string_view bytes, int64_t valuePos);
    bool Admits(TTagEntry& entry, const std::vector<TTagEntry>& list);
    // Notes once per list (0: the directory walk's, 1: the maker note's), as an entry of that list,
    // that the budget cut what follows.
    void NoteCut(int32_t listId);
    std::string TraceLine(uint16_t tag, const std::string& caption, const std::string& text, int64_t size,
                          int64_t start) const;

    // Directories already read, as (base, position): each is read at most once.
    std::set<std::pair<int64_t, int64_t>> Visited;
    int Depth = 0;
    bool ReducedImage = false;    // the directory being read holds a reduced-resolution image
    TTagGroup WalkGroup = tgIFD0; // the directory being walked, for the entries' Group
    int DirectoriesRead = 0;
    int64_t EntriesRead = 0;
    // Maker notes already walked, by their position in the block; and the maker directories read,
    // as (note position, directory position in the note): a note or directory that many entries
    // point at is walked once.
    std::set<int64_t> MakerNotesWalked;
    // Set while a maker directory's own entry is stored: its tag 0 is a tag, not the empty entry.
    bool TagZeroIsReal = false;
    std::set<std::pair<int64_t, int64_t>> MakerVisited;
    std::optional<bool> ThumbnailRead; // set once the thumbnail directory was read: whether it could be
    bool TraceCut = false;
    bool CutNoted[2] = {false, false};
    TReadBudget OwnBudget; // for a reader without a container
};

} // namespace quillmark
