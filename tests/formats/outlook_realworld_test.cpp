// The Outlook data files of ../shared/realworld/pst read in place and
// checked against readpst (pst-utils), an independent reader of the same
// files: folders and their mail counts, and per mail the subject, sender,
// recipients, date and the start of the body. Skipped with a message when
// the files or readpst are absent.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <unistd.h>

#include "formats/outlook_support.h"
#include "import/formats/outlook/pst_source.h"
#include "text/datetime.h"
#include "text/encodings.h"
#include "text/strings.h"

namespace qb::outlooktest {
namespace {

namespace fs = std::filesystem;

fs::path realWorldDir() { return fs::path(QB_SOURCE_DIR) / ".." / "shared" / "realworld" / "pst"; }

std::vector<fs::path> realPsts() {
  std::vector<fs::path> r;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(realWorldDir(), ec))
    if (e.path().extension() == ".pst") r.push_back(e.path());
  std::sort(r.begin(), r.end());
  return r;
}

bool haveReadpst() { return std::system("readpst -V >/dev/null 2>&1") == 0; }

// A mail as readpst wrote it.
struct ReadpstMail {
  std::map<std::string, std::string> header;  // lower-case name -> unfolded value (first occurrence)
  std::string plain;                          // the first text/plain part, as UTF-8
};

std::string toUtf8(const std::string& bytes, const std::string& charset) {
  if (charset.empty() || text::equalsNoCase(charset, "utf-8") || text::equalsNoCase(charset, "us-ascii"))
    return bytes;
  iconv_t cd = iconv_open("UTF-8", charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return bytes;
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size(), outLeft = out.size();
  char* o = out.data();
  iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

// Header lines of `block` (up to its first empty line), unfolded.
std::map<std::string, std::string> headerOf(std::string_view block, std::size_t& end) {
  std::map<std::string, std::string> h;
  std::string last;
  std::size_t pos = 0;
  while (pos < block.size()) {
    std::size_t lf = block.find('\n', pos);
    if (lf == std::string_view::npos) lf = block.size();
    std::string_view line = block.substr(pos, lf - pos);
    pos = lf + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    if ((line[0] == ' ' || line[0] == '\t') && !last.empty()) {
      h[last] += " " + text::trim(line);
      continue;
    }
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    last = text::lowerAscii(line.substr(0, colon));
    if (!h.count(last)) h[last] = text::trim(line.substr(colon + 1));
    else last.clear();
  }
  end = std::min(pos, block.size());
  return h;
}

std::string param(const std::string& value, const std::string& name) {
  std::string lower = text::lowerAscii(value);
  std::size_t at = lower.find(name + "=");
  if (at == std::string::npos) return {};
  std::string v = value.substr(at + name.size() + 1);
  if (!v.empty() && v[0] == '"') v = v.substr(1, v.find('"', 1) - 1);
  return v.substr(0, v.find(';'));
}

ReadpstMail parseReadpst(const std::string& file) {
  ReadpstMail m;
  std::size_t end = 0;
  m.header = headerOf(file, end);
  // The first text/plain part of the (possibly nested) multipart body.
  std::size_t at = file.find("Content-Type: text/plain", end);
  if (at == std::string::npos) return m;
  std::size_t partEnd = 0;
  auto partHeader = headerOf(std::string_view(file).substr(at), partEnd);
  std::size_t bodyStart = at + partEnd;
  std::size_t bodyEnd = file.find("\n--", bodyStart);
  std::string body = file.substr(bodyStart, bodyEnd == std::string::npos ? std::string::npos : bodyEnd - bodyStart);
  if (text::equalsNoCase(partHeader["content-transfer-encoding"], "base64")) body = text::decodeBase64(body);
  m.plain = toUtf8(body, param(partHeader["content-type"], "charset"));
  return m;
}

// The mails readpst writes for `pst`, by folder directory ("a/b").
std::map<std::string, std::vector<ReadpstMail>> readpst(const fs::path& pst, const fs::path& out) {
  fs::create_directories(out);
  std::string cmd = "readpst -S -D -b -q -o '" + out.string() + "' '" + pst.string() + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  std::map<std::string, std::vector<ReadpstMail>> r;
  for (auto& e : fs::recursive_directory_iterator(out)) {
    if (e.is_directory()) r[fs::relative(e.path(), out).generic_string()];
    if (!e.is_regular_file()) continue;
    std::string name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;  // attachments
    r[fs::relative(e.path().parent_path(), out).generic_string()].push_back(parseReadpst(slurp(e.path())));
  }
  return r;
}

// Whitespace (no-break spaces too) made single blanks, trimmed, cut.
std::string normalised(const std::string& s, std::size_t max) {
  std::string r;
  bool blank = false;
  for (std::size_t i = 0; i < s.size() && r.size() < max; ++i) {
    bool space = text::isBlank(s[i]) || (s.compare(i, 2, "\xC2\xA0") == 0 && ++i);
    if (space) {
      blank = !r.empty();
      continue;
    }
    if (blank) r += ' ';
    blank = false;
    r += s[i];
  }
  return r;
}

// The addresses of an address list: "<addr>" or a bare address, lower case.
std::set<std::string> addressesOf(const std::string& list) {
  std::set<std::string> r;
  std::stringstream in(list);
  std::string entry;
  while (std::getline(in, entry, list.find(';') != std::string::npos ? ';' : ',')) {
    std::size_t lt = entry.find('<'), gt = entry.find('>');
    std::string a = lt != std::string::npos && gt != std::string::npos ? entry.substr(lt + 1, gt - lt - 1) : entry;
    a = text::lowerAscii(text::trim(a));
    if (!a.empty()) r.insert(a);
  }
  return r;
}

std::time_t rfc2822Time(const std::string& date) {
  std::tm tm{};
  char zone[8] = {};
  char mon[4] = {};
  int day = 0, year = 0, h = 0, m = 0, s = 0;
  const char* p = date.c_str();
  if (const char* comma = std::strchr(p, ',')) p = comma + 1;
  if (std::sscanf(p, "%d %3s %d %d:%d:%d %7s", &day, mon, &year, &h, &m, &s, zone) < 6) return 0;
  static const char* months = "JanFebMarAprMayJunJulAugSepOctNovDec";
  const char* found = std::strstr(months, mon);
  if (!found) return 0;
  tm.tm_mday = day;
  tm.tm_mon = static_cast<int>((found - months) / 3);
  tm.tm_year = year - 1900;
  tm.tm_hour = h;
  tm.tm_min = m;
  tm.tm_sec = s;
  std::time_t t = timegm(&tm);
  int off = std::atoi(zone);
  return t - (off / 100 * 3600 + off % 100 * 60);
}

std::time_t localTextTime(const std::string& text) {
  std::tm tm{};
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min,
                  &tm.tm_sec) != 6)
    return 0;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

class OutlookRealWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    if (realPsts().empty()) GTEST_SKIP() << "no Outlook data files in " << realWorldDir() << " (../shared absent)";
    if (!haveReadpst()) GTEST_SKIP() << "readpst (Debian pst-utils) is not installed";
  }
};

