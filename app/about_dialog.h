// The about box: the program's version and build number, read from the executable file.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

namespace qs {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  // `file_name` is the file whose version is shown; empty means the running executable.
  explicit AboutDialog(QWidget* parent = nullptr, std::string file_name = {});

  // Controls 1014 and 1015.
  QString VersionText() const;
  QString BuildText() const;

 private:
  void OnInitDialog(const std::string& file_name);

  QLabel* version_ = nullptr;
  QLabel* build_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace qs
