// TStringList: an indexed list of 8-bit strings with lookup by whole string
// or by the name part of "name=value" strings, optionally ignoring case
// (upper-casing in the user's locale). The base of the engine's hashed name
// index (ZFHash.h); the lookups here scan.
#pragma once

#include <string>
#include <vector>

#include "ZFClasses.h"

namespace zf {

// An index outside the list ("List index out of bounds (7)").
class EStringListError : public Exception {
 public:
  using Exception::Exception;
};

class TStringList {
 public:
  virtual ~TStringList() = default;

  // Appends; returns the new string's position.
  virtual int Add(const std::string& s);
  virtual void Clear();
  virtual void Delete(int index);
  // Position of the first string with the same key, or -1.
  virtual int IndexOf(const std::string& s);
  // Position of the first string whose text before its first "=" has the
  // same key as name, or -1. Strings without "=" have no name.
  virtual int IndexOfName(const std::string& name);

  const std::string& Get(int index) const;
  virtual void Put(int index, const std::string& s);
  int Count() const { return static_cast<int>(strings_.size()); }

  bool CaseSensitive() const { return caseSensitive_; }
  virtual void SetCaseSensitive(bool value) { caseSensitive_ = value; }

 protected:
  // What lookups compare: the string itself, or its upper case when the
  // list ignores case.
  std::string KeyOf(const std::string& s) const;
  void CheckIndex(int index) const;

 private:
  std::vector<std::string> strings_;
  bool caseSensitive_ = false;
};

}  // namespace zf
