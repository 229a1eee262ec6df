// The local socket that carries a later start's command line to the running instance, which
// answers once it has handled it. Only the process that holds the InstanceLock listens.
// Frames: a 32-bit little-endian length, then that many bytes; the answer is one byte.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace qs {

inline constexpr std::string_view kInstanceChannelName = "QuarrystreamWnd";

// Longer messages are refused: a command line is never near this.
inline constexpr std::size_t kMaxInstanceMessage = 1024 * 1024;

// The socket in the runtime folder; empty when there is no runtime folder.
std::string InstanceChannelPath();

enum class SendResult {
  kHandled,   // the running instance answered that it handled the message
  kNotFound,  // nobody listens: no running instance
  kFailed,    // the connection broke, or the instance closed it without an answer
};

// Connects, sends `message` and blocks until the running instance answers.
SendResult SendToRunningInstance(const std::string& socket_path, std::string_view message);

// One accepted sender waiting for its answer. Dropping it without Reply() closes the
// connection, which the sender sees as kFailed.
class PendingReply {
 public:
  PendingReply() = default;
  explicit PendingReply(UniqueFd connection) : connection_(std::move(connection)) {}
  // Tells the sender that its message was handled, and closes the connection.
  void Reply();

 private:
  UniqueFd connection_;
};

// The listening side. Not thread-safe: one thread (the front end's) drives it.
class InstanceServer {
 public:
  InstanceServer() = default;
  ~InstanceServer();
  InstanceServer(const InstanceServer&) = delete;
  InstanceServer& operator=(const InstanceServer&) = delete;

  // Removes whatever a dead instance left at `socket_path` and listens there. Call only while
  // holding the InstanceLock: the lock, not the socket, decides who is the running instance.
  bool Listen(const std::string& socket_path);

  // The listening descriptor (non-blocking), readable when a sender waits; for a front end's
  // event loop. -1 when not listening.
  int ListenFd() const { return listen_fd_.Get(); }

  // Accepts one waiting sender and reads its message. Returns false when nobody waits or the
  // sender broke off or sent a malformed frame. A sender that stalls mid-message is given up
  // after a few seconds, so a front end calling this on its own thread never hangs for long.
  bool AcceptOne(std::string& message, PendingReply& reply);

  // Blocks until one message arrives, hands it to `handler` and answers the sender. Returns
  // false when the server is not listening.
  bool ServeOne(const std::function<void(const std::string&)>& handler);

  // Stops listening and removes the socket file (when it is still ours).
  void Close();

 private:
  UniqueFd listen_fd_;
  std::string path_;
  unsigned long device_ = 0;
  unsigned long inode_ = 0;
};

}  // namespace qs
