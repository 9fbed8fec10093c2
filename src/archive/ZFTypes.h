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

}  // namespace zf
