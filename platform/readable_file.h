// A file opened for sequential reading, as handed out by FileSystem.
#pragma once

#include <cstddef>

namespace qs {

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to `size` bytes. Returns the number read, 0 at the end of the file, -1 on a read
  // error (errno-free: the caller only needs to know that the data stops here).
  virtual long Read(void* buffer, std::size_t size) = 0;
};

}  // namespace qs
