// TAboutBox: names the product and its version. It is made once at start and reused, so its labels keep
// what was last written into them.
#pragma once

#include <QDialog>
#include <QSize>

#include <functional>

class QLabel;
class QPushButton;

namespace quillmark {

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    // versionText gives the main window's version each time the box is shown.
    explicit TAboutBox(std::function<QString()> versionText, QWidget* parent = nullptr);

    // "Version:  " + version and "Product:  " + product. Showing the box writes the version label again.
    void SetProductInfo(const QString& product, const QString& version);

    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    static constexpr QSize kSize{309, 307};
    void FitContents();
    std::function<QString()> versionText_;
};

} // namespace quillmark
