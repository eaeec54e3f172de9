// What the files of the main window share: conversions at the window's edge and its own icons.
#pragma once

#include "TextEncoding.h"

#include <QFile>
#include <QIcon>
#include <QString>

class QTableWidget;
class QWidget;

#include <string>
#include <string_view>

namespace quillmark {

// Reader texts are 8-bit; they become Unicode only here, at the window's edge.
QString ToDisplay(std::string_view text, TControls keep = TControls::None);

// File names for the reader, which opens files by their bytes.
std::string ToFileName(const QString& path);
QString FromFileName(const std::string& path);

// One of our own icons with both its drawings, so that it stays sharp on a high-density screen even when
// the window was first shown on an ordinary one.
QIcon ResourceIcon(const char* name);

// A metadata list of two columns, "Item" and "Details", that the user can widen, and whose cells show
// their whole text in a tooltip when they cut it off.
QTableWidget* MakeValueList(QWidget* parent, const char* name);

} // namespace quillmark
