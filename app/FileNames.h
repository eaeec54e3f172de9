// File names as the file system has them. Linux names are bytes; Qt holds them as text, and a name
// that is not valid UTF-8 does not survive the trip (Qt's own folder listing even leaves it out). Such a
// file is reached through a stand-in: a link with a name Qt can hold, in a folder of the viewer's own, to
// the file's real name. Everything that opens, lists or trashes a file asks here for its bytes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace quillmark {

// The bytes of a file's name on disk: the real name for a stand-in, the encoded text otherwise.
QByteArray FileNameBytes(const QString& path);
// The file's real path and its last part as the user reads them (bytes that are not UTF-8 shown as
// replacement characters).
QString DisplayPath(const QString& path);
QString DisplayFileName(const QString& path);

// The path to open for a name given as bytes (a command-line argument, a dropped file's address): the name
// itself when Qt can hold it, else a stand-in. A relative name counts from the working folder.
QString PathForNameBytes(const QByteArray& bytes);
// The command line's file arguments as paths to open. Qt decodes the arguments as UTF-8 and loses every
// name that is not: each of its decoded arguments is matched back to the argv bytes it came from.
QStringList ArgumentPaths(const QStringList& decoded, int argc, const char* const* argv);

struct TFolderEntry {
    QString Path;    // opens the file (a stand-in for a name Qt cannot hold)
    QString Caption; // the name as the user reads it
};

// The pictures of a folder, sorted by name, hidden ones included: every regular file whose first bytes
// say a picture the viewer shows (a JPEG named .jpeg or .JPG or anything else, a HEIC, a raw file), and
// every entry named like one (a damaged photo, or a folder so named, which the strip then passes over).
// folder ends with '/'.
std::vector<TFolderEntry> ListPictureEntries(const QString& folder);
inline std::vector<TFolderEntry> ListJpegEntries(const QString& folder) {
    return ListPictureEntries(folder);
}

} // namespace quillmark
