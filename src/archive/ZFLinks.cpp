// The links of an extraction run (see ZFLinks.h).
#include "archive/ZFLinks.h"

#include <deque>
#include <vector>

#include "archive/ZFStrFunc.h"

namespace zf {

namespace {

// The non-empty parts of a path, "." dropped.
std::deque<std::string> PartsOf(std::string_view path) {
  std::deque<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::string_view part = path.substr(start, end - start);
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = end + 1;
  }
  return parts;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string path;
  for (const std::string& part : parts) {
    if (!path.empty()) path += '/';
    path += part;
  }
  return path;
}

std::string Normalised(std::string_view path) {
  const std::deque<std::string> parts = PartsOf(path);
  return Join(std::vector<std::string>(parts.begin(), parts.end()));
}

}  // namespace

bool TZFRunLinks::ResolvesInside(std::string_view linkPath, std::string_view target) const {
  if (target.empty() || target.find('\0') != std::string_view::npos || IsSeparator(target[0]))
    return false;
  // Where resolution stands: the link's own folder.
  std::deque<std::string> folder = PartsOf(linkPath);
  if (!folder.empty()) folder.pop_back();
  std::vector<std::string> at(folder.begin(), folder.end());
  std::deque<std::string> todo = PartsOf(target);
  int hops = 0;
  while (!todo.empty()) {
    std::string part = std::move(todo.front());
    todo.pop_front();
    if (part == "..") {
      if (at.empty()) return false;  // above the destination
      at.pop_back();
      continue;
    }
    at.push_back(std::move(part));
    const auto link = links_.find(Join(at));
    if (link == links_.end()) continue;
    // A link made before: it stands for its target, read from its folder.
    if (++hops > kMaxHops || IsSeparator(link->second[0])) return false;
    at.pop_back();
    std::deque<std::string> more = PartsOf(link->second);
    todo.insert(todo.begin(), more.begin(), more.end());
  }
  return true;
}

bool TZFRunLinks::Through(std::string_view path) const {
  if (links_.empty()) return false;
  std::deque<std::string> parts = PartsOf(path);
  if (!parts.empty()) parts.pop_back();
  std::vector<std::string> at;
  for (std::string& part : parts) {
    at.push_back(std::move(part));
    if (links_.contains(Join(at))) return true;
  }
  return false;
}

void TZFRunLinks::Add(std::string_view linkPath, std::string_view target) {
  links_[Normalised(linkPath)] = std::string(target);
}

}  // namespace zf
