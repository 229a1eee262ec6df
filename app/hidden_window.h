// The running instance's door for later starts: it listens on the per-user local socket named
// after "QuarrystreamWnd" and forwards each command-line text to the main window, answering the
// sender only after the main window has handled it (folder browser included). A close request
// is forwarded too, after which the door is shut for good.
//
// Thread contract: GUI thread only; the socket is watched by the GUI thread's event loop.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "platform/instance_channel.h"

class QSocketNotifier;

namespace qs {

class UserMessages;

class HiddenWindow : public QObject {
  Q_OBJECT

 public:
  struct Target {
    std::function<void(const std::string&)> copy_data;  // a later start's command-line text
    std::function<void()> close;                        // the close message
  };

  HiddenWindow(Target target, UserMessages& messages);
  ~HiddenWindow() override;

  // Listens at `socket_path`. Fails silently when this window listens already; shows "Critical
  // error on making the Mirrowen hidden window!" when the socket cannot be made.
  bool Create(const std::string& socket_path);
  bool Exists() const { return notifier_ != nullptr; }

  // The close message: forwarded to the main window, then the window is destroyed (even when
  // the main window stays open).
  void Close();
  void Destroy();

 private:
  void OnReadable();

  Target target_;
  UserMessages& messages_;
  InstanceServer server_;
  std::unique_ptr<QSocketNotifier> notifier_;
  bool handling_ = false;
};

}  // namespace qs
