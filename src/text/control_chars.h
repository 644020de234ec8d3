#pragma once
// Control characters made visible. Texts from foreign files may hold ESC,
// BEL and other control characters; written raw to a terminal they retitle
// the window, clear the screen or ring the bell, and a window shows them as
// nothing at all. Tab, line feed and carriage return are kept.

#include <string>
#include <string_view>

namespace qb::text {

enum class ControlStyle {
  Escape,       // "\x1B" (C0 and DEL), "\u009B" (C1 control characters): for terminal output
  Placeholder,  // the Unicode control pictures (U+241B for ESC, U+2421 for DEL), U+FFFD for C1
};

// A UTF-8 text with every control character except tab, line feed and
// carriage return replaced in the given style; with `oneLine` line feeds and
// carriage returns are replaced as well (a field shown on one line).
std::string visibleControls(std::string_view utf8, ControlStyle style, bool oneLine = false);

}  // namespace qb::text
