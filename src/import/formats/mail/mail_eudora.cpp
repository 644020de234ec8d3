// "Eudora" mailboxes (*.MBX): messages start at "From ???@???" lines. The
// companion table of contents (the mailbox's name with the extension TOC)
// lists the offset of every message; when it lists any, a separator line at
// another offset is text of the message before it (a quoted separator).
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "import/formats/mail/mail_eudora.h"
#include "import/formats/mail/mail_separated.h"
#include "text/flowed.h"
#include "text/strings.h"

namespace qb::import::mail {

namespace {

constexpr std::string_view kSeparator = "From ???@???";

class EudoraReader : public SeparatedReader {
 public:
  bool open(const std::string& path, std::string& error) override {
    if (!SeparatedReader::open(path, error)) return false;
    offsets_ = readTableOfContents(tableOfContentsPath(path));
    return true;
  }

 protected:
  bool atMessageStart() const override {
    if (!at(kSeparator)) return false;
    return offsets_.empty() || std::binary_search(offsets_.begin(), offsets_.end(), in_.position());
  }

 private:
  std::vector<uint64_t> offsets_;
};

}  // namespace

std::string tableOfContentsPath(const std::string& mailbox) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path p(mailbox);
  std::string wanted = text::lowerAscii(p.stem().string() + ".toc");
  fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (text::lowerAscii(it->path().filename().string()) == wanted && it->is_regular_file(ec)) return it->path().string();
  }
  return {};
}

std::vector<uint64_t> readTableOfContents(const std::string& path) {
  std::vector<uint64_t> offsets;
  if (path.empty()) return offsets;
  std::ifstream f(path, std::ios::binary);
  if (!f) return offsets;
  f.seekg(kTocHeaderSize);
  unsigned char entry[kTocEntrySize];
  for (;;) {
    f.read(reinterpret_cast<char*>(entry), kTocEntrySize);
    std::streamsize got = f.gcount();
    if (got < 4) break;
    offsets.push_back(static_cast<uint64_t>(entry[0]) | static_cast<uint64_t>(entry[1]) << 8 |
                      static_cast<uint64_t>(entry[2]) << 16 | static_cast<uint64_t>(entry[3]) << 24);
    if (got < static_cast<std::streamsize>(kTocEntrySize)) break;
  }
  std::sort(offsets.begin(), offsets.end());
  return offsets;
}

namespace {

// The lines of `body` (ended by LF) between the marker lines `open` and
// `close`; npos pair when `open` is not a line of the body.
struct Section {
  std::size_t openAt = std::string::npos, contentAt = 0, closeAt = 0, afterClose = 0;
};

Section findSection(const std::string& body, std::string_view open, std::string_view close, std::size_t from) {
  Section s;
  for (std::size_t at = from; at < body.size();) {
    std::size_t end = body.find('\n', at);
    if (end == std::string::npos) end = body.size();
    std::string_view line = std::string_view(body).substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (s.openAt == std::string::npos) {
      if (line == open) {
        s.openAt = at;
        s.contentAt = std::min(end + 1, body.size());
      }
    } else if (line == close) {
      s.closeAt = at;
      s.afterClose = std::min(end + 1, body.size());
      return s;
    }
    at = end + 1;
  }
  if (s.openAt != std::string::npos) s.closeAt = s.afterClose = body.size();  // never closed: to the end
  return s;
}

}  // namespace

void readEudoraMarkers(std::string& body, text::TextForm& form) {
  if (Section h = findSection(body, "<x-html>", "</x-html>", 0); h.openAt != std::string::npos) {
    body = body.substr(h.contentAt, h.closeAt - h.contentAt);
    form.kind = text::BodyKind::Html;
    return;
  }
  if (Section r = findSection(body, "<x-rich>", "</x-rich>", 0); r.openAt != std::string::npos) {
    body = body.substr(r.contentAt, r.closeAt - r.contentAt);
    form.kind = text::BodyKind::Enriched;
    return;
  }
  for (std::size_t from = 0;;) {
    Section f = findSection(body, "<x-flowed>", "</x-flowed>", from);
    if (f.openAt == std::string::npos) break;
    std::string flowed = text::unwrapFlowed(std::string_view(body).substr(f.contentAt, f.closeAt - f.contentAt), false);
    body.replace(f.openAt, f.afterClose - f.openAt, flowed);
    from = f.openAt + flowed.size();
  }
}

std::unique_ptr<MailboxReader> makeEudoraReader() { return std::make_unique<EudoraReader>(); }

}  // namespace qb::import::mail
