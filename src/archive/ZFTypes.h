// Enumerations of the archive component that more than one engine unit
// needs. Each is one byte, its values numbered from 0 in the order given,
// with a short lower-case prefix of its type.
#pragma once

#include <cstdint>

namespace zf {

// How hard a newly written entry would be compressed; two views of one
// setting with the component's CompressionMode 0-9 (ModeToLevel and
// LevelToMode in ZFZlib.h convert between them).
enum TZFCompressionLevel : uint8_t { clNone, clFastest, clNormal, clMax };

// The operation an event reports; this component only ever extracts.
enum TZFProcessOperation : uint8_t {
  poAdd, poMove, poDelete, poUpdate, poExtract, poTest, poRename, poChangeAttr,
  poChangeComment, poMakeSFX
};

enum TZFProgressPhase : uint8_t { ppStart, ppProcess, ppEnd };

// What to do after an entry failed.
enum TZFAction : uint8_t { fxaRetry, fxaIgnore, fxaAbort };

enum TZFOverwriteMode : uint8_t { omPrompt, omAlways, omNever, omIfNewer, omIfOlder };

// Share mode for files read to be stored (0, 0x10, 0x20, 0x30, 0x40 in the
// platform's open flags); kept for the form's settings, read by nothing.
enum TZFFileShareMode : uint8_t {
  smShareCompat, smShareExclusive, smShareDenyWrite, smShareDenyRead, smShareDenyNone
};

enum TZFStorePathMode : uint8_t { spNoPath, spRelativePath, spFullPath, spFullPathWithDrive };

enum TZip64Mode : uint8_t { zmDisabled, zmAuto, zmAlways };

enum TZFSpanningMode : uint8_t { smNone, smSpanning, smSplitting };

// Size limit of one volume of a multi-volume archive.
enum TZFVolumeSize : uint8_t {
  vsAutoDetect, vsCustom, vs1_44MB, vs100MB, vs200MB, vs250MB, vs600MB, vs650MB, vs700MB,
  vs4700MB
};

}  // namespace zf
