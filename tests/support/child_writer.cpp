#include "tests/support/child_writer.h"

#include <sys/wait.h>
#include <unistd.h>

namespace qs::test {

ChildWriter::ChildWriter(int writer) {
  int pipe_ends[2];
  if (writer < 0) {
    return;
  }
  if (::pipe(pipe_ends) != 0) {
    ::close(writer);
    return;
  }
  child_ = ::fork();
  if (child_ == 0) {
    ::close(pipe_ends[1]);
    char ignored;
    while (::read(pipe_ends[0], &ignored, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(writer);
  ::close(pipe_ends[0]);
  release_ = pipe_ends[1];
}

ChildWriter::~ChildWriter() {
  Release();
}

void ChildWriter::Release() {
  if (release_ >= 0) {
    ::close(release_);
    release_ = -1;
  }
  if (child_ > 0) {
    ::waitpid(child_, nullptr, 0);
    child_ = -1;
  }
}

}  // namespace qs::test
