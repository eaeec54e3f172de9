// Opening what is dropped on the main window: photos and folders dragged from a file manager.
//
// One photo is opened as File > Open Image opens it (shown, and added to the strip); several photos are
// all added to the strip and the first is shown; a folder fills the strip as File > Open Folder does.
// Photos and folders dropped together open the photos only: adding to the strip loses nothing, while a
// folder would empty the strip first.
#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

namespace quillmark {

class TForm1;

// What a drop asks the window to open.
struct TDroppedItems {
    // Local files of a type the viewer opens, in the order they were dropped.
    QStringList Photos;
    // The first local folder of the drop; used only when the drop holds no photo.
    QString Folder;

    bool IsEmpty() const { return Photos.isEmpty() && Folder.isEmpty(); }
};

// True for a file name whose extension (in any letter case) is one of the Open Image dialog's: the picture
// types the viewer shows. A dropped file named otherwise is opened when its first bytes say a picture.
bool IsPictureFileName(const QString& fileName);

// Sorts a drop's URLs into photos and a folder. Anything that is not a local file or folder that exists
// (a web address, a deleted file, a text file) is left out.
TDroppedItems ReadDrop(const QMimeData* data);

// Opens the items in the window, each step inside the window's command handling so that a failure is
// reported like any command's.
void OpenDropped(TForm1& form, const TDroppedItems& items);

// Lets the window take drops: it accepts a drag that carries something it can open, and opens it once
// the drop is over.
void AcceptDroppedFiles(TForm1& form);

} // namespace quillmark
