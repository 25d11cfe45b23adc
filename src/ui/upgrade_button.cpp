#include "ui/upgrade_button.h"

#include <qdrawutil.h>

#include <QPainter>

namespace orbisk {

UpgradeButton::UpgradeButton(QWidget* parent) : QPushButton("Upgrade", parent) {}

void UpgradeButton::SetLook(bool device_present) {
    if (device_present == device_present_) return;
    device_present_ = device_present;
    update();
}

QColor UpgradeButton::Fill() const {
    if (!isEnabled()) return palette().color(QPalette::Disabled, QPalette::Button);
    return QColor::fromRgb(text() == "Stop" ? kAmber : kGreen);
}

void UpgradeButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area, Fill());
    if (raised()) {
        qDrawWinPanel(&painter, area, palette(), isDown());
    } else {
        qDrawShadeRect(&painter, area, palette(), true, 1, 0);  // etched
    }
    QFont font("Arial");
    // 28 units as drawn on the old dialog, made smaller until the caption fits the button.
    int size = std::min(28, std::max(8, area.height() - 6));
    for (font.setPixelSize(size); size > 8; font.setPixelSize(--size))
        if (QFontMetrics(font).horizontalAdvance(text()) <= area.width() - 6) break;
    painter.setFont(font);
    QColor caption = palette().color(QPalette::Active, QPalette::ButtonText);
    if (!isEnabled()) caption = palette().color(QPalette::Disabled, QPalette::ButtonText);
    if (!device_present_) caption = QColor::fromRgb(kGreyCaption);
    painter.setPen(caption);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text());
}

}  // namespace orbisk
