#pragma once

// Programs started as processes of their own by the tests and benchmarks.

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace quarn::testing {

// Starts `args` (the program first) as a process of its own, its output and
// errors going to `outFile`.
inline pid_t startProcess(std::vector<std::string> args, const std::string& outFile) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

}  // namespace quarn::testing
