// Whole-picture work of the viewer: exact quarter and half turns, the half-size copy, the file formats
// Save as writes, and writing a file so that a failure leaves the old one in place.
#pragma once

#include "JpegCodec.h"
#include "PictureTurn.h"
#include "platform/Platform.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <stdexcept>

namespace quillmark {

// A picture file could not be made or written; the message says which and why.
class TPictureFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A BMP file in memory (24 bits per pixel for a picture without alpha).
QByteArray EncodeBmp(const QImage& picture);

enum class TPictureFormat { Unknown, Jpeg, Png, Bmp, Gif, Tiff };

// The format whose signature the bytes begin with.
TPictureFormat SniffPictureFormat(const QByteArray& bytes);
// The format a file name's extension names, in any letter case.
TPictureFormat PictureFormatOfName(const QString& fileName);
QString PictureFormatCaption(TPictureFormat format);

// Quality of a JPEG made by Save as from a picture that was not a JPEG already (a turned photo): high,
// because the picture was most likely a JPEG before and is being encoded a second time.
inline constexpr int kSaveAsJpegQuality = 95;
// Quality of the half-size copy.
inline constexpr int kSmallCopyJpegQuality = 75;

// Encodes a picture: JPEG through libjpeg at kSaveAsJpegQuality, PNG, BMP and TIFF through Qt's writers.
// TPictureFileError for a null picture or a format that cannot be written (GIF, Unknown).
QByteArray EncodePicture(const QImage& picture, TPictureFormat format);

// What Save as writes under fileName: the held bytes unchanged when the name's extension names no known
// format or the format they are already in; otherwise the shown picture encoded in the named format.
QByteArray BytesToSave(const QByteArray& held, const QImage& shown, const QString& fileName);

// Writes bytes to a temporary file beside fileName and puts it in its place only once it is complete, so
// a failure leaves an existing file as it was. TPictureFileError names the file and the reason.
void WriteFileAtomically(const QString& fileName, const QByteArray& bytes);

class TimgData;

// The transform of a JPEG's blocks that repeats turn (mirror first, then quarter turns clockwise).
TJpegTransform TransformForTurn(TPixelTurn turn);
// The EXIF orientation whose upright turn is turn.
int OrientationForTurn(TPixelTurn turn);
// Sets every EXIF orientation tag (a SHORT of the first directory) of a photo read into photo, in place;
// false when it has none.
bool SetOrientationTag(TimgData& photo, int orientation);

// How Save as writes a JPEG photo shown turned by turn from its stored pixels.
enum class TLosslessChoice {
    Whole,   // the blocks turn whole: no question
    Trim,    // cut the partial blocks off the edges the turn moves
    TagOnly, // keep the pixels as stored and record the turn in the orientation tag
};
// Writes the JPEG photo read into photo (its file's bytes are original) turned as turn says, without
// decoding it: the blocks turned by TurboJPEG (trimmed when choice says Trim), the EXIF orientation set to 1
// and the EXIF thumbnail turned too; or, for TagOnly, the picture data as it is with the orientation tag
// saying the turn (a photo without that tag is trimmed instead). Every other section is kept
// (TimgData::WriteJpegFile). JpegCodecError when TurboJPEG cannot turn the picture, WriteError when the file
// cannot be written.
void WriteTurnedJpeg(TimgData& photo, const std::string& original, TPixelTurn turn, TLosslessChoice choice,
                     const std::string& fileName);
// The picture data of a JPEG file: SOI, then everything from its first section that is neither APPn nor
// a comment (tables, frame, scans) to the end.
std::string JpegPictureStream(std::string_view jpeg);

// The type list of the Open Image dialog: every picture type the viewer shows, together first (selected)
// and then one by one.
std::vector<TFileFilter> OpenImageFilters();

// Conversions between Qt pictures and the codec's RGB pixels.
TRgbImage ToRgbImage(const QImage& picture);
QImage FromRgbImage(const TRgbImage& image);

// The half-size copy's picture: half the width and half the height (a remainder dropped), the whole
// picture smoothly stretched into it. TPictureFileError for a picture with a side under 2 pixels.
TRgbImage HalfSize(const TRgbImage& image);

} // namespace quillmark
