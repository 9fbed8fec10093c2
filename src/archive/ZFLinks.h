// The symbolic links one extraction run makes (Options.RestoreSymlinks, on
// Linux): the rule that a link's target stays inside the destination, and
// the rule that nothing is written through a link the archive made.
//
// Targets are resolved lexically, never by asking the file system: the
// destination folder and the folders above it are the user's and count as
// they are, while inside it only the links this run has made are followed
// (each standing for its own target). So a chain of links, or a link that
// climbs out through another one, is judged before anything is made, and
// an archive cannot build a way out piece by piece.
//
// Paths are relative to the destination, "/" or the platform's separator
// between their parts.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace zf {

class TZFRunLinks {
 public:
  // Links this run made: none.
  void Clear() { links_.clear(); }

  // Whether a link at linkPath to target would resolve inside the
  // destination: false for an absolute target, one that climbs above the
  // destination (with the links made so far followed), one with a NUL or
  // empty, and a chain of more than kMaxHops links.
  bool ResolvesInside(std::string_view linkPath, std::string_view target) const;

  // Whether path passes through a link this run made: one of its folders
  // is such a link (the path itself may be one: putting something in its
  // place replaces the link, it writes through nothing).
  bool Through(std::string_view path) const;

  // A link made at linkPath to target.
  void Add(std::string_view linkPath, std::string_view target);

  static constexpr int kMaxHops = 40;  // as the Linux kernel allows

 private:
  std::unordered_map<std::string, std::string> links_;  // normalised path -> target
};

}  // namespace zf
