// What kind of picture a file holds, told from its first bytes, and the decoders of the formats Qt's own
// image readers do not take (HEIF and AVIF through libheif, JPEG XL through libjxl, camera raw files through
// LibRaw, Photoshop documents read here). PictureDecoder is their only caller: the rest of the controls sees
// DecodedPicture alone.
#pragma once

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

namespace quillmark {

enum class TPictureKind { Unknown, Jpeg, Png, Gif, Bmp, Tiff, WebP, Heif, Avif, Jxl, Raw, Psd };

// The kind of picture data starting with head (the first few dozen bytes are enough; the whole file does
// no harm), as the reader's format registry (metadata/formats/Registry.h) tells it, with fileName's
// extension breaking ties between formats whose bytes look alike. Without a name, camera raw files built on
// TIFF are told from plain TIFFs by what their first directory holds (a DNG version, sub-directories with a
// camera's make); ISO base media files by their brands (a CR3, a HEIC, an AVIF, or a video: no picture).
TPictureKind SniffPicture(const QByteArray& head, const QString& fileName = QString());
// How many bytes SniffPicture wants to see for its surest answer (the reader's own sniff needs fewer: its
// kSniffBytes).
inline constexpr int kPictureSniffBytes = 4096;
// Whether a kind is a picture the viewer can try to show.
inline bool IsPictureKind(TPictureKind kind) {
    return kind != TPictureKind::Unknown;
}

// The picture types the viewer shows, for file dialogs, drops and the desktop entry: a caption, the
// extensions files of the type usually have (lower case, blank-separated) and their MIME types. Files
// are recognised by content all the same; the extensions only serve where no content is at hand.
struct TPictureType {
    const char* Caption;
    const char* Extensions;
};
const std::vector<TPictureType>& PictureTypes();
// Whether a file name ends in one of PictureTypes' extensions, in any letter case.
bool HasPictureExtension(const QString& fileName);
// Whether the file at path holds, by its first bytes, a picture the viewer shows (a regular file only).
bool FileHoldsPicture(const QString& path);

// Full decodes of large photos and panoramas go past Qt's default 256 MB allocation limit; hostile
// dimensions still stop at this one, in Qt's readers and ours.
inline constexpr int kAllocationLimitMb = 1024;

// The colour space pictures are drawn in: the screen's when it tells one, else sRGB.
QColorSpace DisplayColorSpace();
// image in the display colour space, in RGB32 or ARGB32: converted from profile when that is a valid colour
// space other than the display's (a null profile reads the image's own).
QImage ToDisplayColors(QImage image, const QColorSpace& profile = QColorSpace());

// What a decoder of another library gives: the picture, upright, in the display colour space, and the
// whole picture's upright size (a thumbnail or reduction keeps fewer pixels). A null image says why in
// Reason.
struct TCodecPicture {
    QImage Image;
    QSize Size;
    QString Reason;
    // The EXIF orientation still to apply (raw previews; 1 when Image is already upright).
    int Orientation = 1;
    // JPEG bytes of a raw file's embedded preview, when Image is to be decoded from them (Image null).
    QByteArray Preview;
    // Image (or Preview) is a thumbnail or preview the file holds, not its decoded picture.
    bool Embedded = false;
};

// Which of a HEIF's thumbnail items may stand for its picture.
enum class THeifThumbnails {
    Never,
    Covering, // one that covers the bound: a strip's cell
    StandIn,  // the largest of the photo's shape, however small: shown at once while the picture decodes
};
// HEIF or AVIF: the primary picture, turned and mirrored once by the file's own transformations (irot,
// imir), so the EXIF orientation is never applied on top. With a non-empty bound a thumbnail item is
// decoded instead, when there is one that `thumbnails` allows (Embedded; its pixels are then not reduced
// here); otherwise the picture's own pixels are reduced by the largest whole factor that still covers what
// a fitted view of bound shows. Size is always the whole picture's.
TCodecPicture DecodeHeif(const QByteArray& data, QSize bound = QSize(),
                         THeifThumbnails thumbnails = THeifThumbnails::Covering);
// JPEG XL, oriented by the codestream's own orientation.
TCodecPicture DecodeJxl(const QByteArray& data);
// A camera raw file: its largest embedded JPEG preview (Preview, with the orientation the raw records) or,
// without one, LibRaw's own decode (at half size for a non-empty bound), upright.
TCodecPicture DecodeRaw(const QByteArray& data, QSize bound = QSize(), bool previewOnly = false);
// Photoshop PSD or PSB: the merged picture the document keeps after its layers (RGB, grey, duotone, CMYK,
// indexed or bitmap; 8 or 16 bits), converted from the document's ICC profile; with a non-empty bound,
// only every so many pixels of every so many rows, still twice the bound or more. Without a merged
// picture that can be drawn, the JPEG thumbnail of the image resources (Embedded, and Reason says why),
// else a Reason alone.
TCodecPicture DecodePsd(const QByteArray& data, QSize bound = QSize());
// The EXIF orientation a raw file records; 1 when none or not a raw LibRaw reads.
int RawOrientation(const QByteArray& data);

} // namespace quillmark
