#include "widgets/tray_icon.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QPropertyAnimation>
#include <QRubberBand>

namespace qs {

namespace {

// The desktop's own tray; the icon is a child of its CTrayIcon. Qt puts a shown icon back by
// itself when the tray host restarts.
class QtTrayShell final : public TrayShell {
 public:
  explicit QtTrayShell(QObject* owner) : icon_(owner) {}
  bool Available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
  void SetIcon(const QIcon& icon, const QString& tip) override {
    icon_.setIcon(icon);
    icon_.setToolTip(tip);
  }
  void SetVisible(bool visible) override { icon_.setVisible(visible); }
  void ShowMessage(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon icon,
                   int milliseconds) override {
    icon_.showMessage(title, text, icon, milliseconds);
  }
  QRect IconGeometry() const override { return icon_.geometry(); }
  void SetActivationHandler(ActivationHandler handler) override {
    QObject::connect(&icon_, &QSystemTrayIcon::activated, &icon_, std::move(handler));
  }

 private:
  QSystemTrayIcon icon_;
};

// A frame that moves from one rectangle to the other, as a window shrinking into the tray.
void ZoomRect(const QRect& from, const QRect& to) {
  auto* band = new QRubberBand(QRubberBand::Rectangle);
  band->setAttribute(Qt::WA_TransparentForMouseEvents);
  band->setGeometry(from);
  band->show();
  auto* animation = new QPropertyAnimation(band, "geometry", band);
  animation->setDuration(200);
  animation->setStartValue(from);
  animation->setEndValue(to);
  QObject::connect(animation, &QPropertyAnimation::finished, band, &QObject::deleteLater);
  animation->start();
}

}  // namespace

CTrayIcon::CTrayIcon(QWidget* main_window, std::unique_ptr<TrayShell> shell)
    : shell_(shell ? std::move(shell) : std::make_unique<QtTrayShell>(this)),
      main_window_(main_window),
      animator_(ZoomRect) {
  shell_->SetActivationHandler(
      [this](QSystemTrayIcon::ActivationReason reason) { OnActivated(reason); });
}

CTrayIcon::~CTrayIcon() {
  DestroyTrayWindow();
}

bool CTrayIcon::CreateTray(QWidget* /*parent*/, unsigned /*callback_message*/, const QString& tip,
                           const QIcon& icon, unsigned id, bool start_hidden,
                           const QString& balloon_text, const QString& balloon_title,
                           unsigned balloon_icon, unsigned balloon_seconds) {
  if (!shell_->Available()) {
    return false;
  }
  exists_ = true;
  id_ = id;
  tip_ = tip;
  shell_->SetIcon(icon, tip);
  if (!start_hidden) {
    ShowTrayIcon();
  }
  if (!balloon_text.isEmpty()) {
    PopBalloon(balloon_text, balloon_title, balloon_icon, balloon_seconds);
  }
  return true;
}

void CTrayIcon::DestroyTrayWindow() {
  delete popup_menu_.data();
  HideTrayIcon();
  exists_ = false;
}

bool CTrayIcon::ShowTrayIcon() {
  if (exists_ && !shown_) {
    shell_->SetVisible(true);
    shown_ = true;
  }
  return shown_;
}

bool CTrayIcon::HideTrayIcon() {
  if (shown_) {
    shell_->SetVisible(false);
    shown_ = false;
  }
  return true;
}

bool CTrayIcon::PopBalloon(const QString& text, const QString& title, unsigned icon,
                           unsigned seconds) {
  if (!shown_) {
    return false;
  }
  shell_->ShowMessage(title, text, static_cast<QSystemTrayIcon::MessageIcon>(icon & 0x3),
                      static_cast<int>(seconds * 1000));
  return true;
}

bool CTrayIcon::SetDefaultMenuItem(unsigned item, bool by_position) {
  default_item_ = item;
  default_by_position_ = by_position;
  return LoadMenu() != nullptr;
}

// The menu with its default item: the command, or the item at the position.
std::unique_ptr<QMenu> CTrayIcon::LoadMenu() const {
  std::unique_ptr<QMenu> menu = menu_loader_ ? menu_loader_(id_) : nullptr;
  if (menu == nullptr) {
    return nullptr;
  }
  const QList<QAction*> actions = menu->actions();
  for (qsizetype i = 0; i < actions.size(); ++i) {
    const bool is_default = default_by_position_ ? i == static_cast<qsizetype>(default_item_)
                                                 : actions[i]->data().toUInt() == default_item_;
    if (is_default && !actions[i]->isSeparator()) {
      menu->setDefaultAction(actions[i]);
    }
  }
  return menu;
}

void CTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
  if (main_window_ == nullptr) {
    return;
  }
  if (reason == QSystemTrayIcon::Context) {
    std::unique_ptr<QMenu> menu = LoadMenu();
    if (menu == nullptr) {
      return;
    }
    delete popup_menu_.data();
    popup_menu_ = menu.release();
    popup_menu_->setAttribute(Qt::WA_DeleteOnClose);
    connect(popup_menu_, &QMenu::triggered, this,
            [this](QAction* action) { PostCommand(action->data().toUInt()); });
    main_window_->activateWindow();
    popup_menu_->popup(QCursor::pos());
  } else if (reason == QSystemTrayIcon::DoubleClick) {
    const std::unique_ptr<QMenu> menu = LoadMenu();
    if (menu != nullptr && menu->defaultAction() != nullptr) {
      PostCommand(menu->defaultAction()->data().toUInt());
    }
  }
}

void CTrayIcon::PostCommand(unsigned command) {
  QMetaObject::invokeMethod(
      this, [this, command] { emit TrayCommand(command); }, Qt::QueuedConnection);
}

void CTrayIcon::Animate(QWidget* window, bool force, bool into_tray) {
  const QRect icon = shell_->IconGeometry();
  if (!animator_ || icon.isEmpty() || !(force || QApplication::isEffectEnabled(Qt::UI_General))) {
    return;
  }
  if (into_tray) {
    animator_(window->frameGeometry(), icon);
  } else {
    animator_(icon, window->frameGeometry());
  }
}

void CTrayIcon::HideWindowToTray(QWidget* window, bool force_animation) {
  if (window == nullptr) {
    return;
  }
  if (!shown_) {
    window->showMinimized();  // no icon to come back through: keep it on the taskbar
    return;
  }
  Animate(window, force_animation, true);
  window->hide();
}

void CTrayIcon::RestoreWindowFromTray(QWidget* window, bool force_animation) {
  if (window == nullptr) {
    return;
  }
  if (!window->isVisible()) {
    Animate(window, force_animation, false);
  }
  window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace qs
