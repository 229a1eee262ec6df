#include "companion/entry_policy.h"

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

bool LeavesRoot(std::string_view name) {
  if (name.starts_with('/')) {
    return true;
  }
  bool dot_dot = false;
  ForEachComponent(name, [&](std::string_view part) { dot_dot = dot_dot || part == ".."; });
  return dot_dot;
}

// Folders above the entry, as libarchive will create them ("a/./b/" is "a/b": one).
std::size_t Depth(std::string_view name) {
  std::size_t parts = 0;
  ForEachComponent(name, [&](std::string_view part) { parts += part != "." ? 1 : 0; });
  return parts > 0 ? parts - 1 : 0;
}

}  // namespace

std::string RefusalReason(EntryKind kind, std::string_view pathname, std::string_view link_target) {
  if (pathname.empty()) {
    return "the entry has no name";
  }
  if (pathname.size() > kMaxEntryPathBytes) {
    return "its name is longer than " + std::to_string(kMaxEntryPathBytes) + " bytes";
  }
  if (Depth(pathname) > kMaxEntryDepth) {
    return "it lies more than " + std::to_string(kMaxEntryDepth) + " folders deep";
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
      if (link_target.empty() || LeavesRoot(link_target)) {
        return "it is a symbolic link whose target is absolute or holds \"..\"";
      }
      break;
    case EntryKind::kRegular:
    case EntryKind::kDirectory:
      break;
  }
  return {};
}

}  // namespace qs
