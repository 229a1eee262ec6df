// Test child program: appends its arguments (argv[1] onwards) to the file named by the
// environment variable QS_ARGV_RECORD, each argument followed by a NUL byte and the record
// closed by a newline, then exits.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  const char* record = std::getenv("QS_ARGV_RECORD");
  if (record == nullptr) {
    return 2;
  }
  std::string out;
  for (int i = 1; i < argc; ++i) {
    out.append(argv[i], std::strlen(argv[i]) + 1);
  }
  out.push_back('\n');
  const int fd = open(record, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) {
    return 3;
  }
  // One write: concurrent recorders append whole records.
  const bool ok = write(fd, out.data(), out.size()) == static_cast<ssize_t>(out.size());
  close(fd);
  return ok ? 0 : 4;
}
