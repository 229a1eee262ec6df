#include "companion/entry_policy.h"

#include <cstddef>

namespace qs {

namespace {

// Calls `visit` with each non-empty component of a '/'-separated path.
template <typename Visit>
void ForEachComponent(std::string_view path, Visit visit) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) {
      end = path.size();
    }
    if (end > start) {
      visit(path.substr(start, end - start));
    }
    start = end + 1;
  }
}

bool LeavesRoot(std::string_view archive_name) {
  if (archive_name.starts_with('/')) {
    return true;
  }
  bool dot_dot = false;
  ForEachComponent(archive_name, [&](std::string_view part) { dot_dot = dot_dot || part == ".."; });
  return dot_dot;
}

}  // namespace

bool SymlinkStaysInside(std::string_view link_path, std::string_view target) {
  if (target.empty() || target.starts_with('/')) {
    return false;
  }
  long depth = 0;
  bool escaped = false;
  auto step = [&](std::string_view part) {
    if (part == "..") {
      escaped = escaped || --depth < 0;
    } else if (part != ".") {
      ++depth;
    }
  };
  const std::size_t slash = link_path.rfind('/');
  if (slash != std::string_view::npos) {
    ForEachComponent(link_path.substr(0, slash), step);
  }
  if (escaped) {
    return false;
  }
  ForEachComponent(target, step);
  return !escaped;
}

std::string RefusalReason(EntryKind kind, std::string_view pathname, std::string_view link_target,
                          bool encrypted) {
  if (pathname.empty()) {
    return "the entry has no name";
  }
  if (LeavesRoot(pathname)) {
    return "its name leads outside the destination";
  }
  switch (kind) {
    case EntryKind::kSpecial:
      return "device, FIFO and socket entries are not extracted";
    case EntryKind::kHardlink:
      if (link_target.empty() || LeavesRoot(link_target)) {
        return "it is a hard link to a file outside the destination";
      }
      break;
    case EntryKind::kSymlink:
      if (!SymlinkStaysInside(pathname, link_target)) {
        return "it is a symbolic link pointing outside the destination";
      }
      break;
    case EntryKind::kRegular:
    case EntryKind::kDirectory:
      break;
  }
  if (encrypted) {
    return "it is encrypted, and no password can be given";
  }
  return {};
}

}  // namespace qs
