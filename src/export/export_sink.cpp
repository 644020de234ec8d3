#include "export/export_sink.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "export/export_file.h"
#include "export/export_formats.h"
#include "export/internet_message.h"
#include "text/unicode.h"

namespace qb::exporting {

namespace {

std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// ---- the old readers' formats ------------------------------------------------
class ClassicSink : public ExportSink {
 public:
  explicit ClassicSink(const SinkOptions& o) : o_(o) { two_ = writesTwoFiles(o.kind, o.format); }

  bool write(const ExportMessage& m, bool sent) override {
    const bool toOutbox = two_ && sent;
    ExportFile& f = toOutbox ? out_ : in_;
    if (!f.isOpen() && !f.open(joinPath(o_.directory, toOutbox ? o_.outbox : o_.inbox), o_.append)) {
      error_ = f.error();
      return false;
    }
    (toOutbox ? outStarts_ : inStarts_).push_back(f.startLength() + f.written());
    if (!f.write(classicMessageText(m, o_.format, sent, o_.wrap, o_.column))) {
      error_ = f.error();
      return false;
    }
    if (toOutbox) usedOut_ = true;
    else usedIn_ = true;
    return true;
  }

  bool close() override {
    bool ok = true;
    for (ExportFile* f : {&in_, &out_})
      if (f->isOpen() && !f->close()) {
        if (ok) error_ = f->error();
        ok = false;
      }
    if (!ok) discard();
    return ok;
  }

  void discard() override {
    in_.discard();
    out_.discard();
  }

  std::vector<WrittenBox> written() const override {
    std::vector<WrittenBox> w;
    if (usedIn_) w.push_back({in_.path(), 1, inStarts_, in_.startLength()});
    if (usedOut_) w.push_back({out_.path(), 2, outStarts_, out_.startLength()});
    return w;
  }

 private:
  SinkOptions o_;
  bool two_ = false, usedIn_ = false, usedOut_ = false;
  std::vector<uint64_t> inStarts_, outStarts_;
  ExportFile in_, out_;
};

// ---- mbox ---------------------------------------------------------------------
class MboxSink : public ExportSink {
 public:
  explicit MboxSink(const SinkOptions& o) : o_(o) {}

  bool write(const ExportMessage& m, bool) override {
    if (!f_.isOpen() && !f_.open(joinPath(o_.directory, o_.inbox), o_.append)) {
      error_ = f_.error();
      return false;
    }
    // messages are separated by an empty line before the next "From " line
    std::string piece = mboxFromLine(m) + mboxrdQuote(internetMessage(m, o_.forumId)) + "\n";
    if (!f_.write(piece)) {
      error_ = f_.error();
      return false;
    }
    used_ = true;
    return true;
  }
  bool close() override {
    if (f_.isOpen() && !f_.close()) {
      error_ = f_.error();
      return false;
    }
    return true;
  }
  void discard() override { f_.discard(); }
  std::vector<WrittenBox> written() const override {
    return used_ ? std::vector<WrittenBox>{{f_.path(), 1, {}, 0}} : std::vector<WrittenBox>{};
  }

 private:
  SinkOptions o_;
  ExportFile f_;
  bool used_ = false;
};

// ---- Maildir --------------------------------------------------------------------
class MaildirSink : public ExportSink {
 public:
  explicit MaildirSink(const SinkOptions& o) : o_(o), root_(joinPath(o.directory, o.inbox)) {}

  bool write(const ExportMessage& m, bool) override {
    if (!opened_ && !openDir()) return false;
    // Status as flags: every archived mail is seen; keep is flagged, delete
    // is trashed (flags in ASCII order).
    std::string flags = m.status == 1 ? "FS" : m.status == 2 ? "ST" : "S";
    char unique[160];
    static std::atomic<unsigned> counter{0};
    std::snprintf(unique, sizeof unique, "%lld.P%dQ%uN%u.quillbox", static_cast<long long>(started_),
                  static_cast<int>(::getpid()), counter++, m.number);
    const std::string tmp = root_ + "/tmp/" + unique;
    const std::string cur = root_ + "/cur/" + unique + ":2," + flags;
    ExportFile f;
    if (!f.open(tmp, true) || !f.write(internetMessage(m, o_.forumId)) || !f.close()) {
      error_ = f.error();
      ::unlink(tmp.c_str());
      return false;
    }
    if (::rename(tmp.c_str(), cur.c_str()) != 0) {
      error_ = "The file " + cur + " cannot be written: " + std::strerror(errno) + ".";
      ::unlink(tmp.c_str());
      return false;
    }
    files_.push_back(cur);
    return true;
  }
  bool close() override { return true; }
  void discard() override {
    for (const auto& f : files_) ::unlink(f.c_str());
    files_.clear();
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) ::rmdir(it->c_str());
    made_.clear();
  }
  std::vector<WrittenBox> written() const override {
    return files_.empty() ? std::vector<WrittenBox>{} : std::vector<WrittenBox>{{root_, 1, {}, 0}};
  }

 private:
  bool makeDir(const std::string& d) {
    struct stat st {};
    if (::stat(d.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) return true;
      error_ = "The Maildir " + root_ + " cannot be written: " + d + " is not a directory.";
      return false;
    }
    if (::mkdir(d.c_str(), 0700) != 0) {
      error_ = "The Maildir " + root_ + " cannot be created: " + std::strerror(errno) + ".";
      return false;
    }
    made_.push_back(d);
    return true;
  }
  bool hasMessages() {
    for (const char* sub : {"/cur", "/new"}) {
      std::string d = root_ + sub;
      if (DIR* dir = ::opendir(d.c_str())) {
        bool any = false;
        while (dirent* e = ::readdir(dir))
          if (e->d_name[0] != '.') any = true;
        ::closedir(dir);
        if (any) return true;
      }
    }
    return false;
  }
  bool openDir() {
    started_ = std::time(nullptr);
    // A new export never empties a Maildir that holds mail: it may be the
    // user's mail store.
    if (!o_.append && hasMessages()) {
      error_ = "The Maildir " + root_ + " holds messages already; export into it with \"append\" or name a new one.";
      return false;
    }
    if (!makeDir(root_) || !makeDir(root_ + "/tmp") || !makeDir(root_ + "/new") || !makeDir(root_ + "/cur"))
      return false;
    opened_ = true;
    return true;
  }
  SinkOptions o_;
  std::string root_;
  bool opened_ = false;
  long long started_ = 0;
  std::vector<std::string> files_, made_;
};

}  // namespace

std::string classicMessageText(const ExportMessage& m, int format, bool sent, bool wrap, int column) {
  const char* cs = exportCharset(format);
  std::string out;
  for (const auto& l : headerLines(m, format, sent)) out += text::fromUtf8(l, cs) + "\r\n";
  out += "\r\n";
  for (const auto& line : splitLines(text::fromUtf8(m.text, cs))) {
    if (wrap && column > 0) {
      for (const auto& w : wrapLine(line, static_cast<std::size_t>(column))) out += w + "\r\n";
    } else {
      out += line + "\r\n";
    }
  }
  out += "\r\n";
  return out;
}

std::unique_ptr<ExportSink> makeSink(const SinkOptions& o) {
  if (o.format == FormatMbox) return std::make_unique<MboxSink>(o);
  if (o.format == FormatMaildir) return std::make_unique<MaildirSink>(o);
  return std::make_unique<ClassicSink>(o);
}

}  // namespace qb::exporting
