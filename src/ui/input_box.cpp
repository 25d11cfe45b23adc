#include "ui/input_box.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace orbisk {

CInputBox::CInputBox(QWidget* parent) : QDialog(parent), edit_(new QLineEdit(this)) {
    setWindowTitle(QString::fromUtf8(kCaption));
    edit_->setObjectName("1137");
    edit_->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
}

QString CInputBox::Text() const {
    return edit_->text();
}

}  // namespace orbisk
