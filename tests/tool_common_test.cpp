// What the command-line programs share: the command-line split and the
// progress line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arguments.h"
#include "terminal.h"

namespace zftool {
namespace {

TEST(SplitArguments, OptionsAnywhereValuesAndTheEndOfOptions) {
  const auto takesValue = [](const std::string& o) { return o == "-d" || o == "--name"; };
  const auto mayBeEmpty = [](const std::string& o) { return o == "--name"; };
  struct Case {
    std::vector<std::string> args;
    std::string options;  // "name=value" joined by spaces
    std::vector<std::string> operands;
    std::string error;
  };
  const Case cases[] = {
      {{"a", "-q", "b", "-d", "-x"}, "-q= -d=-x", {"a", "b"}, ""},
      {{"--", "-q", "-"}, "", {"-q", "-"}, ""},
      {{"-", "--name", ""}, "--name=", {"-"}, ""},
      {{"-d"}, "", {}, "option -d needs a value"},
      {{"-d", ""}, "", {}, "option -d needs a non-empty value"},
  };
  for (const Case& c : cases) {
    SplitCommandLine split;
    std::string error;
    EXPECT_EQ(SplitArguments(c.args, takesValue, mayBeEmpty, split, error), c.error.empty());
    EXPECT_EQ(error, c.error);
    if (!c.error.empty()) continue;
    std::string options;
    for (const Option& o : split.options)
      options += (options.empty() ? "" : " ") + o.name + "=" + o.value;
    EXPECT_EQ(options, c.options);
    EXPECT_EQ(split.operands, c.operands);
  }
}

TEST(ProgressLine, CoversOneLineAndKeepsTheNamesEnd) {
  const std::string cyrillic = "Документы/Отчёт за год.txt";  // two bytes a letter
  const std::string longName = std::string(40, 'x') + "/" + cyrillic;
  for (const std::string& name : {std::string("a\x1b[2Jb"), longName}) {
    const std::string line = ProgressLine("packing", 42, name);
    ASSERT_EQ(line.substr(0, 41), "\rpacking [##########--------------]  42% ") << line;
    EXPECT_EQ(line.size(), 80u);
  }
  EXPECT_NE(ProgressLine("", 42, "a\x1b[2Jb").find("a?[2Jb"), std::string::npos);
  // Cut at the front; on Linux after a whole UTF-8 sequence, on Windows
  // after the name went to the console's code page.
  const std::string line = ProgressLine("", 150, longName);
  EXPECT_EQ(line.substr(0, 33), "\r[########################] 100% ");
  const std::string shown = line.substr(33, line.find_last_not_of(' ') - 32);
  const std::string printed = ForTerminal(longName);
  EXPECT_EQ(shown.substr(0, 3), "...");
  EXPECT_EQ(printed.substr(printed.size() - (shown.size() - 3)), shown.substr(3));
#ifndef _WIN32
  EXPECT_NE(static_cast<unsigned char>(shown[3]) & 0xC0, 0x80);
#endif
  EXPECT_EQ(ClearedLine(), "\r" + std::string(79, ' ') + "\r");
}

}  // namespace
}  // namespace zftool
