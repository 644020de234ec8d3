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
// Every call converts one line. Runs take it as their converter
// (ImportRun's converter argument) under the type name "Test Script".

#include <memory>

#include "import/converter.h"

namespace qb::test {
inline constexpr const char* kScriptType = "Test Script";
std::unique_ptr<import::Converter> makeScriptConverter();
}
