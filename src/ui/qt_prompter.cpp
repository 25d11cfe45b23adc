#include "ui/qt_prompter.h"

#include <QMessageBox>

#include "ui/input_box.h"

namespace orbisk {

void QtPrompter::Message(const std::string& caption, const std::string& text, Icon icon) {
    const QMessageBox::Icon shown = icon == Icon::kError     ? QMessageBox::Critical
                                    : icon == Icon::kWarning ? QMessageBox::Warning
                                                             : QMessageBox::Information;
    QMessageBox box(shown, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

bool QtPrompter::Confirm(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok | QMessageBox::Cancel, parent_);
    return box.exec() == QMessageBox::Ok;
}

bool QtPrompter::AskYesNo(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtPrompter::AskPassPhrase() {
    CInputBox box(parent_);
    if (box.exec() != QDialog::Accepted) return std::nullopt;
    return box.Text().toStdString();
}

}  // namespace orbisk
