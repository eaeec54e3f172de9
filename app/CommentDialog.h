// TfrmComment: shows the JPEG comment of the shown photo (nothing when it has none), read-only. It is made
// once at start and only shown and hidden afterwards; it does not stop the main window from being used.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace quillmark {

class TfrmComment : public QDialog {
    Q_OBJECT

public:
    explicit TfrmComment(QWidget* parent = nullptr);

    // Shows the dialog without waiting for it to close.
    void ShowComment();

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;
};

} // namespace quillmark
