// Another process that holds a file open for writing, as a download still being written.
#pragma once

#include <sys/types.h>

namespace qs::test {

class ChildWriter {
 public:
  // Forks a child that inherits `writer`, a descriptor open for writing, and holds it until
  // Release(). The caller's own `writer` is closed, so only the child writes.
  explicit ChildWriter(int writer);
  ~ChildWriter();  // Release()
  ChildWriter(const ChildWriter&) = delete;
  ChildWriter& operator=(const ChildWriter&) = delete;

  bool started() const { return child_ > 0; }  // false too for a `writer` below 0
  // Lets the child close the file and exit, and waits for it.
  void Release();

 private:
  pid_t child_ = -1;
  int release_ = -1;  // the child holds on until this end of its pipe closes
};

}  // namespace qs::test
