// The file commands (Save as, Recycle, the half-size copy, the clipboard, the EXIF comment), the
// dialogs and the links.
#include "MainView.h"

#include "About.h"
#include "CommentDialog.h"
#include "FileNames.h"
#include "JpegCodec.h"
#include "JpegWriter.h"
#include "Links.h"
#include "MainViewParts.h"
#include "PictureOps.h"
#include "PictureView.h"
#include "Prefetch.h"
#include "ThumbnailList.h"
#include "platform/Platform.h"

#include <QFileInfo>
#include <QLabel>

#include <fstream>
#include <iterator>

namespace quillmark {

namespace {

// The types Save as can write: any of these names gets a file of that type.
std::vector<TFileFilter> SaveAsFilters() {
    return {
        {TForm1::tr("Pictures (*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff)"),
         {"*.jpg", "*.jpeg", "*.png", "*.bmp", "*.tif", "*.tiff"}},
        {TForm1::tr("JPEG Image File (*.jpg;*.jpeg)"), {"*.jpg", "*.jpeg"}},
        {TForm1::tr("PNG Image File (*.png)"), {"*.png"}},
        {TForm1::tr("Bitmaps (*.bmp)"), {"*.bmp"}},
        {TForm1::tr("TIFF Image File (*.tif;*.tiff)"), {"*.tif", "*.tiff"}},
        {TForm1::tr("All files (*)"), {"*"}},
    };
}

// Marks the EXIF section of a photo upright (orientation 1), in place: written with pixels already
// turned as the photo is shown, any other orientation would turn them again.
void MarkUpright(TimgData& photo) {
    if (!photo.ExifReader || photo.ExifSection < 1) return;
    std::string& section = photo.Section(photo.ExifSection).Data;
    for (const TTagEntry& entry : photo.ExifReader->Entries) {
        if (entry.ListId != 0 || entry.Tag != 0x0112 || entry.FieldType != 3) continue;
        // Positions count from 1 and come from the file: one that leaves the section changes nothing.
        const int64_t at = int64_t(entry.ValueOffset) - 1;
        if (at < 0 || at + 2 > int64_t(section.size())) continue;
        section[size_t(at)] = photo.BigEndian ? '\0' : '\1';
        section[size_t(at) + 1] = photo.BigEndian ? '\1' : '\0';
    }
}

// Writes a turned JPEG photo without decoding it, asking first when its blocks do not turn whole. False
// when it cannot be turned that way (no pixels of a decoded JPEG, data TurboJPEG refuses): the caller
// then encodes the turned pixels.
bool SaveTurnedLosslessly(QWidget* parent, TimgData& photo, const TPictureHolder& picture,
                          const std::string& fileName) {
    const std::shared_ptr<const DecodedPicture> shown = picture.Decoded();
    if (!shown) return false;
    std::string original;
    {
        std::ifstream in(photo.PathName, std::ios::binary);
        original.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (original.rfind("\xFF\xD8", 0) != 0) return false;
    const TPixelTurn turn = shown->TurnFromStored();
    try {
        TLosslessChoice choice = TLosslessChoice::Whole;
        if (!JpegTransformIsWhole(original, TransformForTurn(turn)))
            choice =
                Platform().Confirm(parent, TForm1::tr("Turn without loss"),
                                   TForm1::tr("The photo's width or height is not a whole number of its "
                                              "8 or 16 pixel blocks. Cut those few pixels off its edge "
                                              "to turn it without loss?\n\nNo keeps every pixel as "
                                              "stored and records the turn in the EXIF orientation tag."))
                    ? TLosslessChoice::Trim
                    : TLosslessChoice::TagOnly;
        WriteTurnedJpeg(photo, original, turn, choice, fileName);
        return true;
    } catch (const JpegCodecError&) {
        return false;
    }
}

} // namespace

void TForm1::SaveAs() {
    const TPictureHolder& picture = PictureView1->Picture();
    // An empty view has nothing to write; asking for a name and then truncating that file would only
    // destroy whatever had the name.
    if (picture.HeldBytes().isEmpty()) {
        Platform().ShowMessage(this, tr("There is no picture to save."));
        return;
    }
    TFileDialogRequest request;
    request.Title = tr("Save photo as");
    request.FileName = LastSaveAsName;
    request.Folder = LastSaveAsName.isEmpty() ? DialogFolder() : QFileInfo(LastSaveAsName).absolutePath();
    request.Filters = SaveAsFilters();
    const QString chosen = Platform().SaveFileName(this, request);
    if (chosen.isEmpty()) return;
    LastSaveAsName = chosen;
    TBusyCursor busy;
    // A turned picture is held as a bitmap: written under a ".jpg" name it would be a BMP in disguise, so
    // it is encoded in the type the name asks for. Bytes already of that type are written unchanged.
    const QByteArray& held = picture.HeldBytes();
    if (PictureFormatOfName(chosen) == TPictureFormat::Jpeg &&
        SniffPictureFormat(held) != TPictureFormat::Jpeg && !CurrentFile.isEmpty()) {
        // A turned JPEG photo keeps its EXIF, IPTC and comment sections, marked upright and with the
        // turned picture's size; the writer replaces the target only once the whole file is written.
        TimgData photo(255);
        if (photo.ProcessFile(ToFileName(CurrentFile)) && !photo.ReadingTiff) {
            if (SaveTurnedLosslessly(this, photo, picture, FileNameBytes(chosen).toStdString())) return;
            MarkUpright(photo);
            // The shown pixels are in the screen's colours: the photo's own profile and its other
            // sections, which describe the stored picture, do not go with them.
            photo.PathName.clear();
            photo.WriteJpegFile(EncodeJpeg(ToRgbImage(picture.ToImage()), kSaveAsJpegQuality),
                                FileNameBytes(chosen).toStdString(), true);
            return;
        }
    }
    WriteFileAtomically(chosen, BytesToSave(held, picture.ToImage(), chosen));
}

void TForm1::RecyclePhoto() {
    // Nothing shown, nothing to recycle (the command is disabled then).
    if (CurrentFile.isEmpty()) return;
    PictureView1->SetPicture(nullptr);
    QString error;
    switch (RecycleFile(this, CurrentFile, error)) {
    case TTrashResult::Declined:
        // The photo stays where it is, and so do its thumbnail and its picture.
        PictureView1->Picture().LoadFile(CurrentFile);
        return;
    case TTrashResult::Failed:
        // Said out loud: the photo is still there, and so are its thumbnail and its picture.
        Platform().ShowMessage(this,
                               tr("Could not move %1 to the trash: %2").arg(DisplayPath(CurrentFile), error));
        PictureView1->Picture().LoadFile(CurrentFile);
        return;
    case TTrashResult::Moved:
    case TTrashResult::NothingToDo:
        break;
    }
    // The photo leaves the strip wherever it came from: the folder, Open Image or the command line. Next
    // and Prior then count from the gap it left: Next shows the photo that followed it.
    const int index = StripIndexOf(CurrentFile);
    if (index >= 0) ThumbnailList1->Thumbnails().DeleteThumbnail(index);
    ClearShownPhoto();
    Label1->setText(tr("Folder: "));
    Label2->setText(tr("File: "));
    gapAt_ = index;
}

void TForm1::CopyToClipboard() {
    const QImage image = PictureView1->Picture().ToImage();
    if (!image.isNull()) Platform().CopyImageToClipboard(image);
}

void TForm1::ShowCommentDialog() {
    if (frmComment) frmComment->ShowComment();
}

void TForm1::EditExifComment() {
    TImageInfo* reader = ImageData->ExifReader.get();
    if (!reader || reader->UserCommentPos == 0) {
        Platform().ShowMessage(this, tr("No EXIF comment field detected"));
        return;
    }
    const QString prompt =
        tr("Enter a new comment (limited to %1 characters )").arg(reader->UserCommentLength);
    const QString current = ToDisplay(reader->UserCommentText);
    const QString typed = Platform().InputBox(this, tr("Enter EXIF comment:"), prompt, current);
    if (typed == current) return;
    const QByteArray bytes = typed.toUtf8();
    const std::string text(bytes.constData(), size_t(bytes.size()));
    reader->SetExifComment(text);
    AddReportLine(tr("Comment set to: ") + typed);
    reader->UserCommentText = text;
}

void TForm1::WriteSmallCopy() {
    QString proposed = FromFileName(ImageData->PathName);
    proposed.chop(4);
    proposed += QStringLiteral("_smaller.jpg");
    TFileDialogRequest request;
    request.Title = tr("Write small copy");
    request.FileName = proposed;
    request.Folder = QFileInfo(proposed).absolutePath();
    request.Filters = {{tr("JPEG Image File (*.jpg)"), {QStringLiteral("*.jpg")}}};
    const QString chosen = Platform().SaveFileName(this, request);
    if (chosen.isEmpty()) return;
    TBusyCursor busy;
    const TEncodedJpeg small =
        EncodeJpeg(HalfSize(DecodeJpegFile(ImageData->PathName)), kSmallCopyJpegQuality);
    ImageData->ClearSections();
    ImageData->WriteJpegFile(small, ToFileName(chosen), true);
}

void TForm1::ExitProgram() {
    // Photos decoded ahead are of no more use; one being decoded is dropped when it ends.
    if (Prefetch) Prefetch->Cancel();
    close();
}

void TForm1::OpenHomePage() {
    if (!Platform().OpenUrl(HomePageUrl()))
        Platform().ShowMessage(this, tr("No web browser could open %1.").arg(HomePageUrl()));
}

void TForm1::OpenAuthorSite() {
    if (!Platform().OpenUrl(AuthorSiteUrl()))
        Platform().ShowMessage(this, tr("No web browser could open %1.").arg(AuthorSiteUrl()));
}

void TForm1::ShowAboutBox() {
    if (AboutBox) AboutBox->exec();
}

void TForm1::ShowProductAboutBox() {
    // The same box as Help > About: this program's name and the version its command line prints.
    ShowAboutBox();
}

} // namespace quillmark
