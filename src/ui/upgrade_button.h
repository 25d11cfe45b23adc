#pragma once
#include <QPushButton>

namespace orbisk {

// The Upgrade button, drawn by hand: green with a raised edge when a camera is present and the
// dialog idle, an etched edge otherwise, grey caption without a camera.
class UpgradeButton : public QPushButton {
    Q_OBJECT
  public:
    explicit UpgradeButton(QWidget* parent);
    void SetLook(bool device_present, bool busy);
    bool device_present() const { return device_present_; }
    bool raised() const { return device_present_ && !busy_; }

    static constexpr QRgb kGreen = 0xFF00FF00;
    static constexpr QRgb kGreyCaption = 0xFF808080;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool device_present_ = false;
    bool busy_ = false;
};

}  // namespace orbisk
