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

// The entries of a folder whose names end in ".jpg" in any letter case, hidden ones and folders
// included, sorted by name. folder ends with '/'.
std::vector<TFolderEntry> ListJpegEntries(const QString& folder);

} // namespace quillmark
