// Conversion speed of the news readers. Writes a "From " separated article
// file, a news cache file and a message database of the same articles to a
// temporary directory, converts each with its reader (work records counted,
// not stored), and prints the time per format next to the baseline measured
// in the same run: reading the file once and cutting it into lines.
//
//   news_read_bench [ARTICLES]     (default 20000)

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "import/converter.h"
#include "archive/messages.h"
#include "archive/session.h"

using namespace qb;
using namespace qb::import;

namespace {

class CountingContext : public ImportContext {
 public:
  ImportRequest req;
  RecordingUI ui_;
  store::Session session_{ui_};
  std::string file;
  uint64_t messages = 0, textBytes = 0;
  uint32_t counter = 1;

  const ImportRequest& request() const override { return req; }
  store::Session& session() override { return session_; }
  UserInterface& ui() override { return ui_; }
  const std::string& fileName() const override { return file; }
  Resolution resolveDatabase(const std::string&, int kind, NHR&, bool) override {
    return {7, true, static_cast<uint8_t>(kind == 3 ? 3 : 1)};
  }
  bool alreadyImported(uint32_t, uint32_t) override { return false; }
  uint32_t nextId() override { return counter++; }
  bool appendWork(NHR&, const std::string& text) override {
    ++messages;
    textBytes += text.size();
    return true;
  }
  bool appendCC(const CCT&) override { return true; }
  bool appendTid(const TID&) override { return true; }
  void skipped() override {}
  void progress(int) override {}
};

std::string articleText(int i) {
  char head[400];
  std::snprintf(head, sizeof head,
                "From: Reader %d <reader%d@example.com>\r\nNewsgroups: comp.example.group%d\r\n"
                "Subject: Topic %d\r\nDate: Tue, 03 Mar 1998 10:%02d:00 +0100\r\nMessage-ID: <a%d@example.com>\r\n",
                i % 500, i % 500, i % 20, i / 3, i % 60, i);
  std::string t = head;
  if (i > 0) t += "References: <a" + std::to_string(i / 2) + "@example.com> <a" + std::to_string(i - 1) + "@example.com>\r\n";
  t += "\r\n";
  for (int l = 0; l < 20 + i % 40; ++l)
    t += "Line " + std::to_string(l) + " of article " + std::to_string(i) + ", with some words to read.\r\n";
  return t;
}

void put32(std::string& s, uint32_t v) {
  for (int k = 0; k < 4; ++k) s.push_back(static_cast<char>(v >> (8 * k)));
}

void writeFiles(const std::string& dir, int n) {
  std::ofstream from(dir + "/articles.txt", std::ios::binary);
  std::ofstream nch(dir + "/articles.nch", std::ios::binary);
  std::ofstream dbx(dir + "/articles.dbx", std::ios::binary);
  std::string header(0x24BC, '\0');
  dbx << header;
  uint64_t at = header.size();
  for (int i = 0; i < n; ++i) {
    std::string t = articleText(i);
    from << "From reader" << i % 500 << "@example.com Tue Mar 03 10:15:00 1998\r\n" << t;
    std::string entry = "\xBC" + std::string(21, '\0') + "<a" + std::to_string(i) + "@example.com>" +
                        std::string(1, '\0') + "Topic" + std::string(3, '\0') + "news.example.com comp.example:1" +
                        std::string(5, '\0');
    nch << entry << t << std::string(4, '\0');
    for (std::size_t k = 0; k < t.size(); k += 512) {
      std::string block;
      std::string part = t.substr(k, 512);
      put32(block, static_cast<uint32_t>(at));
      put32(block, 512);
      put32(block, static_cast<uint32_t>(part.size()));
      put32(block, k + 512 < t.size() ? static_cast<uint32_t>(at + 528) : 0);
      block += part;
      block.resize(528, '\0');
      dbx << block;
      at += 528;
    }
  }
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The baseline: the file read once in 64 KB blocks and cut at LF.
double baseline(const std::string& path, uint64_t& lines) {
  auto t0 = std::chrono::steady_clock::now();
  std::ifstream f(path, std::ios::binary);
  std::string buf(65536, '\0');
  lines = 0;
  while (f.read(buf.data(), static_cast<std::streamsize>(buf.size())) || f.gcount() > 0) {
    const char* p = buf.data();
    const char* end = p + f.gcount();
    while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))))) {
      ++lines;
      ++p;
    }
  }
  return seconds(t0);
}

}  // namespace

int main(int argc, char** argv) {
  int n = argc > 1 ? std::atoi(argv[1]) : 20000;
  std::string dir = std::filesystem::temp_directory_path() / ("qb-news-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  writeFiles(dir, n);
  std::printf("%d articles\n%-24s %9s %9s %9s %10s %10s %7s\n", n, "format", "MB", "messages", "seconds", "msg/s",
              "base s", "ratio");
  const std::pair<const char*, const char*> runs[] = {{"Unix News", "articles.txt"},
                                                      {"Winvn", "articles.txt"},
                                                      {"Gravity", "articles.txt"},
                                                      {"IE News", "articles.nch"},
                                                      {"Netscape News", "articles.nch"},
                                                      {"Outlook Express 5 News", "articles.dbx"}};
  for (auto& [type, file] : runs) {
    std::string path = dir + "/" + file;
    uint64_t lines = 0;
    double base = baseline(path, lines);
    CountingContext ctx;
    ctx.file = path;
    auto conv = makeConverter(type);
    uint8_t command = 199;
    auto t0 = std::chrono::steady_clock::now();
    while (!conv->step(ctx, command)) {
    }
    double s = seconds(t0);
    double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::printf("%-24s %9.1f %9llu %9.3f %10.0f %10.3f %7.1f\n", type, mb,
                static_cast<unsigned long long>(ctx.messages), s, ctx.messages / s, base, s / base);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
