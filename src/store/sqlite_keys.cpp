#include "store/sqlite_keys.h"

#include "text/unicode.h"

namespace qb::store {

namespace {

// A case-insensitive string component: its value (without trailing blanks)
// case-folded, cut to the component's width at a character boundary and
// padded with blanks again.
void appendFolded(const uint8_t* src, uint32_t size, std::string& out) {
  std::string_view value(reinterpret_cast<const char*>(src), size);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\0')) value.remove_suffix(1);
  const std::string folded = text::foldCase(value);
  const std::string_view kept = text::cutUtf8(folded, size);
  out.append(kept);
  out.append(size - kept.size(), ' ');
}

}  // namespace

KeyEncoder::KeyEncoder(const Layout& layout, int key) {
  const Key& k = layout.keys.at(static_cast<std::size_t>(key));
  for (const KeyPart& p : k.parts) {
    const Field& f = layout.fields.at(static_cast<std::size_t>(p.fieldIndex));
    parts_.push_back(Part{f.offset, f.size, f.type, p.descending, k.nocase && f.type == FieldType::String});
    size_ += f.size;
  }
}

void KeyEncoder::encode(const uint8_t* image, std::string& out, int parts) const {
  std::size_t n = parts < 0 || parts > static_cast<int>(parts_.size()) ? parts_.size() : static_cast<std::size_t>(parts);
  out.clear();
  for (std::size_t i = 0; i < n; ++i) {
    const Part& p = parts_[i];
    const uint8_t* src = image + p.offset;
    std::size_t start = out.size();
    switch (p.type) {
      case FieldType::Byte:
        out.push_back(static_cast<char>(src[0]));
        break;
      case FieldType::Short:
      case FieldType::Long:
      case FieldType::ULong:
        // little-endian image to big-endian key; signed values get their sign
        // bit flipped so that negative numbers sort first
        for (uint32_t b = p.size; b-- > 0;) out.push_back(static_cast<char>(src[b]));
        if (p.type != FieldType::ULong) out[start] = static_cast<char>(out[start] ^ 0x80);
        break;
      case FieldType::String:
        if (p.nocase)
          appendFolded(src, p.size, out);
        else
          out.append(reinterpret_cast<const char*>(src), p.size);
        break;
    }
    if (p.descending)
      for (std::size_t b = start; b < out.size(); ++b) out[b] = static_cast<char>(~out[b]);
  }
}

bool prefixSuccessor(const std::string& prefix, std::string& out) {
  out = prefix;
  while (!out.empty()) {
    auto& last = reinterpret_cast<unsigned char&>(out.back());
    if (last != 0xFF) {
      ++last;
      return true;
    }
    out.pop_back();
  }
  return false;
}

}  // namespace qb::store