TEST_F(OutlookRealWorld, FoldersAndMailMatchReadpst) {
  int mails = 0;
  for (const fs::path& pst : realPsts()) {
    SCOPED_TRACE(pst.filename().string());
    fs::path out = fs::temp_directory_path() / ("qb-readpst-" + std::to_string(::getpid())) / pst.stem();
    auto theirs = readpst(pst, out);
    OpenError error;
    auto source = import::outlook::openPstFile(pst.string(), error);
    ASSERT_TRUE(source) << error.reason;
    const auto& folders = source->folders();
    ASSERT_FALSE(folders.empty());
    for (std::size_t i = 0; i < folders.size(); ++i) {
      std::string dir = folders[i].path;
      for (std::size_t at; (at = dir.find("::")) != std::string::npos;) dir.replace(at, 2, "/");
      SCOPED_TRACE(dir);
      std::vector<OutlookItem> ours;
      source->openFolder(i);
      OutlookItem item;
      while (source->nextItem(item))
        if (item.mail) ours.push_back(item);
      auto& list = theirs[dir];
      // readpst writes no directory for a folder without mail.
      ASSERT_EQ(ours.size(), list.size());
      EXPECT_EQ(folders[i].items, list.size());
      for (auto& mine : ours) {
        auto it = std::find_if(list.begin(), list.end(),
                               [&](const ReadpstMail& m) { return m.header.at("subject") == mine.subject; });
        ASSERT_NE(it, list.end()) << mine.subject;
        const ReadpstMail& m = *it;
        ++mails;
        // Sender: readpst writes "<MAILER-DAEMON>" for a mail without one.
        std::string from = m.header.count("from") ? m.header.at("from") : "";
        if (from.find("MAILER-DAEMON") != std::string::npos) {
          EXPECT_TRUE(mine.senderReplyName.empty() && mine.senderAddress.empty()) << mine.senderReplyName;
        } else {
          EXPECT_EQ(text::trim(from.substr(0, from.find('<'))), mine.senderReplyName);
        }
        // "To" recipients.
        std::set<std::string> to;
        for (auto& r : mine.recipients)
          if (r.type == import::outlook::RecipientTo) to.insert(text::lowerAscii(r.address));
        EXPECT_EQ(to, addressesOf(m.header.at("to")));
        // Date: readpst writes the sending time when the mail has one.
        if (m.header.count("date")) {
          std::time_t theirsT = rfc2822Time(m.header.at("date"));
          std::time_t oursT = localTextTime(mine.creationTime);
          EXPECT_NE(theirsT, 0);
          EXPECT_LE(std::abs(static_cast<long>(theirsT - oursT)), 60L) << m.header.at("date") << " / " << mine.creationTime;
        }
        EXPECT_EQ(normalised(mine.body, 60), normalised(m.plain, 60));
      }
    }
    fs::remove_all(out.parent_path());
  }
  EXPECT_GE(mails, 3);
}

