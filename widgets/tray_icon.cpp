#include "widgets/tray_icon.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QWidget>

#include "widgets/qt_tray_shell.h"
#include "widgets/tray_menu.h"
#include "widgets/window_animation.h"

namespace qs {

// Every tray this runs on has icon states and balloons, so the paths for shells without them
// (removing instead of hiding, no balloons) are not needed.
CTrayIcon::CTrayIcon(QWidget* main_window, std::unique_ptr<TrayShell> shell)
    : shell_(shell ? std::move(shell) : std::make_unique<QtTrayShell>()),
      main_window_(main_window),
      menu_loader_(LoadTrayMenu),
      clock_([] { return std::chrono::steady_clock::now(); }),
      animator_(AnimateWindowRects) {
  shell_->SetActivationHandler(
      [this](unsigned id, TrayMouseEvent event) { OnNotifyIcon(id, event); });
  connect(&animation_timer_, &QTimer::timeout, this, &CTrayIcon::OnAnimationTimer);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    connect(screen, &QScreen::availableGeometryChanged, this, &CTrayIcon::OnWorkAreaChanged);
  }
}

CTrayIcon::~CTrayIcon() {
  delete popup_menu_.data();
  RemoveTrayIcon();
  frames_.clear();
}

bool CTrayIcon::CreateTray(QWidget* parent, unsigned callback_message, const QString& tip,
                           const QIcon& icon, unsigned id, bool start_hidden,
                           const QString& balloon_text, const QString& balloon_title,
                           unsigned balloon_icon, unsigned balloon_seconds) {
  enabled_ = shell_->Available();
  if (!enabled_) {
    return false;
  }
  window_exists_ = true;
  data_ = NotifyIconData{};
  data_.window = parent != nullptr ? static_cast<QObject*>(parent) : this;
  data_.id = id;
  data_.icon = icon;
  data_.flags = kNifMessage | kNifIcon | kNifTip;
  data_.callback_message = callback_message;
  data_.tip = TruncateToBytes(tip, kTipBytes);
  if (!balloon_text.isEmpty()) {
    data_.flags |= kNifInfo;
    data_.info = TruncateToBytes(balloon_text, kInfoBytes);
    data_.info_title = TruncateToBytes(balloon_title, kInfoTitleBytes);
    data_.timeout_ms = balloon_seconds * 1000;
    data_.info_flags = balloon_icon;
  }
  hidden_ = start_hidden;
  if (start_hidden) {
    data_.flags |= kNifState;
    data_.state = kNisHidden;
    data_.state_mask = kNisHidden;
  }
  creation_flags_ = data_.flags;
  // `hidden_` says how the icon is to look once it is in the tray, so a failed add is
  // retried when the tray comes back unless the icon was meant to stay hidden.
  const bool added = shell_->NotifyIcon(NotifyMessage::kAdd, data_);
  removed_ = add_pending_ = !added;
  data_.info.clear();  // later calls must not show the balloon again
  return added;
}

void CTrayIcon::DestroyTrayWindow() {
  delete popup_menu_.data();
  StopIconAnimation();
  RemoveTrayIcon();
  window_exists_ = false;
}

bool CTrayIcon::TellShell() {
  if (hidden_) {
    return true;  // carried by the next add or show
  }
  return shell_->NotifyIcon(NotifyMessage::kModify, data_);
}

bool CTrayIcon::RemoveTrayIcon() {
  add_pending_ = false;
  if (!enabled_ || removed_) {
    return true;
  }
  data_.flags = 0;
  if (shell_->NotifyIcon(NotifyMessage::kDelete, data_)) {
    hidden_ = removed_ = true;
  }
  return removed_;
}

bool CTrayIcon::AddTrayIcon() {
  if (!removed_) {
    RemoveTrayIcon();
  }
  if (!enabled_) {
    return !removed_;
  }
  data_.flags = kNifMessage | kNifIcon | kNifTip;
  hidden_ = false;
  if (shell_->NotifyIcon(NotifyMessage::kAdd, data_)) {
    removed_ = false;
  } else {
    add_pending_ = true;
  }
  return !removed_;
}

bool CTrayIcon::HideTrayIcon() {
  if (!enabled_ || removed_ || hidden_) {
    return true;
  }
  data_.flags = kNifState;
  data_.state = kNisHidden;
  data_.state_mask = kNisHidden;
  hidden_ = shell_->NotifyIcon(NotifyMessage::kModify, data_);
  return hidden_;
}

bool CTrayIcon::ShowTrayIcon() {
  if (removed_) {
    return AddTrayIcon();
  }
  if (hidden_) {
    // Changes made while hidden were only stored; the show carries them.
    data_.flags = kNifState | kNifIcon | kNifTip;
    data_.state = 0;
    data_.state_mask = kNisHidden;
    shell_->NotifyIcon(NotifyMessage::kModify, data_);
    hidden_ = false;
  }
  return !hidden_;
}

bool CTrayIcon::ChangeIcon(const QIcon& icon) {
  if (!enabled_) {
    return false;
  }
  data_.flags = kNifIcon;
  data_.icon = icon;
  return TellShell();
}

bool CTrayIcon::ChangeIcon(const QString& resource) {
  const QIcon icon(resource);
  if (icon.isNull() || icon.availableSizes().isEmpty()) {
    return false;
  }
  return ChangeIcon(icon);
}

bool CTrayIcon::ChangeIcon(QStyle::StandardPixmap standard) {
  return ChangeIcon(QApplication::style()->standardIcon(standard));
}

