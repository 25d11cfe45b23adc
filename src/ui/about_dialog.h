#pragma once
#include <QDialog>
#include <string>

namespace orbisk {

// "About Orbisk": the program's short version and the notice.
class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    CAboutDlg(const std::string& short_version, QWidget* parent = nullptr);
    static QString VersionText(const std::string& short_version);
};

}  // namespace orbisk
