#pragma once
#include <QPushButton>

namespace orbisk {

// The Upgrade button, drawn by hand. Live (enabled), it is raised: green as Upgrade, amber as
// Stop while an update runs. Disabled, it is etched and greyed as any disabled button, so it
// never looks as if a press would do something; without a camera its caption is grey too.
class UpgradeButton : public QPushButton {
    Q_OBJECT
  public:
    explicit UpgradeButton(QWidget* parent);
    void SetLook(bool device_present);
    bool device_present() const { return device_present_; }
    bool raised() const { return isEnabled(); }
    // The fill as drawn now.
    QColor Fill() const;

    static constexpr QRgb kGreen = 0xFF00FF00;
    static constexpr QRgb kAmber = 0xFFFFB040;
    static constexpr QRgb kGreyCaption = 0xFF808080;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool device_present_ = false;
};

}  // namespace orbisk
