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

}  // namespace qb::store
