#include "store/record.h"

namespace qb::store {

const Field* Layout::field(std::string_view fieldName) const {
  for (const auto& f : fields)
    if (f.name == fieldName) return &f;
  return nullptr;
}

int Layout::keyIndex(std::string_view keyName) const {
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (keys[i].name == keyName) return static_cast<int>(i);
  return -1;
}

std::string Layout::signature() const {
  static const char* typeNames[] = {"B", "S", "L", "U", "C"};
  std::string s = name + "/" + prefix + "/" + std::to_string(size) + (memo ? "/M" : "/-");
  for (const auto& f : fields)
    s += ";" + f.name + ":" + typeNames[static_cast<int>(f.type)] + "@" + std::to_string(f.offset) + "+" +
         std::to_string(f.size);
  for (const auto& k : keys) {
    s += "|" + k.name + (k.unique ? "U" : "D") + (k.primary ? "P" : "") + (k.nocase ? "I" : "");
    for (const auto& p : k.parts) s += "," + p.field + (p.descending ? "-" : "+");
  }
  return s;
}

namespace detail {
void resolveKeys(Layout& l) {
  for (auto& k : l.keys) {
    if (k.parts.empty()) throw std::logic_error(l.name + ": key " + k.name + " has no fields");
    for (auto& p : k.parts) {
      p.fieldIndex = -1;
      for (std::size_t i = 0; i < l.fields.size(); ++i)
        if (l.fields[i].name == p.field) p.fieldIndex = static_cast<int>(i);
      if (p.fieldIndex < 0)
        throw std::logic_error(l.name + ": key " + k.name + " names unknown field " + p.field);
    }
  }
}
}  // namespace detail

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

}  // namespace qb::store