TEST_F(OutlookRealWorld, ImportStoresTheMailByValue) {
  mailtest::MailArchive archive;
  fs::path sample = realWorldDir() / "pstsdk_sample1.pst";
  if (!fs::exists(sample)) GTEST_SKIP() << sample << " is absent";
  auto st = archive.import("Outlook Mail", sample.string());
  EXPECT_FALSE(st.failed);
  EXPECT_EQ(st.imported, 1u);
  auto mails = archive.mails();
  ASSERT_EQ(mails.size(), 1u);
  const auto& m = mails[0];
  EXPECT_EQ(m.mail.SUBJECT.str(), "Here is a sample message");
  // Sent 15 March 2010 17:12:05 UTC from a directory-internal address, so
  // filed as the owner's.
  std::time_t sent = 1268673125;
  std::tm local{};
  localtime_r(&sent, &local);
  EXPECT_EQ(m.mail.DATE, text::dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday));
  EXPECT_EQ(m.fromAddress, mailtest::kOwnerAddress);
  EXPECT_EQ(m.toAddress, "terrymah@microsoft.com");
  EXPECT_NE(m.text.find("It\xE2\x80\x99s my daughter and our puppy."), std::string::npos) << m.text;

  fs::path many = realWorldDir() / "ruby-msg_200_recipients.pst";
  if (!fs::exists(many)) return;
  st = archive.import("Outlook Mail", many.string());
  // One record per "To" recipient; received by the owner, they are one mail.
  EXPECT_EQ(st.workRecords, 200u);
  EXPECT_EQ(st.imported, 1u);
  EXPECT_EQ(st.duplicates, 199u);
}

}  // namespace
}  // namespace qb::outlooktest

namespace qb::outlooktest {
namespace {

TEST_F(OutlookRealWorld, ADirectoryOfDataFilesIsReadFileByFile) {
  // The format's mask takes every .pst of the directory; each file is read
  // from its first folder (the converter serves all of them).
  mailtest::MailArchive archive;
  auto st = archive.import("Outlook Mail", realWorldDir().string());
  EXPECT_FALSE(st.failed);
  EXPECT_EQ(st.files, realPsts().size());
  uint64_t want = 0;
  for (const fs::path& p : realPsts()) {
    OpenError error;
    auto source = import::outlook::openPstFile(p.string(), error);
    ASSERT_TRUE(source) << error.reason;
    for (std::size_t f = 0; f < source->folders().size(); ++f) {
      source->openFolder(f);
      OutlookItem item;
      while (source->nextItem(item))
        for (auto& r : item.recipients) want += r.type == import::outlook::RecipientTo;
    }
  }
  EXPECT_EQ(st.workRecords, want);
  EXPECT_GE(want, 202u);
}

}  // namespace
}  // namespace qb::outlooktest
