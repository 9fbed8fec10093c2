// The names a PendingFile takes beside its target, kept once for both
// implementations of the platform layer, as is PendingFile::CreateNamed,
// which opens a file under them. Internal to the platform layer.
#pragma once

#include <string>

namespace zf::os::pending {

// The folder part of a path with its separator ("" for a bare name).
std::string FolderOf(const std::string& path);
// A fresh candidate for a temporary name in folder: "~zfXXXXXXXX.tmp", the
// number moving on with every call, so a name taken meanwhile costs one
// more try.
std::string TemporaryNameIn(const std::string& folder);
// How many names Create and Commit try before they give up.
constexpr int kNameAttempts = 1000;

}  // namespace zf::os::pending
