#include "About.h"

#include "Links.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace quillmark {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

TAboutBox::TAboutBox(std::function<QString()> versionText, QWidget* parent)
    : QDialog(parent), versionText_(std::move(versionText)) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(tr("About"));
    setFixedSize(kSize);

    auto* layout = new QVBoxLayout(this);

    auto* banner = new QWidget(this);
    banner->setObjectName(QStringLiteral("Panel1"));
    auto* bannerLayout = new QHBoxLayout(banner);
    auto* programIcon = MakeLabel(banner, "ProgramIcon", QString());
    programIcon->setPixmap(QIcon(QStringLiteral(":/icons/quillmark.png")).pixmap(48, 48));
    programIcon->setFixedSize(52, 52);
    bannerLayout->addWidget(programIcon);
    auto* names = new QVBoxLayout;
    ProductName = MakeLabel(banner, "ProductName", QStringLiteral("Quillmark"));
    QFont productFont(QStringLiteral("Serif"));
    productFont.setStyleHint(QFont::Serif);
    productFont.setPointSize(18);
    ProductName->setFont(productFont);
    names->addWidget(ProductName);
    Version = MakeLabel(banner, "Version", tr("Version "));
    QFont bold = Version->font();
    bold.setBold(true);
    Version->setFont(bold);
    names->addWidget(Version);
    bannerLayout->addLayout(names, 1);
    layout->addWidget(banner);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    layout->addWidget(bevel);

    layout->addWidget(MakeLabel(this, "Copyright", tr("Copyright \u00A9 2026 the Quillmark developers")));
    layout->addWidget(MakeLabel(this, "Comments", tr("Written by the Quillmark developers in Bern")));
    layout->addSpacing(8);
    auto* updates =
        MakeLabel(this, "Label2", tr("Check the website for updates and additional information."));
    updates->setWordWrap(true);
    layout->addWidget(updates);

    // The addresses are shown as text only: none of the labels reacts to a click.
    QFont underlined = font();
    underlined.setUnderline(true);
    for (const auto& [name, address] :
         {std::pair{"Label1", AuthorSiteUrl()}, std::pair{"Label6", AuthorSocialUrl()}}) {
        auto* label = MakeLabel(this, name, address);
        label->setFont(underlined);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        label->setVisible(!address.isEmpty()); // no line for an address the authors do not have
        layout->addWidget(label);
    }
    layout->addStretch(1);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

void TAboutBox::SetProductInfo(const QString& product, const QString& version) {
    Version->setText(tr("Version:  ") + version);
    ProductName->setText(tr("Product:  ") + product);
    FitContents();
}

void TAboutBox::FitContents() {
    // The box keeps its size unless a text would be cut off: then it grows to show the whole text.
    setFixedSize(kSize.expandedTo(layout()->totalSizeHint()));
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Always this program's name and the version its command line prints, whatever was set before.
    ProductName->setText(QStringLiteral("Quillmark"));
    Version->setText(tr("version: ") + (versionText_ ? versionText_() : QString()));
    FitContents();
    // Centred on the screen, not on the main window.
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

} // namespace quillmark
