#pragma once
// A converter for tests of the import run. Its source files are scripts,
// one message per line, fields separated by "|" ("\n" in a text stands for
// a line end):
//
//   F|forum|section number|section name|number|replied-to number|subject|from name|from address|to name|to address|YYYYMMDD|text
//   N|newsgroup|message id|replied-to id|subject|from name|from address|YYYYMMDD|HHMMSS|text
//   M|mail database|1 incoming, 2 outgoing|subject|from name|from address|to name|to address|YYYYMMDD|HHMMSS|text|cc name,cc address;...
//   THROW   (the converter fails on this line)
//
// Every call converts one line. It is registered as the import type
// "Test Script".

namespace qb::test {
inline constexpr const char* kScriptType = "Test Script";
}
