#include "CommentDialog.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillmark {

TfrmComment::TfrmComment(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmComment"));
    setWindowTitle(tr("Comment"));
    setFixedSize(484, 318);
    setModal(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* banner = new QFrame(this);
    banner->setObjectName(QStringLiteral("Panel1"));
    banner->setFrameShape(QFrame::StyledPanel);
    auto* bannerLayout = new QHBoxLayout(banner);
    auto* title = new QLabel(tr("JPEG comment of the photo"), banner);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    bannerLayout->addWidget(title);
    layout->addWidget(banner);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The comment is shown, not edited here: text typed into it could not be kept, and the next photo's
    // comment would take its place unsaved.
    Memo1->setReadOnly(true);
    layout->addWidget(Memo1, 1);

    auto* bottom = new QFrame(this);
    bottom->setObjectName(QStringLiteral("Panel2"));
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->addStretch(1);
    Button1 = new QPushButton(tr("Close"), bottom);
    Button1->setObjectName(QStringLiteral("Button1"));
    // The button closes the dialog, as its caption promises.
    connect(Button1, &QPushButton::clicked, this, &QDialog::close);
    bottomLayout->addWidget(Button1);
    layout->addWidget(bottom);
}

void TfrmComment::ShowComment() {
    show();
    raise();
    activateWindow();
}

} // namespace quillmark
