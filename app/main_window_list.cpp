// The main window's watch list: its columns and images, its rows as dirs.cfg holds them, and
// the commands that change it.
#include "app/main_window.h"

#include <QLineEdit>

#include "app/app_icons.h"
#include "app/desktop_dialogs.h"
#include "widgets/cell_list_ctrl.h"
#include "widgets/image_list.h"

namespace qs {

void MainWindow::BuildColumns() {
  CCellListCtrl* list = controls_.list;
  list->InsertColumn(0, QStringLiteral("Include"), Qt::AlignLeft);
  list->InsertColumn(1, QStringLiteral("Source directory"), Qt::AlignLeft);
  list->InsertColumn(2, QStringLiteral("Destination directory"), Qt::AlignLeft);
  list->InsertColumn(3, QStringLiteral("Progress"), Qt::AlignLeft);
  // The client width: inside the border, with no scroll bar yet (the list is empty).
  const int client_width = list->width() - 2 * list->frameWidth();
  const int path_width = (client_width - 120) / 2;
  list->setColumnWidth(0, 30);
  list->setColumnWidth(1, path_width);
  list->setColumnWidth(2, path_width);
  list->setColumnWidth(3, 90);

  images_ = std::make_unique<ImageList>();
  images_->Add(FolderIcon());
  list->SetImageList(images_.get());
  list->SetHeaderCheck(0, 1);
}

// Every row again, from the list as loaded: every progress cell starts at 0. Image 0 is the
// folder icon.
void MainWindow::FillRows() {
  CCellListCtrl* list = controls_.list;
  list->DeleteAllRows();
  const std::vector<WatchEntry> entries = list_.Snapshot();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const int row = list->InsertRow(static_cast<int>(i), QString());
    list->SetCheckState(row, 0, entries[i].include == 1 ? 1 : 0);
    list->SetCellText(row, 1, QString::fromStdString(entries[i].source));
    list->SetCellImage(row, 1, 0);
    list->SetCellText(row, 2, QString::fromStdString(entries[i].destination));
    list->SetCellImage(row, 2, 0);
    list->ShowProgress(row, kProgressColumn, true);
  }
}

void MainWindow::OnAddDirectory() {
  const std::string source = setup_.dialogs->BrowseForDirectory(kSourcePrompt);
  if (source.empty()) {
    return;
  }
  const std::string destination = setup_.dialogs->BrowseForDirectory(kDestinationPrompt);
  if (destination.empty()) {
    return;
  }
  editor_->AddEntry(source, destination);
}

void MainWindow::OnRemove() {
  const int row = controls_.list->GetSelectedRow();
  editor_->RemoveRow(row >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(row))
                              : std::nullopt);
}

void MainWindow::OnCellListCheckboxClicked(int row, int column) {
  if (row < 0 || closed_) {
    return;
  }
  const int state = controls_.list->GetCheckState(row, column);
  editor_->SetInclude(static_cast<std::size_t>(row), state == 1 ? 1 : 0);
}

void MainWindow::OnBrowseProgram() {
  if (const std::optional<std::string> program = setup_.dialogs->BrowseForProgram()) {
    controls_.post_execution->setText(QLatin1Char('"') + QString::fromStdString(*program) +
                                      QLatin1Char('"'));
  }
}

}  // namespace qs
