#include "text/strings.h"

namespace qb::text {

uint8_t upper1252(uint8_t c) {
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - 32);
  if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<uint8_t>(c - 0x10);  // š œ ž
  if (c == 0xFF) return 0x9F;                                                     // ÿ -> Ÿ
  if (c >= 0xE0 && c != 0xF7) return static_cast<uint8_t>(c - 0x20);              // à..þ except ÷
  return c;
}

uint8_t lower1252(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return static_cast<uint8_t>(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<uint8_t>(c + 0x10);
  if (c == 0x9F) return 0xFF;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<uint8_t>(c + 0x20);
  return c;
}

std::string upper1252(std::string_view s) {
  std::string r(s);
  for (auto& ch : r) ch = static_cast<char>(upper1252(static_cast<uint8_t>(ch)));
  return r;
}

std::string lower1252(std::string_view s) {
  std::string r(s);
  for (auto& ch : r) ch = static_cast<char>(lower1252(static_cast<uint8_t>(ch)));
  return r;
}
}  // namespace qb::text
