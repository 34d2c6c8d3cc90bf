#include "windows/phone_link_dialog.h"

#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "control/qr_code.h"

namespace plenvo {

namespace {

constexpr int kModulePixels = 6;
constexpr int kQuiet = 4;

QImage code_image(const QString& link)
{
    const std::vector<std::vector<bool>> code = control::qr_code(link.toStdString());
    const int side = int(code.size()) + 2 * kQuiet;
    QImage image(side, side, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (size_t y = 0; y < code.size(); ++y)
        for (size_t x = 0; x < code.size(); ++x)
            if (code[y][x])
                image.setPixel(int(x) + kQuiet, int(y) + kQuiet, 1);
    return image.scaled(side * kModulePixels, side * kModulePixels);
}

}  // namespace

PhoneLinkDialog::PhoneLinkDialog(const QString& link, QWidget* parent) : QDialog(parent), code_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Plenvo on a phone or tablet"));
    code_->setPixmap(QPixmap::fromImage(code_image(link)));
    code_->setAccessibleName(QStringLiteral("QR code of the page's link"));
    auto* text = new QLabel(QStringLiteral("Point the phone's camera at the code, or open this link:"), this);
    auto* shown = new QLabel(link, this);
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    shown->setAccessibleName(QStringLiteral("The page's link"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(code_, 0, Qt::AlignHCenter);
    layout->addWidget(shown);
    layout->addWidget(buttons);
}

}  // namespace plenvo