QIcon CTrayIcon::CurrentIcon() const {
  return enabled_ ? data_.icon : QIcon();
}

bool CTrayIcon::SetTipText(const QString& text) {
  if (!enabled_) {
    return false;
  }
  data_.flags = kNifTip;
  data_.tip = TruncateToBytes(text, kTipBytes);
  return TellShell();
}

QString CTrayIcon::GetTipText() const {
  return enabled_ ? data_.tip : QString();
}

bool CTrayIcon::PopBalloon(const QString& text, const QString& title, unsigned icon,
                           unsigned seconds) {
  data_.flags = kNifInfo;
  data_.info = TruncateToBytes(text, kInfoBytes);
  data_.info_title = TruncateToBytes(title, kInfoTitleBytes);
  data_.info_flags = icon;
  data_.timeout_ms = seconds * 1000;
  const bool shown = shell_->NotifyIcon(NotifyMessage::kModify, data_);
  data_.info.clear();
  return shown;
}

bool CTrayIcon::SetNotifyWindow(QObject* window) {
  if (!enabled_ || window == nullptr) {
    return false;
  }
  data_.window = window;
  data_.flags = 0;
  return TellShell();
}

bool CTrayIcon::SetCallbackMsg(unsigned message) {
  if (!enabled_) {
    return false;
  }
  data_.flags = kNifMessage;
  data_.callback_message = message;
  return TellShell();
}

bool CTrayIcon::SetDefaultMenuItem(unsigned item, bool by_position) {
  if (item == default_item_ && by_position == default_by_position_) {
    return true;
  }
  default_item_ = item;
  default_by_position_ = by_position;
  const std::unique_ptr<QMenu> menu = menu_loader_(data_.id);
  if (!menu) {
    return false;
  }
  ApplyDefaultItem(menu.get());
  return true;
}

void CTrayIcon::GetDefaultMenuItem(unsigned* item, bool* by_position) const {
  *item = default_item_;
  *by_position = default_by_position_;
}

void CTrayIcon::ApplyDefaultItem(QMenu* menu) const {
  const QList<QAction*> actions = menu->actions();
  QAction* chosen = nullptr;
  if (default_by_position_) {
    chosen = actions.value(static_cast<qsizetype>(default_item_));
  } else {
    for (QAction* action : actions) {
      if (!action->isSeparator() && action->data().toUInt() == default_item_) {
        chosen = action;
        break;
      }
    }
  }
  if (chosen != nullptr && !chosen->isSeparator()) {
    menu->setDefaultAction(chosen);  // drawn bold
  }
}

bool CTrayIcon::SetCommandTarget(QWidget* target) {
  command_target_ = target;
  return true;
}

QWidget* CTrayIcon::CommandTarget() const {
  return command_target_ ? command_target_.data() : main_window_.data();
}

bool CTrayIcon::FocusTrayIcon() {
  return shell_->NotifyIcon(NotifyMessage::kSetFocus, data_);
}

void CTrayIcon::AdjustPopupMenu(QMenu* /*menu*/) {}

void CTrayIcon::BringToForeground(QWidget* window) {
  if (window->isVisible()) {
    window->raise();
    window->activateWindow();
  }
}

void CTrayIcon::PostCommand(unsigned command) {
  QMetaObject::invokeMethod(
      this, [this, command] { emit TrayCommand(command); }, Qt::QueuedConnection);
}

bool CTrayIcon::OnNotifyIcon(unsigned id, TrayMouseEvent event) {
  if (id != data_.id) {
    return false;
  }
  QWidget* target = CommandTarget();
  if (target == nullptr) {
    return false;
  }
  if (event == TrayMouseEvent::kRightClick) {
    std::unique_ptr<QMenu> menu = menu_loader_(data_.id);
    if (!menu) {
      return false;
    }
    ApplyDefaultItem(menu.get());
    AdjustPopupMenu(menu.get());
    const QPoint at = QCursor::pos();
    BringToForeground(target);
    delete popup_menu_.data();
    popup_menu_ = menu.release();
    connect(popup_menu_, &QMenu::triggered, this,
            [this](QAction* action) { PostCommand(action->data().toUInt()); });
    connect(popup_menu_, &QMenu::aboutToHide, popup_menu_, &QObject::deleteLater);
    popup_menu_->popup(at);
  } else if (event == TrayMouseEvent::kLeftDoubleClick) {
    BringToForeground(target);
    unsigned command = default_item_;
    if (default_by_position_) {
      const std::unique_ptr<QMenu> menu = menu_loader_(data_.id);
      if (!menu) {
        return false;
      }
      const QAction* action = menu->actions().value(static_cast<qsizetype>(default_item_));
      command = action != nullptr ? action->data().toUInt() : 0;
    }
    PostCommand(command);
  }
  return true;
}

void CTrayIcon::OnTaskbarCreated() {
  add_pending_ = true;
  RetryPendingAdd();
}

void CTrayIcon::OnWorkAreaChanged() {
  // An icon that is in the tray stays; re-adding it would only make it flicker.
  add_pending_ = !hidden_ && removed_;
  RetryPendingAdd();
}

void CTrayIcon::RetryPendingAdd() {
  if (!add_pending_ || hidden_) {
    return;
  }
  data_.flags = creation_flags_;
  const bool added = shell_->NotifyIcon(NotifyMessage::kAdd, data_);
  removed_ = add_pending_ = !added;
}

}  // namespace qs
