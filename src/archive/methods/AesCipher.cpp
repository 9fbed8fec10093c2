// WinZip AES entries: not decoded yet, refused as an unsupported method.
#include "archive/methods/EntryCipher.h"
#include "archive/methods/Factories.h"

namespace zf {

std::unique_ptr<IZFEntryCipher> MakeAesCipher(const TAesExtra&) { return nullptr; }

}  // namespace zf
