// The check that the wizard named by --setup is a Windows program: a
// package beside anything else (a text file, a DLL, a program for another
// system) would give its users a NAME.exe that does not start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mkstp {

// How much of the file the check reads: the PE header of every linker's
// output lies well inside it.
inline constexpr size_t kProgramHeadBytes = 64 * 1024;

// Empty when head (the first bytes of a file, up to kProgramHeadBytes) is
// the start of a Windows program, else why not: the MS-DOS header ("MZ"),
// the PE signature where that header points, and a COFF header that marks
// an executable image and not a DLL.
std::string ProgramProblem(const std::vector<uint8_t>& head);

}  // namespace mkstp
