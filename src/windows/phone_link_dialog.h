#pragma once

#include <QDialog>

class QLabel;

namespace plenvo {

// The web page's link for a phone: a QR code for its camera, and the link
// as text to copy.
class PhoneLinkDialog final : public QDialog {
    Q_OBJECT
public:
    PhoneLinkDialog(const QString& link, QWidget* parent);

    QLabel* code() const { return code_; }

private:
    QLabel* code_;
};

}  // namespace plenvo
