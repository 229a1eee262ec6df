// The program's icon in the notification area (QSystemTrayIcon): its tooltip and messages, the
// tray menu on a right click and its default command on a double click, and moving a window
// into and out of the tray. Where the desktop has no tray, hiding a window minimises it
// instead, so it can never be lost. GUI thread only.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "widgets/tray_shell.h"

namespace qs {

class CTrayIcon : public QObject {
  Q_OBJECT

 public:
  // The tray menu of icon `id`, each item's command in its action's data (unsigned); null
  // when there is none.
  using MenuLoader = std::function<std::unique_ptr<QMenu>(unsigned id)>;
  using Animator = std::function<void(const QRect& from, const QRect& to)>;

  // `main_window` gets the commands. Without a shell the icon lives in QSystemTrayIcon.
  explicit CTrayIcon(QWidget* main_window = nullptr, std::unique_ptr<TrayShell> shell = nullptr);
  ~CTrayIcon() override;

  // Shows the icon (unless `start_hidden`) and the balloon, if any. False when the desktop has
  // no tray. Clicks come back through the shell, so the parent and callback message go unused.
  bool CreateTray(QWidget* parent, unsigned callback_message, const QString& tip, const QIcon& icon,
                  unsigned id, bool start_hidden = false, const QString& balloon_text = {},
                  const QString& balloon_title = {}, unsigned balloon_icon = 0,
                  unsigned balloon_seconds = 10);
  // From a successful CreateTray until DestroyTrayWindow.
  bool TrayWindowExists() const { return exists_; }
  // Takes the icon out of the tray.
  void DestroyTrayWindow();
  unsigned Id() const { return id_; }

  bool ShowTrayIcon();
  bool HideTrayIcon();
  bool IsHidden() const { return !shown_; }

  QString GetTipText() const { return tip_; }
  // `icon`: 0 none, 1 information, 2 warning, 3 critical. False while no icon is shown.
  bool PopBalloon(const QString& text, const QString& title = {}, unsigned icon = 0,
                  unsigned seconds = 10);

  // The menu item shown bold and sent on a double click: a command, or a position.
  // False when there is no menu.
  bool SetDefaultMenuItem(unsigned item, bool by_position);
  void SetMenuLoader(MenuLoader loader) { menu_loader_ = std::move(loader); }
  // The open tray menu, if any.
  QMenu* PopupMenu() const { return popup_menu_; }

  // Into the tray (or minimised when no icon is shown) and back. The zoom towards the icon is
  // drawn only when animation is forced or enabled and the window system reports where the
  // icon is.
  void HideWindowToTray(QWidget* window, bool force_animation);
  void RestoreWindowFromTray(QWidget* window, bool force_animation);
  void SetAnimator(Animator animator) { animator_ = std::move(animator); }

  // A click on the icon: the menu on Context, the default command on DoubleClick.
  void OnActivated(QSystemTrayIcon::ActivationReason reason);

 signals:
  // A command for the main window (a menu choice or the double click), always posted.
  void TrayCommand(unsigned command);

 private:
  std::unique_ptr<QMenu> LoadMenu() const;
  void PostCommand(unsigned command);
  void Animate(QWidget* window, bool force, bool into_tray);

  std::unique_ptr<TrayShell> shell_;
  QPointer<QWidget> main_window_;
  bool exists_ = false;
  bool shown_ = false;
  unsigned id_ = 0;
  QString tip_;
  unsigned default_item_ = 0;
  bool default_by_position_ = true;
  QPointer<QMenu> popup_menu_;
  MenuLoader menu_loader_;
  Animator animator_;
};

}  // namespace qs
