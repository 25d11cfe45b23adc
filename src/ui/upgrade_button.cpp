#include "ui/upgrade_button.h"

#include <qdrawutil.h>

#include <QPainter>

namespace orbisk {

UpgradeButton::UpgradeButton(QWidget* parent) : QPushButton("Upgrade", parent) {}

void UpgradeButton::SetLook(bool device_present, bool busy) {
    if (device_present == device_present_ && busy == busy_) return;
    device_present_ = device_present;
    busy_ = busy;
    update();
}

void UpgradeButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = rect();
    painter.fillRect(area,
                     device_present_ ? QColor::fromRgb(kGreen) : palette().color(QPalette::Window));
    if (raised()) {
        qDrawWinPanel(&painter, area, palette(), false);
    } else {
        qDrawShadeRect(&painter, area, palette(), true, 1, 0);  // etched
    }
    QFont font("Arial");
    // 28 units as drawn on the old dialog, made smaller until the caption fits the button.
    int size = std::min(28, std::max(8, area.height() - 6));
    for (font.setPixelSize(size); size > 8; font.setPixelSize(--size))
        if (QFontMetrics(font).horizontalAdvance(text()) <= area.width() - 6) break;
    painter.setFont(font);
    painter.setPen(device_present_ ? palette().color(QPalette::ButtonText)
                                   : QColor::fromRgb(kGreyCaption));
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, text());
}

}  // namespace orbisk
