#include "platform/instance_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/single_instance.h"

namespace qs {

namespace {

constexpr char kHandledAnswer = 1;
constexpr int kStalledSenderSeconds = 5;

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool ReceiveAll(int fd, char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t got = ::recv(fd, data, size, 0);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return false;
    }
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

std::string InstanceChannelPath() {
  const std::string folder = RuntimeDirectory();
  return folder.empty() ? std::string() : folder + "/" + std::string(kInstanceChannelName);
}

SendResult SendToRunningInstance(const std::string& socket_path, std::string_view message) {
  sockaddr_un address{};
  if (message.size() > kMaxInstanceMessage || !MakeAddress(socket_path, address)) {
    return SendResult::kFailed;
  }
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) {
    return SendResult::kFailed;
  }
  int connected = 0;
  do {
    connected = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (connected != 0 && errno == EINTR);
  if (connected != 0) {
    // No file, or a file a dead instance left behind.
    return errno == ENOENT || errno == ECONNREFUSED ? SendResult::kNotFound : SendResult::kFailed;
  }
  const auto length = static_cast<std::uint32_t>(message.size());
  const char header[4] = {static_cast<char>(length & 0xFF), static_cast<char>((length >> 8) & 0xFF),
                          static_cast<char>((length >> 16) & 0xFF),
                          static_cast<char>((length >> 24) & 0xFF)};
  char answer = 0;
  if (!SendAll(fd.Get(), header, sizeof header) ||
      !SendAll(fd.Get(), message.data(), message.size()) || !ReceiveAll(fd.Get(), &answer, 1) ||
      answer != kHandledAnswer) {
    return SendResult::kFailed;
  }
  return SendResult::kHandled;
}

void PendingReply::Reply() {
  if (connection_.Valid()) {
    const char answer = kHandledAnswer;
    SendAll(connection_.Get(), &answer, 1);
    connection_.Reset();
  }
}

InstanceServer::~InstanceServer() {
  Close();
}

bool InstanceServer::Listen(const std::string& socket_path) {
  Close();
  sockaddr_un address{};
  if (!MakeAddress(socket_path, address)) {
    return false;
  }
  // Only the lock holder gets here, so whatever sits at the path is a dead instance's leftover.
  // Binding over it is refused, never a silent takeover.
  struct stat existing {};
  if (::lstat(socket_path.c_str(), &existing) == 0 && !S_ISDIR(existing.st_mode)) {
    ::unlink(socket_path.c_str());
  }
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.Valid() ||
      ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return false;
  }
  struct stat bound {};
  if (::listen(fd.Get(), 16) != 0 || ::lstat(socket_path.c_str(), &bound) != 0) {
    ::unlink(socket_path.c_str());
    return false;
  }
  ::chmod(socket_path.c_str(), 0600);
  listen_fd_ = std::move(fd);
  path_ = socket_path;
  device_ = static_cast<unsigned long>(bound.st_dev);
  inode_ = static_cast<unsigned long>(bound.st_ino);
  return true;
}

bool InstanceServer::AcceptOne(std::string& message, PendingReply& reply) {
  message.clear();
  if (!listen_fd_.Valid()) {
    return false;
  }
  UniqueFd connection(::accept4(listen_fd_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
  if (!connection.Valid()) {
    return false;
  }
  // The folder is private already; this also keeps out a sender of another user should the
  // socket ever live elsewhere.
  ucred peer{};
  socklen_t peer_size = sizeof peer;
  if (::getsockopt(connection.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &peer_size) != 0 ||
      peer.uid != ::geteuid()) {
    return false;
  }
  const timeval stall{kStalledSenderSeconds, 0};
  ::setsockopt(connection.Get(), SOL_SOCKET, SO_RCVTIMEO, &stall, sizeof stall);
  ::setsockopt(connection.Get(), SOL_SOCKET, SO_SNDTIMEO, &stall, sizeof stall);
  unsigned char header[4];
  if (!ReceiveAll(connection.Get(), reinterpret_cast<char*>(header), sizeof header)) {
    return false;
  }
  const std::uint32_t length = header[0] | (header[1] << 8) | (header[2] << 16) |
                               (static_cast<std::uint32_t>(header[3]) << 24);
  if (length > kMaxInstanceMessage) {
    return false;
  }
  message.resize(length);
  if (!ReceiveAll(connection.Get(), message.data(), length)) {
    message.clear();
    return false;
  }
  reply = PendingReply(std::move(connection));
  return true;
}

bool InstanceServer::ServeOne(const std::function<void(const std::string&)>& handler) {
  while (listen_fd_.Valid()) {
    pollfd waiting{listen_fd_.Get(), POLLIN, 0};
    if (::poll(&waiting, 1, -1) < 0 && errno != EINTR) {
      return false;
    }
    std::string message;
    PendingReply reply;
    if (AcceptOne(message, reply)) {
      handler(message);
      reply.Reply();
      return true;
    }
  }
  return false;
}

void InstanceServer::Close() {
  if (!listen_fd_.Valid()) {
    return;
  }
  // A later instance may already have put its own socket there.
  struct stat current {};
  if (::lstat(path_.c_str(), &current) == 0 &&
      static_cast<unsigned long>(current.st_dev) == device_ &&
      static_cast<unsigned long>(current.st_ino) == inode_) {
    ::unlink(path_.c_str());
  }
  listen_fd_.Reset();
  path_.clear();
}

}  // namespace qs
