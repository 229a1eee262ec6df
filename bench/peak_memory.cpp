// Runs a command and writes the peak resident memory of it, in KiB, to a file:
//   peak_memory OUTPUT_FILE COMMAND [ARGUMENT...]
// A process keeps the peak of the process it was forked from across exec(), so a command
// started straight from a large benchmark script reports the script's memory; started from this
// small program it reports its own. Exits with the command's status.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: peak_memory OUTPUT_FILE COMMAND [ARGUMENT...]\n", stderr);
    return 2;
  }
  pid_t child = 0;
  if (posix_spawnp(&child, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
    std::perror(argv[2]);
    return 2;
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) {
    std::perror("wait4");
    return 2;
  }
  if (std::FILE* out = std::fopen(argv[1], "w")) {
    std::fprintf(out, "%ld\n", usage.ru_maxrss);
    std::fclose(out);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
