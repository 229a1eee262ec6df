#include "app/main_window_controls.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>

#include "app/command_ids.h"
#include "app/dialog_units.h"
#include "widgets/cell_list_ctrl.h"

namespace qs {

const QString kPostExecutionNote = QStringLiteral(
    "Post execution is used so you're able to run a owndefined program just after  it detected "
    "as finished\n%1 = Directory, %2 = Directory+sfv-file, %3 = Directory+first rar-file");

namespace {

// Places `control` at `rect`, given in dialog units.
template <class Control>
Control* Place(Control* control, const DialogUnits& units, QRect rect) {
  control->setGeometry(units.Rect(rect.x(), rect.y(), rect.width(), rect.height()));
  return control;
}

QPushButton* MakeButton(QWidget* client, const DialogUnits& units, const QString& text, int id,
                        QRect rect, const std::function<void(int)>& on_command) {
  auto* button = Place(new QPushButton(text, client), units, rect);
  button->setAutoDefault(false);
  button->setDefault(false);
  QObject::connect(button, &QPushButton::clicked, client, [on_command, id] { on_command(id); });
  return button;
}

QLabel* MakeLabel(QWidget* client, const DialogUnits& units, const QString& text, QRect rect,
                  Qt::Alignment alignment) {
  auto* label = Place(new QLabel(text, client), units, rect);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(alignment | Qt::AlignTop);
  return label;
}

QLineEdit* MakeEdit(QWidget* client, const DialogUnits& units, QRect rect, bool read_only) {
  auto* edit = Place(new QLineEdit(client), units, rect);
  edit->setReadOnly(read_only);
  if (read_only) {
    // A read-only field shows the window colour behind its text: a display, not an input.
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
    edit->setFocusPolicy(Qt::TabFocus);
  }
  return edit;
}

void AddCommand(QMenu* menu, const QString& text, int id,
                const std::function<void(int)>& on_command) {
  QAction* action = menu->addAction(text);
  action->setData(id);
  QObject::connect(action, &QAction::triggered, menu, [on_command, id] { on_command(id); });
}

}  // namespace

QMenuBar* CreateMainMenu(QWidget* parent, const std::function<void(int)>& on_command) {
  auto* bar = new QMenuBar(parent);
  QMenu* menu = bar->addMenu(QStringLiteral("File"));
  AddCommand(menu, QStringLiteral("Add directory"), kIdAddDirectory, on_command);
  menu->addSeparator();
  AddCommand(menu, QStringLiteral("Force start scan"), kIdForceStartScan, on_command);
  AddCommand(menu, QStringLiteral("Force stop scan"), kIdForceStopScan, on_command);
  menu->addSeparator();
  AddCommand(menu, QStringLiteral("Settings"), kIdSettings, on_command);
  menu->addSeparator();
  AddCommand(menu, QStringLiteral("Quit"), kIdCancel, on_command);
  QMenu* help = bar->addMenu(QStringLiteral("Help"));
  AddCommand(help, QStringLiteral("About Quarrystream"), kIdAbout, on_command);
  return bar;
}

std::unique_ptr<QMenu> LoadTrayMenu() {
  struct Item {
    const char* text;  // null: separator
    int command;
  };
  static constexpr Item kItems[] = {
      {"Show window", kIdShowWindow},
      {"Add directory", kIdAddDirectory},
      {nullptr, 0},
      {"Force start scan", kIdForceStartScan},
      {"Force stop scan", kIdForceStopScan},
      {nullptr, 0},
      {"Settings", kIdSettings},
      {nullptr, 0},
      {"Quit", kIdCancel},
  };
  auto menu = std::make_unique<QMenu>(QStringLiteral("This menu will pop up for the tray"));
  for (const Item& item : kItems) {
    if (item.text == nullptr) {
      menu->addSeparator();
    } else {
      menu->addAction(QString::fromLatin1(item.text))->setData(static_cast<unsigned>(item.command));
    }
  }
  return menu;
}

MainWindowControls CreateMainWindowControls(QWidget* client, const DialogUnits& units,
                                            const std::function<void(int)>& on_command) {
  MainWindowControls c;
  c.list = Place(new CCellListCtrl(client), units, QRect(7, -1, 320, 110));
  c.add = MakeButton(client, units, QStringLiteral("Add directory"), kIdAddDirectory,
                     QRect(7, 112, 50, 14), on_command);
  c.remove = MakeButton(client, units, QStringLiteral("Remove"), kIdRemove, QRect(277, 112, 50, 14),
                        on_command);
  c.file_progress_label =
      MakeLabel(client, units, QStringLiteral("SFV check in current directory:"),
                QRect(81, 115, 98, 8), Qt::AlignLeft);
  c.file_progress = Place(new QProgressBar(client), units, QRect(182, 115, 70, 10));
  c.file_progress->setRange(0, 100);
  c.file_progress->setValue(0);
  c.file_progress->setTextVisible(false);
  c.note = MakeLabel(client, units, kPostExecutionNote, QRect(7, 127, 320, 17), Qt::AlignHCenter);
  c.note->setWordWrap(true);
  c.note->setEnabled(false);  // greyed
  c.post_execution_label = MakeLabel(client, units, QStringLiteral("Post execution:"),
                                     QRect(5, 147, 49, 8), Qt::AlignRight);
  c.post_execution = MakeEdit(client, units, QRect(56, 145, 248, 12), false);
  c.browse = MakeButton(client, units, QStringLiteral("..."), kIdBrowseProgram,
                        QRect(310, 145, 17, 12), on_command);
  c.countdown_label = MakeLabel(client, units, QStringLiteral("Next rescan:"),
                                QRect(12, 165, 42, 8), Qt::AlignRight);
  c.countdown = MakeEdit(client, units, QRect(56, 163, 50, 12), true);
  c.pause =
      MakeButton(client, units, QStringLiteral("P"), kIdPause, QRect(107, 163, 10, 12), on_command);
  c.pause->setCheckable(true);
  c.pause->setToolTip(QStringLiteral("Pause / unpause the countdown"));
  c.status_label = MakeLabel(client, units, QStringLiteral("Scanthread status:"),
                             QRect(118, 165, 60, 8), Qt::AlignLeft);
  c.status = MakeEdit(client, units, QRect(181, 163, 40, 12), true);
  c.quit = MakeButton(client, units, QStringLiteral("Quit"), kIdCancel, QRect(223, 161, 50, 14),
                      on_command);
  c.hide = MakeButton(client, units, QStringLiteral("Hide"), kIdHide, QRect(277, 161, 50, 14),
                      on_command);
  // "P" looks pressed while the pass or the countdown is paused, as the two fields say; its own
  // click is set right again by the command's answer.
  const auto sync_pause = [pause = c.pause, status = c.status, countdown = c.countdown] {
    pause->setChecked(status->text() == QLatin1String("Paused") ||
                      countdown->text().endsWith(QLatin1String("[paused]")));
  };
  QObject::connect(c.status, &QLineEdit::textChanged, c.pause, sync_pause);
  QObject::connect(c.countdown, &QLineEdit::textChanged, c.pause, sync_pause);
  QObject::connect(c.pause, &QPushButton::clicked, c.pause, sync_pause);
  return c;
}

}  // namespace qs
