// The settings objects the archive component owns: its options, the sizes of
// multi-volume archives, and the number of the volume that is open now.
#pragma once

#include <cstdint>

#include "ZFTypes.h"
#include "platform/platform.h"

namespace zf {

// The component's extraction settings, with the values a new component has.
class TZFOptions {
 public:
  bool GetRecurse() const { return recurse_; }
  void SetRecurse(bool v) { recurse_ = v; }
  TZFStorePathMode GetStorePath() const { return storePath_; }
  void SetStorePath(TZFStorePathMode v) { storePath_ = v; }
  TZFFileShareMode GetShareMode() const { return shareMode_; }
  void SetShareMode(TZFFileShareMode v) { shareMode_ = v; }
  TZFOverwriteMode GetOverwriteMode() const { return overwriteMode_; }
  void SetOverwriteMode(TZFOverwriteMode v) { overwriteMode_ = v; }
  bool GetCreateDirs() const { return createDirs_; }
  void SetCreateDirs(bool v) { createDirs_ = v; }
  bool GetReplaceReadOnly() const { return replaceReadOnly_; }
  void SetReplaceReadOnly(bool v) { replaceReadOnly_ = v; }
  bool GetSetAttributes() const { return setAttributes_; }
  void SetSetAttributes(bool v) { setAttributes_ = v; }
  int32_t GetSearchAttr() const { return searchAttr_; }
  void SetSearchAttr(int32_t v) { searchAttr_ = v; }
  bool GetFlushBuffers() const { return flushBuffers_; }
  void SetFlushBuffers(bool v) { flushBuffers_ = v; }
  bool GetOEMFileNames() const { return oemFileNames_; }
  void SetOEMFileNames(bool v) { oemFileNames_ = v; }
  // Entries made on Unix or macOS as symbolic links become links (Linux
  // only), when their target resolves inside the destination (ZFLinks.h);
  // off: each becomes a file holding its target, as on Windows always.
  bool GetRestoreSymlinks() const { return restoreSymlinks_; }
  void SetRestoreSymlinks(bool v) { restoreSymlinks_ = v; }

  // Copies every setting but ShareMode, which keeps its value (what forms
  // made with earlier versions rely on).
  void Assign(const TZFOptions& other);

 private:
  bool recurse_ = true;
  TZFStorePathMode storePath_ = spRelativePath;
  TZFFileShareMode shareMode_ = smShareDenyNone;
  TZFOverwriteMode overwriteMode_ = omAlways;
  bool createDirs_ = true;
  bool replaceReadOnly_ = true;
  bool setAttributes_ = true;
  int32_t searchAttr_ = os::faSearchAll;
  bool flushBuffers_ = true;
  bool oemFileNames_ = true;
  bool restoreSymlinks_ = false;
};

// Names one volume of a multi-volume archive: the first, the last, one by
// number, or none yet.
class TZFVolumeNumberInfo {
 public:
  enum TKind : uint8_t { VolumeFirst, VolumeLast, VolumeAtNumber, VolumeUnknown };

  TKind Kind = VolumeUnknown;
  int32_t Number = -1;      // zero-based; -1 when unknown
  int32_t LastNumber = -1;  // number of the last volume; -1 when unknown

  bool IsFirst() const { return Number == 0; }
  void SetFirst(bool flag);
  bool IsLast() const;
  void SetLast(bool flag);
  void SetNumber(int32_t n) {
    Kind = VolumeAtNumber;
    Number = n;
  }
  void Reset() { *this = TZFVolumeNumberInfo(); }
  bool SameVolume(const TZFVolumeNumberInfo& other) const;
};

// Size limits of the volumes of a new multi-volume archive.
class TZFSpanningOptions {
 public:
  static constexpr int64_t kMinCustomVolumeSize = 65536;

  bool GetAdvancedNaming() const { return advancedNaming_; }
  void SetAdvancedNaming(bool v) { advancedNaming_ = v; }
  int64_t GetFirstVolumeSize() const { return firstVolumeSize_; }
  void SetFirstVolumeSize(int64_t v) { firstVolumeSize_ = v; }
  TZFVolumeSize GetVolumeSize() const { return volumeSize_; }
  void SetVolumeSize(TZFVolumeSize v) { volumeSize_ = v; }
  int64_t GetCustomVolumeSize() const { return customVolumeSize_; }
  // Any value below 65,536 stores 65,536.
  void SetCustomVolumeSize(int64_t v) {
    customVolumeSize_ = v < kMinCustomVolumeSize ? kMinCustomVolumeSize : v;
  }

  // The byte limit of the volume, or -1 for none.
  int64_t VolumeLimit(const TZFVolumeNumberInfo& volume) const;
  void Assign(const TZFSpanningOptions& other) { *this = other; }

 private:
  bool advancedNaming_ = true;
  int64_t firstVolumeSize_ = 0;
  TZFVolumeSize volumeSize_ = vsAutoDetect;
  int64_t customVolumeSize_ = 0;
};

}  // namespace zf
