// A hidden staging folder inside the destination: a set is extracted there and moved into place
// by renames only when all of it extracted, so nothing of a failed set ever shows under its
// final name. Each run holds an flock on its own folder; a folder nobody holds was left by a
// killed run, and the next run in that destination finishes its move or removes it.
#pragma once

#include <string>
#include <vector>

namespace qs {

inline constexpr const char* kStagingPrefix = ".mirrowen-staging-";

class Staging {
 public:
  Staging() = default;
  // Removes the folder with whatever is left in it, and the destination too when this run
  // made it and it stayed empty; then unlocks.
  ~Staging();
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;

  // Creates `destination` when missing and a fresh locked staging folder in it, after dealing
  // with the ones killed runs left there (one line in `notes` for each). False with `error`.
  bool Create(const std::string& destination, std::vector<std::string>& notes, std::string& error);

  // Where the entries go; empty until Create succeeded.
  const std::string& Tree() const { return tree_; }
  const std::string& Folder() const { return folder_; }

  // Empties the tree again, for a second engine to start afresh.
  bool ResetTree(std::string& error);

  // Records that the move began, then renames every entry of the tree into the destination,
  // merging into folders that exist there. An existing file is never replaced: the new one
  // takes a numbered name, with a line in `notes`.
  bool MoveIntoPlace(std::vector<std::string>& notes, std::string& error);

 private:
  std::string destination_;
  std::string folder_;
  std::string tree_;
  int lock_fd_ = -1;
  bool made_destination_ = false;
};

}  // namespace qs
