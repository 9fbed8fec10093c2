// TStringList (see ZFStringList.h).
#include "archive/ZFStringList.h"

#include "platform/platform.h"

namespace zf {

int TStringList::Add(const std::string& s) {
  strings_.push_back(s);
  return Count() - 1;
}

void TStringList::Clear() { strings_.clear(); }

void TStringList::Delete(int index) {
  CheckIndex(index);
  strings_.erase(strings_.begin() + index);
}

int TStringList::IndexOf(const std::string& s) {
  const std::string key = KeyOf(s);
  for (int i = 0; i < Count(); ++i)
    if (KeyOf(strings_[i]) == key) return i;
  return -1;
}

int TStringList::IndexOfName(const std::string& name) {
  const std::string key = KeyOf(name);
  for (int i = 0; i < Count(); ++i) {
    const size_t eq = strings_[i].find('=');
    if (eq != std::string::npos && KeyOf(strings_[i].substr(0, eq)) == key) return i;
  }
  return -1;
}

const std::string& TStringList::Get(int index) const {
  CheckIndex(index);
  return strings_[index];
}

void TStringList::Put(int index, const std::string& s) {
  CheckIndex(index);
  strings_[index] = s;
}

std::string TStringList::KeyOf(const std::string& s) const {
  return caseSensitive_ ? s : os::UpperString(s);
}

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count())
    throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace zf
