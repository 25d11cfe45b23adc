#pragma once
#include <QDialog>
#include <QString>

class QLineEdit;

namespace orbisk {

// The box in which the operator types the pass phrase for a second OTP programming run. The
// field is masked: the phrase is a secret and must not be readable over the operator's shoulder.
class CInputBox : public QDialog {
    Q_OBJECT
  public:
    explicit CInputBox(QWidget* parent = nullptr);
    QString Text() const;
    QLineEdit* edit() const { return edit_; }

    static constexpr const char* kCaption = "请輸入密碼才能進行二次燒錄";

  private:
    QLineEdit* edit_;
};

}  // namespace orbisk
