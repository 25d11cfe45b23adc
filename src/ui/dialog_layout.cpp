// The main dialog's controls and their layout. Sizes come from the template's dialog units,
// measured in the window's own font, so the window keeps its proportions at any font size or
// DPI; the rows the operator needs only in some modes (loop count, camera list) are shown
// by the layout, which grows the window to hold them.
#include <QBoxLayout>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

#include "ui/main_dialog.h"
#include "ui/upgrade_button.h"

namespace orbisk {
namespace {

// Dialog units of the template in pixels of `font`: a horizontal unit is a quarter of the
// average character width, a vertical one an eighth of the character height.
QSize Dlu(const QFont& font, int width, int height) {
    const QFontMetrics metrics(font);
    return QSize((width * metrics.averageCharWidth() + 3) / 4, (height * metrics.height() + 7) / 8);
}

template <typename Widget>
Widget* Item(Widget* widget, const char* item) {
    widget->setObjectName(item);
    return widget;
}

// Controls of the template that lie outside its visible area: they exist and are kept up to
// date, but the operator never sees them.
template <typename Widget>
Widget* Unseen(Widget* widget, const char* item) {
    Item(widget, item)->hide();
    return widget;
}

QIcon MakeIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setBrush(QColor(0, 160, 0));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(2, 6, 28, 20, 4, 4);
    painter.setBrush(Qt::white);
    painter.drawEllipse(10, 10, 12, 12);
    return QIcon(pixmap);
}

}  // namespace

void CTessaly_AllInOne_OvproxyDlg::BuildControls() {
    setWindowTitle(kTitle);
    setWindowIcon(MakeIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, true);
    const QFont& font = this->font();

    progress_ = Item(new QProgressBar(this), "1191");
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->setMinimumSize(Dlu(font, 269, 16));
    upgrade_ = Item(new UpgradeButton(this), "1003");
    upgrade_->setMinimumSize(Dlu(font, 46, 16));
    version_ = Item(new QLabel("Ver: ", this), "1030");
    version_->setMinimumWidth(Dlu(font, 122, 0).width());
    auto* status_label = Item(new QLabel("Status: ", this), "1189");
    status_ = Item(new QLabel("Static", this), "1033");
    // The status line keeps its width whatever it says, so the window does not jump sideways;
    // a long text wraps, and the window grows by the lines it needs.
    status_->setMinimumWidth(Dlu(font, 237, 0).width());
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status_->setWordWrap(true);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    status_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    result_ = Item(new QLabel("N/A", this), "1016");
    result_->setAlignment(Qt::AlignCenter);
    QFont result_font = result_->font();
    result_font.setPixelSize(24);
    result_font.setWeight(QFont::Bold);
    result_->setFont(result_font);
    result_->setMinimumSize(
        Dlu(font, 45, 25)
            .expandedTo(QFontMetrics(result_font).size(Qt::TextSingleLine, "FAIL") + QSize(8, 4)));

    auto* grid = new QGridLayout;
    grid->addWidget(progress_, 0, 0, 1, 2);
    grid->addWidget(upgrade_, 0, 2);
    grid->addWidget(version_, 1, 0, 1, 2);
    grid->addWidget(result_, 1, 2, 2, 1);
    grid->addWidget(status_label, 2, 0);
    grid->addWidget(status_, 2, 1);
    grid->setColumnStretch(1, 1);
    // The template's spacing: 4 units between controls, its margins around them.
    const QSize gap = Dlu(font, 4, 4);
    grid->setHorizontalSpacing(gap.width());
    grid->setVerticalSpacing(gap.height());

    auto* window = new QVBoxLayout(this);
    const QSize side = Dlu(font, 9, 10);
    window->setContentsMargins(side.width(), side.height(), side.width(), side.height());
    window->setSpacing(gap.height());
    window->addLayout(grid);
    loop_row_ = BuildLoopRow();
    window->addWidget(loop_row_);
    camera_row_ = BuildCameraRow();
    window->addWidget(camera_row_);
    // The image file Upgrade writes, once the operator chose one instead of the carried image.
    image_file_ = Item(new QLabel(this), "image");
    image_file_->setWordWrap(true);
    image_file_->setMinimumWidth(Dlu(font, 237, 0).width());
    image_file_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    image_file_->hide();
    window->addWidget(image_file_);
    // The window is always as large as its visible rows need, and no larger.
    window->setSizeConstraint(QLayout::SetFixedSize);

    path_ = Unseen(new QLineEdit(this), "1000");
    path_->setReadOnly(true);
    Unseen(new QPushButton("Browser", this), "1001");
    get_version_ = Unseen(new QPushButton("Get Version", this), "1004");
    serial_ = Unseen(new QLabel("Static", this), "1028");
    chip_ = Unseen(new QLabel("N/A", this), "1069");
    chip_name_ = Unseen(new QLabel("N/A", this), "1143");
    chip_text_ = Unseen(new QLabel("N/A", this), "1137");
    fw_label_ = Unseen(new QLineEdit("N/A", this), "1188");

    connect(upgrade_, &QPushButton::clicked, this, [this] { OnBnClickedButtonStart(); });
    connect(get_version_, &QPushButton::clicked, this, [this] { OnBnClickedGetVersion(); });
    // activated: the operator's choice only, never the list refresh's own selection.
    connect(devices_, &QComboBox::activated, this, [this](int row) { OnDeviceSelected(row); });
}

QWidget* CTessaly_AllInOne_OvproxyDlg::BuildLoopRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    total_label_ = Item(new QLabel("Total", row), "1071");
    loop_edit_ = Item(new QLineEdit(row), "1009");
    loop_edit_->setValidator(new QIntValidator(0, 1000000, loop_edit_));
    loop_edit_->setMinimumWidth(Dlu(font(), 30, 0).width());
    loop_edit_->setMaximumWidth(Dlu(font(), 60, 0).width());
    left_ = Item(new QLabel("Left:", row), "1011");
    // Room for the largest count the field takes, so the row never changes width.
    left_->setMinimumWidth(left_->fontMetrics().horizontalAdvance("Left : 1000000"));
    layout->addWidget(total_label_);
    layout->addWidget(loop_edit_);
    layout->addSpacing(Dlu(font(), 8, 0).width());
    layout->addWidget(left_);
    layout->addStretch(1);
    row->hide();
    return row;
}

QWidget* CTessaly_AllInOne_OvproxyDlg::BuildCameraRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel("Camera to update:", row));
    devices_ = Item(new QComboBox(row), "1050");
    devices_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    layout->addWidget(devices_, 1);
    row->hide();
    return row;
}

void CTessaly_AllInOne_OvproxyDlg::SyncDeviceList() {
    const QSignalBlocker quiet(devices_);
    devices_->clear();
    const auto items = list_.Items();
    for (size_t i = 0; i < items.size(); ++i) {
        // Cameras of one model carry the same label: the list number tells them apart.
        const QString label = QString::fromStdString(items[i]);
        devices_->addItem(items.size() > 1 ? QString("%1: %2").arg(i + 1).arg(label) : label);
    }
    devices_->setCurrentIndex(list_.Selected());
    // With one camera there is nothing to choose; with more the operator must see which one
    // Upgrade will write.
    camera_row_->setVisible(items.size() > 1);
}

}  // namespace orbisk
