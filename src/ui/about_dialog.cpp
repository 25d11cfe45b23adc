#include "ui/about_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace orbisk {

QString CAboutDlg::VersionText(const std::string& short_version) {
    return QString("Orbisk Version %1").arg(QString::fromStdString(short_version));
}

CAboutDlg::CAboutDlg(const std::string& short_version, QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Orbisk");
    auto* version = new QLabel(VersionText(short_version), this);
    version->setObjectName("1000");
    auto* notice = new QPlainTextEdit(this);
    notice->setObjectName("notice");
    notice->setReadOnly(true);
    for (const char* line : {"Orbisk camera firmware update tool.",
                             "Copyright (c) the Orbisk developers. All rights reserved.",
                             "Use it only on cameras you are entitled to update.",
                             "Keep the camera powered and connected until the update ends."})
        notice->appendPlainText(line);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(version);
    layout->addWidget(notice);
    layout->addWidget(buttons);
}

}  // namespace orbisk
