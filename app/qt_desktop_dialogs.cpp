#include "app/qt_desktop_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QString>

#include "app/about_dialog.h"

namespace qs {

namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString CaptionOrTitle(std::string_view caption) {
  return ToQString(caption.empty() ? kApplicationTitle : caption);
}

}  // namespace

QtDesktopDialogs::QtDesktopDialogs(std::function<void(QWidget*)> settings_dialog)
    : settings_dialog_(std::move(settings_dialog)) {}

void QtDesktopDialogs::ShowMessage(std::string_view text, std::string_view caption,
                                   MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::kInformation ? QMessageBox::Information
                  : icon == MessageIcon::kQuestion  ? QMessageBox::Question
                                                    : QMessageBox::NoIcon,
                  CaptionOrTitle(caption), ToQString(text), QMessageBox::Ok, owner_);
  box.exec();
}

bool QtDesktopDialogs::AskYesNo(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::Question, CaptionOrTitle(caption), ToQString(text),
                  QMessageBox::Yes | QMessageBox::No, owner_);
  return box.exec() == QMessageBox::Yes;
}

// The prompt can run to two lines, which a window title cannot show: the title takes the first
// and the whole prompt stands below the file view.
std::string QtDesktopDialogs::BrowseForDirectory(std::string_view prompt) {
  const QString text = ToQString(prompt);
  QFileDialog dialog(owner_, text.section(QLatin1Char('\n'), 0, 0), QDir::homePath());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    grid->addWidget(new QLabel(text, &dialog), grid->rowCount(), 0, 1, grid->columnCount());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return {};
  }
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
}

// A program on Linux is a file with its execute permission, whatever its name, so the first
// filter is a permission filter under a name pattern that lets every name through. Qt's own
// dialog, since a desktop portal's chooser would not apply it.
std::optional<std::string> QtDesktopDialogs::BrowseForProgram() {
  QFileDialog dialog(owner_);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  const QString executables = QStringLiteral("Executable files (*)");
  dialog.setNameFilters({executables, QStringLiteral("All files (*)")});
  const QDir::Filters entries = dialog.filter() & ~QDir::Executable;
  const auto apply_filter = [&dialog, entries, executables](const QString& name_filter) {
    dialog.setFilter(name_filter == executables ? entries | QDir::Executable : entries);
  };
  apply_filter(executables);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, apply_filter);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
}

void QtDesktopDialogs::RunSettingsDialog() {
  if (settings_dialog_) {
    settings_dialog_(owner_);
  }
}

void QtDesktopDialogs::RunAboutBox() {
  AboutDialog about(owner_);
  about.exec();
}

// Every dialog of this program is a top-level QDialog over the main window, the settings dialog
// included, so they are found without keeping a list. A tray menu that is open goes too: its
// choice would arrive after the exit; so do its submenus.
void QtDesktopDialogs::CloseAll() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(widget);
    if (dialog != nullptr && dialog != owner_ && dialog->isVisible()) {
      dialog->reject();
    }
  }
  while (QWidget* popup = QApplication::activePopupWidget()) {
    if (!popup->close()) {
      break;
    }
  }
}

}  // namespace qs
