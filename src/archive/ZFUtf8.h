// UTF-8 characters: one decoded at a position, and the simple upper-case
// mapping of Unicode, the same on every platform (the matcher compares
// whole characters with it wherever the ANSI strings are UTF-8).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zf {

// A byte that begins no valid sequence stands for itself as the "character"
// kNotUtf8Base + byte: above every code point, so it equals only the same
// byte, and one such byte is one character.
constexpr char32_t kNotUtf8Base = 0x110000;

struct TUtf8Char {
  char32_t Code;
  uint8_t Length;  // bytes taken, 1..4
};

// The character starting at s[pos] (pos < s.size()). Valid are the shortest
// forms of U+0000..U+10FFFF without the surrogates; any other byte, and the
// lead byte of a cut or overlong sequence, is one kNotUtf8Base character.
TUtf8Char DecodeUtf8Char(std::string_view s, size_t pos);

// The capital of a character (one to one; itself when it has none or only
// a capital of several characters, as the German sharp s). With
// turkishDottedI, i goes to the dotted capital I (U+0130) and the dotless i
// (U+0131) to I, as the Turkish and Azeri alphabets pair them.
char32_t UnicodeUpper(char32_t c, bool turkishDottedI);

}  // namespace zf
