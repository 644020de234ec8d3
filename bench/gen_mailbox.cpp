// gen_mailbox: writes a large mailbox of realistic invented mail in the
// "Generic Mail Type 2" layout ("From " separator lines, LF line ends), for
// the import benchmark.
//
//   gen_mailbox OUTPUT [--count N] [--seed S] [--crlf]
//
// The mails have sizes from about 1 KB to 200 KB (most small, a few large),
// a tenth of them are multipart (alternative plain and HTML, or mixed with a
// Base64 attachment), a tenth are HTML only, some are quoted-printable or
// carry encoded words; they come from a pool of repeated correspondents and
// form threads of replies. About a quarter are sent by the mailbox owner
// (owner@example.com or one of the alternative addresses), and a few are
// exact duplicates of an earlier mail. Everything is deterministic for a seed.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <iterator>
#include <vector>

namespace {

// SplitMix64: small, fast and good enough for invented data.
struct Rng {
  uint64_t s;
  uint64_t next() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
  int between(int lo, int hi) { return lo + below(hi - lo + 1); }
  bool chance(int percent) { return below(100) < percent; }
};

const char* kFirst[] = {"Anna",  "Bernd",  "Carla", "Dario",  "Elise", "Frank",  "Greta", "Henrik",
                        "Ines",  "Jonas",  "Karin", "Lukas",  "Marta", "Nils",   "Olga",  "Pavel",
                        "Rita",  "Stefan", "Tilda", "Urs",    "Vera",  "Walter", "Xenia", "Yannick",
                        "Zora",  "Albin",  "Britt", "Conrad", "Dora",  "Emil"};
const char* kLast[] = {"Ambler", "Brink",  "Corvin", "Dunmore", "Eckhart", "Falk",   "Gorman", "Halden",
                       "Ilsley", "Jessop", "Kettle", "Lorimer", "Marsh",   "Norcot", "Oxley",  "Pennick",
                       "Quill",  "Rowan",  "Stroud", "Tolliver", "Upton",  "Varley", "Wendt",  "Yardley"};
const char* kDomain[] = {"example.com", "example.org", "example.net", "mail.example.com",
                         "lists.example.org", "corp.example.net"};
const char* kTopic[] = {"quarterly report",     "meeting on Thursday",  "server migration",
                        "holiday schedule",     "budget draft",         "printer on the second floor",
                        "release notes",        "travel plans",         "invoice 4711",
                        "new office layout",    "backup failures",      "project kickoff",
                        "conference call",      "updated contract",     "test results",
                        "lunch next week",      "network outage",       "training course",
                        "customer feedback",    "photos from the trip", "annual review",
                        "database upgrade",     "shipping delay",       "weekend plans"};
const char* kWords[] = {"the",     "a",        "we",      "will",     "have",    "to",       "and",
                        "of",      "in",       "for",     "is",       "that",    "on",       "with",
                        "please",  "report",   "meeting", "server",   "numbers", "tomorrow", "week",
                        "client",  "team",     "update",  "should",   "could",   "before",   "after",
                        "schedule", "draft",   "office",  "review",   "check",   "send",     "attached",
                        "version", "problem",  "solved",  "again",    "thanks",  "question", "answer",
                        "maybe",   "agree",    "later",   "today",    "budget",  "figures",  "changes",
                        "list",    "document", "plan",    "install",  "network", "printer",  "access"};
const char* kMonth[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* kWeekday[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

const char* kOwnerName = "Pat Owner";
const char* kOwnerAddr[] = {"owner@example.com", "pat.owner@example.org", "powner@example.net"};

struct Person {
  std::string name, addr;
};

struct Thread {
  std::string subject;
  std::string lastId;
  int partner = 0;
  int replies = 0;
};

struct Stamp {
  int year, month, day, hour, minute, second, weekday;
};

int daysIn(int y, int m) {
  static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : d[m - 1];
}

// Advances a clock by some minutes; mails go forward in time.
void advance(Stamp& s, int minutes) {
  s.minute += minutes;
  while (s.minute >= 60) {
    s.minute -= 60;
    if (++s.hour == 24) {
      s.hour = 0;
      s.weekday = (s.weekday + 1) % 7;
      if (++s.day > daysIn(s.year, s.month)) {
        s.day = 1;
        if (++s.month == 13) {
          s.month = 1;
          ++s.year;
        }
      }
    }
  }
}

class Generator {
 public:
  Generator(uint64_t seed, bool crlf) : rng_{seed}, eol_(crlf ? "\r\n" : "\n") {
    for (int i = 0; i < 600; ++i) {
      Person p;
      p.name = std::string(kFirst[rng_.below(std::size(kFirst))]) + " " + kLast[rng_.below(std::size(kLast))];
      std::string local = p.name;
      for (auto& c : local) c = c == ' ' ? '.' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      p.addr = local + std::to_string(i) + "@" + kDomain[rng_.below(std::size(kDomain))];
      people_.push_back(p);
    }
    clock_ = Stamp{1998, 1, 5, 8, 0, 0, 1};
  }

  // Appends one mail (or a duplicate of an earlier one) to out.
  void mail(std::string& out, int index) {
    if (!recent_.empty() && rng_.chance(1)) {
      out += recent_[rng_.below(static_cast<int>(recent_.size()))];
      return;
    }
    std::string m;
    compose(m, index);
    if (recent_.size() < 64)
      recent_.push_back(m);
    else
      recent_[rng_.below(64)] = m;
    out += m;
  }

 private:
  Rng rng_;
  std::string eol_;
  std::vector<Person> people_;
  std::vector<Thread> threads_;
  std::vector<std::string> recent_;
  Stamp clock_;

  // The most frequent correspondents write most of the mail.
  int partner() {
    int r = rng_.below(100);
    if (r < 50) return rng_.below(20);
    if (r < 80) return 20 + rng_.below(100);
    return 120 + rng_.below(static_cast<int>(people_.size()) - 120);
  }

  int bodySize() {
    int r = rng_.below(100);
    if (r < 75) return rng_.between(600, 3500);
    if (r < 92) return rng_.between(3500, 16000);
    if (r < 98) return rng_.between(16000, 64000);
    return rng_.between(64000, 200000);
  }

  void line(std::string& m, const std::string& s) {
    m += s;
    m += eol_;
  }

  static std::string two(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
  }

  std::string dateHeader() const {
    char b[80];
    std::snprintf(b, sizeof b, "%s, %d %s %d %02d:%02d:%02d +0100", kWeekday[clock_.weekday], clock_.day,
                  kMonth[clock_.month - 1], clock_.year, clock_.hour, clock_.minute, clock_.second);
    return b;
  }

  std::string separator(const std::string& addr) const {
    char b[160];
    std::snprintf(b, sizeof b, "From %s %s %s %2d %02d:%02d:%02d %d", addr.c_str(), kWeekday[clock_.weekday],
                  kMonth[clock_.month - 1], clock_.day, clock_.hour, clock_.minute, clock_.second, clock_.year);
    return b;
  }

  // A paragraph of plain words, wrapped at about 72 characters.
  void paragraph(std::string& m, int words, const char* quote = "") {
    std::string l = quote;
    for (int i = 0; i < words; ++i) {
      std::string w = kWords[rng_.below(std::size(kWords))];
      if (i == 0) w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
      if (l.size() + w.size() + 1 > 72) {
        line(m, l);
        l = quote;
      }
      if (l.size() > std::strlen(quote)) l += ' ';
      l += w;
      if (rng_.chance(8)) l += ',';
    }
    l += '.';
    line(m, l);
  }

  void plainText(std::string& m, std::size_t size, bool reply) {
    std::size_t start = m.size();
    line(m, "Hello,");
    line(m, "");
    if (reply) {
      line(m, "you wrote:");
      for (int i = 0; i < 2; ++i) paragraph(m, rng_.between(10, 30), "> ");
      line(m, "");
    }
    while (m.size() - start < size) {
      paragraph(m, rng_.between(20, 80));
      line(m, "");
    }
    line(m, "Regards");
  }

  void htmlText(std::string& m, std::size_t size) {
    std::size_t start = m.size();
    line(m, "<html><head><title>Mail</title></head><body>");
    while (m.size() - start < size) {
      m += "<p>";
      paragraph(m, rng_.between(20, 60));
      if (rng_.chance(30)) line(m, "<b>Note:</b> see <a href=\"http://www.example.com/Doc\">the document</a><br>");
      line(m, "</p>");
    }
    line(m, "</body></html>");
  }

  // Quoted-printable with soft line breaks and a few encoded Latin-1 letters.
  void qpText(std::string& m, std::size_t size) {
    std::size_t start = m.size();
    while (m.size() - start < size) {
      std::string l = "Gr=FC=DFe aus der Stra=DFe, ";
      for (int i = 0; i < 8; ++i) {
        l += kWords[rng_.below(std::size(kWords))];
        l += ' ';
      }
      l += "caf=E9 =3D fine=";
      line(m, l);
      line(m, "and the line goes on here.");
    }
  }

  void base64(std::string& m, std::size_t bytes) {
    static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string l;
    for (std::size_t i = 0; i < bytes / 3 * 4; ++i) {
      l += a[rng_.below(64)];
      if (l.size() == 76) {
        line(m, l);
        l.clear();
      }
    }
    if (!l.empty()) line(m, l);
  }

  void compose(std::string& m, int index) {
    advance(clock_, rng_.between(1, 40));
    clock_.second = rng_.below(60);

    // Thread: a new one, or a reply in a recent one.
    bool reply = !threads_.empty() && rng_.chance(45);
    Thread* t = nullptr;
    if (reply) {
      t = &threads_[threads_.size() - 1 - rng_.below(std::min<int>(40, static_cast<int>(threads_.size())))];
    } else {
      Thread nt;
      nt.subject = std::string(kTopic[rng_.below(std::size(kTopic))]);
      nt.subject[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(nt.subject[0])));
      if (rng_.chance(50)) nt.subject += " " + std::to_string(rng_.between(1, 999));
      nt.partner = partner();
      threads_.push_back(nt);
      if (threads_.size() > 4000) threads_.erase(threads_.begin(), threads_.begin() + 1000);
      t = &threads_.back();
    }
    const Person& p = people_[t->partner];
    bool outgoing = rng_.chance(25);
    std::string ownerAddr = kOwnerAddr[rng_.chance(80) ? 0 : 1 + rng_.below(2)];
    std::string fromName = outgoing ? kOwnerName : p.name, fromAddr = outgoing ? ownerAddr : p.addr;
    std::string toName = outgoing ? p.name : kOwnerName, toAddr = outgoing ? p.addr : kOwnerAddr[0];

    std::string id = "<" + std::to_string(index) + "." + std::to_string(rng_.next() % 100000) + "@" +
                     fromAddr.substr(fromAddr.find('@') + 1) + ">";
    line(m, separator(fromAddr));
    line(m, "Return-Path: <" + fromAddr + ">");
    line(m, "Received: from relay.example.net (relay.example.net [192.0.2." + std::to_string(rng_.between(1, 254)) +
                "])");
    line(m, "\tby mx.example.com with SMTP id " + std::to_string(rng_.next() % 1000000000) + ";");
    line(m, "\t" + dateHeader());
    line(m, "Message-ID: " + id);
    line(m, "Date: " + dateHeader());
    if (rng_.chance(5))
      line(m, "From: =?ISO-8859-1?Q?" + fromName.substr(0, fromName.find(' ')) + "_M=FCller?= <" + fromAddr + ">");
    else
      line(m, "From: \"" + fromName + "\" <" + fromAddr + ">");
    line(m, "To: " + toName + " <" + toAddr + ">");
    if (rng_.chance(15)) {
      const Person& cc = people_[partner()];
      line(m, "Cc: " + cc.name + " <" + cc.addr + ">");
    }
    std::string subject = (reply ? "Re: " : "") + t->subject;
    if (rng_.chance(3)) subject = "=?ISO-8859-1?Q?" + t->subject.substr(0, 5) + "_=E4nderung?=";
    line(m, "Subject: " + subject);
    if (reply && !t->lastId.empty()) {
      line(m, "In-Reply-To: " + t->lastId);
      line(m, "References: " + t->lastId);
    }
    t->lastId = id;
    ++t->replies;
    line(m, "MIME-Version: 1.0");
    line(m, "X-Mailer: Example Mailer 2.1");

    std::size_t size = static_cast<std::size_t>(bodySize());
    int kind = rng_.below(100);  // 0-9 multipart, 10-19 HTML, 20-27 quoted-printable, rest plain
    if (kind < 10) {
      std::string boundary = "=_boundary_" + std::to_string(index) + "_" + std::to_string(rng_.below(100000));
      bool alternative = kind < 5;
      line(m, std::string("Content-Type: multipart/") + (alternative ? "alternative" : "mixed") + ";");
      line(m, "\tboundary=\"" + boundary + "\"");
      line(m, "");
      line(m, "This is a multi-part message in MIME format.");
      line(m, "");
      line(m, "--" + boundary);
      if (alternative && rng_.chance(30)) {
        line(m, "Content-Type: text/html; charset=\"iso-8859-1\"");
        line(m, "");
        htmlText(m, size / 2);
        line(m, "--" + boundary);
        line(m, "Content-Type: text/plain; charset=\"iso-8859-1\"");
        line(m, "");
        plainText(m, size / 2, reply);
      } else {
        line(m, "Content-Type: text/plain; charset=\"iso-8859-1\"");
        line(m, "Content-Transfer-Encoding: 7bit");
        line(m, "");
        if (alternative) {
          plainText(m, size / 2, reply);
          line(m, "--" + boundary);
          line(m, "Content-Type: text/html; charset=\"iso-8859-1\"");
          line(m, "");
          htmlText(m, size / 2);
        } else {
          plainText(m, std::min<std::size_t>(size / 4 + 400, 4000), reply);
          line(m, "--" + boundary);
          line(m, "Content-Type: application/octet-stream; name=\"data" + std::to_string(index) + ".bin\"");
          line(m, "Content-Transfer-Encoding: base64");
          line(m, "Content-Disposition: attachment; filename=\"data" + std::to_string(index) + ".bin\"");
          line(m, "");
          base64(m, size);
        }
      }
      line(m, "--" + boundary + "--");
    } else if (kind < 20) {
      line(m, "Content-Type: text/html; charset=\"iso-8859-1\"");
      line(m, "");
      htmlText(m, size);
    } else if (kind < 28) {
      line(m, "Content-Type: text/plain; charset=\"iso-8859-1\"");
      line(m, "Content-Transfer-Encoding: quoted-printable");
      line(m, "");
      qpText(m, size);
    } else {
      line(m, "Content-Type: text/plain; charset=\"us-ascii\"");
      line(m, "");
      plainText(m, size, reply);
    }
    line(m, "");
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::string out;
  long count = 100000;
  uint64_t seed = 1998;
  bool crlf = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--count" && i + 1 < argc)
      count = std::atol(argv[++i]);
    else if (a == "--seed" && i + 1 < argc)
      seed = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--crlf")
      crlf = true;
    else if (!a.empty() && a[0] != '-' && out.empty())
      out = a;
    else {
      std::fprintf(stderr, "usage: gen_mailbox OUTPUT [--count N] [--seed S] [--crlf]\n");
      return 2;
    }
  }
  if (out.empty() || count <= 0) {
    std::fprintf(stderr, "usage: gen_mailbox OUTPUT [--count N] [--seed S] [--crlf]\n");
    return 2;
  }
  std::FILE* f = std::fopen(out.c_str(), "wb");
  if (!f) {
    std::perror(out.c_str());
    return 1;
  }
  Generator g(seed, crlf);
  std::string buf;
  uint64_t total = 0;
  for (long i = 0; i < count; ++i) {
    g.mail(buf, static_cast<int>(i));
    if (buf.size() > (1u << 20) || i + 1 == count) {
      if (std::fwrite(buf.data(), 1, buf.size(), f) != buf.size()) {
        std::perror(out.c_str());
        std::fclose(f);
        return 1;
      }
      total += buf.size();
      buf.clear();
    }
  }
  if (std::fclose(f) != 0) {
    std::perror(out.c_str());
    return 1;
  }
  std::printf("%ld mails, %.1f MB written to %s\n", count, static_cast<double>(total) / 1e6, out.c_str());
  return 0;
}
