// The package's configuration file NAME.ins: an INI file with the section
// "zel" and the keys the wizard reads, in an ANSI code page.
#pragma once

#include <string>

#include "mkstp.h"

namespace mkstp {

// The file's bytes: "[zel]" and one "key=value" line for each value given
// (in the order firma, web, name, coment, then the English texts, the
// languages when they are not Russian alone, id and version), CRLF line
// ends, texts converted from the ANSI code page of the command line to
// codePage.
//
// The platform's INI reader strips blanks around a value and one pair of
// quotes around it, so a value that begins or ends with a blank or a quote
// is written inside quotes and arrives as given. Raises Failure for a value
// with a line break (an INI line cannot hold one), one that codePage cannot
// hold, and one longer than the wizard reads (2047 bytes).
std::string BuildPackageConfig(const Options& options, unsigned codePage);

}  // namespace mkstp
