// The desktop's trash as freedesktop.org describes it: a file goes to the trash of its own file system
// (the home trash under the data home, or a top folder's .Trash/UID or .Trash-UID), with an info file
// that says where it came from and when it left, so that file managers can list and restore it. A file
// that cannot go to a trash on its own file system stays where it is: it is never copied elsewhere.
#pragma once

#include <QByteArray>
#include <QString>

namespace quillmark {

// Moves the file at path (its name's bytes) to the trash; on failure false, error tells why, and the
// file has not moved.
bool MoveToDesktopTrash(const QByteArray& path, QString& error);

} // namespace quillmark
