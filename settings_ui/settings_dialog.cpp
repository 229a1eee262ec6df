#include "settings_ui/settings_dialog.h"

#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>
#include <QString>

#include "config/settings_keys.h"
#include "platform/autostart.h"
#include "platform/executable_paths.h"
#include "settings_ui/option_tree_editors.h"
#include "settings_ui/option_tree_exchange.h"

namespace qs {

namespace {

struct SwitchLine {
  const char* label;
  Setting setting;
};

// Lines 3 to 10, in the order the tree shows them.
constexpr std::array<SwitchLine, SettingsDialog::kLineCount - 2> kSwitchLines = {{
    {"Rename sfv file after complete archive", Setting::RenameSFV},
    {"Delete sfv file after complete archive", Setting::DeleteSFV},
    {"Create a SFV-checked-file after complete archive", Setting::CreateNoCheckFile},
    {"Delete Quarrystream file after complete archive", Setting::DeleteQuarrystream},
    {"Hide to tray at startup", Setting::HideToTray},
#ifdef _WIN32
    {"Run in background when Windows start", Setting::AutoRunAtStartup},
#else
    // The entry is the XDG autostart one, which the desktop session starts.
    {"Run in background when the desktop session starts", Setting::AutoRunAtStartup},
#endif
    {"Add new entries quiet to Mirrowen", Setting::AddQuietToMirrowen},
    {"Scan as soon as files arrive", Setting::ScanOnChange},
}};

constexpr std::size_t kHideLine = 4;
constexpr std::size_t kAutoRunLine = 5;

// The order in which the switches are written.
constexpr std::array<Setting, 8> kWriteOrder = {
    Setting::RenameSFV,         Setting::DeleteSFV,        Setting::DeleteQuarrystream,
    Setting::HideToTray,        Setting::AutoRunAtStartup, Setting::AddQuietToMirrowen,
    Setting::CreateNoCheckFile, Setting::ScanOnChange,
};

constexpr int kGroupImage = 3;
constexpr int kValueImage = 1;

// The image strip: magnifier, edit box, combo box, window, open folder, figure, tick and
// cross, computer with pen, dotted field, exclamation mark.
QList<QIcon> OptionImages() {
  static const char* const kNames[] = {
      "magnifier", "edit_box",   "combo_box",    "window",       "open_folder",
      "figure",    "tick_cross", "computer_pen", "dotted_field", "exclamation",
  };
  QList<QIcon> images;
  for (const char* name : kNames) {
    images.append(QIcon(QStringLiteral(":/settings_ui/option_%1.svg").arg(QLatin1String(name))));
  }
  return images;
}

// Dialog units of the dialog's font: a quarter of the average letter width across, an eighth
// of the font height down.
QSize DialogSize(const QFont& font, int width, int height) {
  const QFontMetrics metrics(font);
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int base_x = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
  return QSize(width * base_x / 4, height * metrics.height() / 8);
}

}  // namespace

SettingsDialog::SettingsDialog(SettingsStore& store, Autostart& autostart, QWidget* parent,
                               std::string executable_directory)
    : QDialog(parent),
      store_(store),
      autostart_(autostart),
      executable_directory_(executable_directory.empty() ? ExecutableDirectory()
                                                         : std::move(executable_directory)),
      // Created in the tab order: Cancel, the tree, Save, Apply.
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      tree_(new COptionTreeCtrl(this)),
      save_(new QPushButton(QStringLiteral("Save"), this)),
      apply_(new QPushButton(QStringLiteral("Apply"), this)) {
  setWindowTitle(QStringLiteral("Quarrystream settings"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  // Enter does nothing in this dialog, so no button may become the default one.
  for (QPushButton* button : {cancel_, save_, apply_}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  setTabOrder(cancel_, tree_);
  setTabOrder(tree_, save_);
  setTabOrder(save_, apply_);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(save_, &QPushButton::clicked, this, &SettingsDialog::OnSave);
  connect(apply_, &QPushButton::clicked, this, &SettingsDialog::OnApply);
  connect(tree_, &COptionTreeCtrl::Clicked, this, &SettingsDialog::OnTreeClick);

  DoDataExchange(false);
  tree_->SetImageList(OptionImages());
  resize(DialogSize(font(), 258, 209));
  cancel_->setFocus(Qt::OtherFocusReason);
}

void SettingsDialog::FillTree() {
  // No editor is open here: the dialog has just been made, or a button press has taken the
  // focus from the editor, which closed it.
  tree_->DeleteAllOptions();
  tree_->EnableThemedDrawing(true);
  group_ = tree_->InsertGroupItem(QStringLiteral("Quarrystream"), kGroupImage);

  delay_ = ReadInt(store_, Setting::ReScan);
  lines_[0] = tree_->InsertItem(QStringLiteral("Delay between scans: "), kValueImage, group_);
  tree_->AttachSpinEditBox(lines_[0], RuntimeClass<CSpinEdit>(), RuntimeClass<CDelaySpin>());
  delay_text_ = QString::asprintf("%i", delay_);
  tree_->SetValueText(lines_[0], delay_text_);

  command_ = QString::fromStdString(ReadText(store_, Setting::PostExecution));
  lines_[1] =
      tree_->InsertItem(QStringLiteral("Run after complete archive: "), kValueImage, group_);
  tree_->AttachEditBox(lines_[1], RuntimeClass<CCommandEdit>());
  tree_->SetValueText(lines_[1], command_);

  for (std::size_t i = 0; i < kSwitchLines.size(); ++i) {
    switches_[i] = IsOn(store_, kSwitchLines[i].setting) ? 1 : 0;
    lines_[i + 2] = tree_->InsertCheckBoxItem(QString::fromLatin1(kSwitchLines[i].label), group_,
                                              switches_[i] == 1);
  }
  tree_->expand(group_->index());
}

void SettingsDialog::DoDataExchange(bool saving) {
  if (!saving) {
    FillTree();
  }
  ExchangeTreeText(saving, *tree_, lines_[0], delay_text_);
  ExchangeTreeText(saving, *tree_, lines_[1], command_);
  for (std::size_t i = 0; i < switches_.size(); ++i) {
    ExchangeTreeCheck(saving, *tree_, lines_[i + 2], switches_[i]);
  }
}

void SettingsDialog::OnApply() {
  DoDataExchange(true);
  if (switches_[kAutoRunLine] != 1) {
    autostart_.Remove();
  } else {
    switches_[kHideLine] = 1;  // a program started at log-on goes straight to the tray
    autostart_.Set(executable_directory_);
  }
  delay_ = LeadingNumber(delay_text_);
  WriteInt(store_, Setting::ReScan, delay_);
  WriteText(store_, Setting::PostExecution, command_.toStdString());
  for (const Setting setting : kWriteOrder) {
    for (std::size_t i = 0; i < kSwitchLines.size(); ++i) {
      if (kSwitchLines[i].setting == setting) {
        WriteInt(store_, setting, switches_[i]);
      }
    }
  }
  DoDataExchange(false);
  apply_->setEnabled(false);
  save_->setEnabled(false);
  cancel_->setText(QStringLiteral("Hide"));
}

void SettingsDialog::OnSave() {
  OnApply();
  DoDataExchange(true);
  accept();
}

void SettingsDialog::OnTreeClick() {
  apply_->setEnabled(true);
  save_->setEnabled(true);
  cancel_->setText(QStringLiteral("Abort"));
}

void SettingsDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();  // there is no OK: Enter leaves the dialog open
    return;
  }
  QDialog::keyPressEvent(event);
}

void SettingsDialog::Layout(int cx, int cy) {
  tree_->setGeometry(10, 7, cx - 20, cy - 45);
  cancel_->setGeometry(cx - 60, cy - 34, 50, 25);
  save_->setGeometry(cx - 116, cy - 34, 50, 25);
  apply_->setGeometry(cx - 172, cy - 34, 50, 25);
}

void SettingsDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Layout(width(), height());
}

void SettingsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Layout(width(), height());
}

int RunSettingsDialog(QWidget* parent, SettingsStore& store, Autostart& autostart) {
  SettingsDialog dialog(store, autostart, parent);
  return dialog.exec();
}

}  // namespace qs
