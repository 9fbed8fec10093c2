// Running the signing command.
#include "sign_command.h"

#include <cstdio>
#include <cstdlib>

#include "mkstp.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace mkstp {

namespace {

std::string Quoted(const std::string& path) {
#ifdef _WIN32
  // No Windows path holds a double quote.
  return "\"" + path + "\"";
#else
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

}  // namespace

std::string SignCommandFor(const std::string& command, const std::string& path) {
  static constexpr std::string_view kFile = "{file}";
  std::string out;
  size_t start = 0;
  for (size_t at; (at = command.find(kFile, start)) != std::string::npos; start = at + kFile.size())
    out += command.substr(start, at - start) + Quoted(path);
  return out + command.substr(start);
}

void RunSignCommand(const std::string& command, const std::string& path) {
  const std::string line = SignCommandFor(command, path);
  std::fflush(stdout);
  const int status = std::system(line.c_str());
#ifdef _WIN32
  const int code = status;
#else
  const int code = status == -1 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
  if (code != 0)
    throw Failure(path + ": the signing command failed (exit status " + std::to_string(code) +
                  "): " + line);
}

}  // namespace mkstp
