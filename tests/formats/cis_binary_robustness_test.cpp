// Damaged and foreign input for the CIM message files, the filing cabinet
// and the table formats: files cut at many points, bytes flipped at random,
// length and count fields set to their largest values, and random bytes.
// Every file ends without a crash or a hang, every text stays within the
// message text's size, and every work record names its target. CI runs
// these tests under AddressSanitizer and UndefinedBehaviorSanitizer too.
#include <gtest/gtest.h>

#include <random>

#include "formats/cis_binary_support.h"
#include "support/cli_run.h"

namespace qb::cistest {
namespace {

struct Source {
  const char* type;
  const char* file;  // below samples/
  const char* memo;  // the table's memo file, or null
};

const Source kSources[] = {
    {"WinCIM", "cim/wincim/MAIL01.MSG", nullptr},
    {"WinCIM", "cim/wincim/MAIL02.MSG", nullptr},
    {"WinCIM", "cim/wincim/STARGA02.THD", nullptr},
    {"DOSCIM", "cim/doscim/HOMEBR03.THD", nullptr},
    {"CSNav", "cim/csnav/NOTES02.THD", nullptr},
    {"CompuServe 3.x", "cim/cabinet/FCABINET.DAT", nullptr},
    {"NavCIS 1.6x", "tables/navcis16/RECV.DBF", "tables/navcis16/RECV.DBT"},
    {"NavCIS 1.7x", "tables/navcis17/HRECV.DBF", "tables/navcis17/HRECV.FPT"},
    {"CISCOMM", "tables/ciscomm/mail/MAIL.DBF", "tables/ciscomm/mail/MAIL.DBT"},
    {"CISCOMM", "tables/ciscomm/forum/BAKING.DBF", "tables/ciscomm/forum/BAKING.DBT"},
    {"OUI", "tables/oui/MESSAGE.DBF", "tables/oui/MESSAGE.FPT"},
};

std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }
std::string extension(const std::string& path) { return path.substr(path.rfind('.')); }

class Robust : public Harness {
 public:
  explicit Robust(const Source& s) : source(s) {
    if (std::string(s.file).find("ciscomm/mail") != std::string::npos) ctx.req.messageKind = 2;
    main = slurp(sample(s.file));
    if (s.memo) memo = slurp(sample(s.memo));
    EXPECT_FALSE(main.empty()) << s.file;
  }
  // Converts the sample with its main file (and memo file) replaced.
  void run(const std::string& mainBytes, const std::string& memoBytes) {
    reset();
    std::string path = dir + "/" + baseName(source.file);
    import::testing::writeFile(path, mainBytes);
    if (source.memo) import::testing::writeFile(dir + "/" + baseName(source.file).substr(0, baseName(source.file).rfind('.')) + extension(source.memo), memoBytes);
    int steps = convert(source.type, path, 20000);
    EXPECT_LT(steps, 20000);
    EXPECT_LE(ctx.work.size(), 64u);
    for (auto& w : ctx.work) {
      EXPECT_LE(w.text.size(), 64000u);
      EXPECT_FALSE(w.nhr.FOR_DESCRIPTION.blank());
      EXPECT_NE(w.nhr.INTERNAL, 0u);
      if (w.nhr.MAILTYPE != 0) {
        EXPECT_LE(w.nhr.MAILTYPE, 2);
      }
    }
  }
  const Source& source;
  std::string main, memo;
};

TEST(CisBinaryRobustness, TruncatedFiles) {
  for (const Source& s : kSources) {
    SCOPED_TRACE(s.file);
    Robust r(s);
    for (std::size_t cut = 0; cut < r.main.size(); cut += r.main.size() / 40 + 1) r.run(r.main.substr(0, cut), r.memo);
    for (std::size_t cut = 0; s.memo && cut < r.memo.size(); cut += r.memo.size() / 20 + 1)
      r.run(r.main, r.memo.substr(0, cut));
  }
}

TEST(CisBinaryRobustness, RandomByteFlips) {
  std::mt19937 rng(1995);
  for (const Source& s : kSources) {
    SCOPED_TRACE(s.file);
    Robust r(s);
    for (int round = 0; round < 40; ++round) {
      std::string m = r.main, memo = r.memo;
      int flips = 1 + static_cast<int>(rng() % 8);
      for (int i = 0; i < flips; ++i) m[rng() % m.size()] = static_cast<char>(rng());
      if (!memo.empty() && round % 2)
        for (int i = 0; i < flips; ++i) memo[rng() % memo.size()] = static_cast<char>(rng());
      r.run(m, memo);
    }
  }
}

// Every byte of the first 300 in turn set to 0xFF: each length, count and
// size field of the records and table headers at its largest; in the memo
// files the header and every sixteenth byte.
TEST(CisBinaryRobustness, OversizedLengthFields) {
  for (const Source& s : kSources) {
    SCOPED_TRACE(s.file);
    Robust r(s);
    std::size_t limit = std::min<std::size_t>(r.main.size(), 300);
    for (std::size_t i = 0; i < limit; ++i) {
      std::string m = r.main;
      m[i] = '\xFF';
      r.run(m, r.memo);
    }
    for (std::size_t i = 0; s.memo && i < r.memo.size(); i += i < 64 ? 1 : 16) {
      std::string memo = r.memo;
      memo[i] = '\xFF';
      r.run(r.main, memo);
    }
  }
}

TEST(CisBinaryRobustness, RandomFiles) {
  std::mt19937 rng(2026);
  for (const Source& s : kSources) {
    SCOPED_TRACE(s.file);
    Robust r(s);
    for (int round = 0; round < 12; ++round) {
      std::string m(rng() % 5000, '\0');
      for (char& c : m) c = static_cast<char>(rng());
      // Half of them with the right signature in front.
      if (round % 2) m = r.main.substr(0, std::min<std::size_t>(r.main.size(), 12)) + m;
      r.run(m, r.memo);
    }
  }
}

TEST(CisBinaryRobustness, CommandLineExitCodes) {
  Harness h;
  std::string home = h.archive.home();
  std::string dir = h.dir + "/junk";
  std::filesystem::create_directories(dir);
  import::testing::writeFile(dir + "/A.THD", std::string("VIS000\x1A\x05\x00\x02garbage", 17));
  import::testing::writeFile(dir + "/FCABINET.DAT", "FCAB~CS~FCR~" + std::string(300, '\xFF'));
  import::testing::writeFile(dir + "/RECV.DBF", std::string(100, '\x03'));
  for (const char* type : {"WinCIM", "CompuServe 3.x", "NavCIS 1.6x"}) {
    auto r = test::runCli(QB_CLI, home, {"--quiet", "import", "--format", type, "--dir", dir, "--mask", "*.*"});
    EXPECT_TRUE(r.code == 0 || r.code == 1 || r.code == 2) << type << ": " << r.code << r.err;
    EXPECT_EQ(r.code, 1) << type << r.out << r.err;  // nothing to import
  }
}

}  // namespace
}  // namespace qb::cistest
