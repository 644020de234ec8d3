// The bundled samples imported as scripts/demo.sh does (every line of
// samples/MANIFEST, with quillbox-cli): the archive must look like one
// person's real archive, so no database may hold near-copies of a message.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_run.h"
#include "text/datetime.h"

namespace {

namespace fs = std::filesystem;

// One row of `list --json`: its fields as text.
using Row = std::map<std::string, std::string>;

// The fields of the JSON objects `list --json` and `databases --json`
// write, one object a line.
std::vector<Row> jsonRows(const std::string& out) {
  std::vector<Row> rows;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find('{') == std::string::npos) continue;
    Row row;
    std::size_t p = line.find('{') + 1;
    while (true) {
      std::size_t k = line.find('"', p);
      if (k == std::string::npos) break;
      std::size_t ke = line.find('"', k + 1);
      std::string key = line.substr(k + 1, ke - k - 1);
      p = line.find(':', ke) + 1;
      while (p < line.size() && line[p] == ' ') ++p;
      std::string value;
      if (p < line.size() && line[p] == '"') {
        for (++p; p < line.size() && line[p] != '"'; ++p) {
          if (line[p] == '\\' && p + 1 < line.size()) ++p;
          value += line[p];
        }
        ++p;
      } else {
        while (p < line.size() && line[p] != ',' && line[p] != '}') value += line[p++];
      }
      row[key] = value;
      p = line.find(',', p);
      if (p == std::string::npos) break;
      ++p;
    }
    rows.push_back(row);
  }
  return rows;
}

// A subject without leading "Re:" (any case, any number of them), in upper case.
std::string baseSubject(std::string s) {
  while (true) {
    std::size_t b = s.find_first_not_of(' ');
    s = b == std::string::npos ? "" : s.substr(b);
    if (s.size() >= 3 && std::toupper(static_cast<unsigned char>(s[0])) == 'R' &&
        std::toupper(static_cast<unsigned char>(s[1])) == 'E' && s[2] == ':') {
      s = s.substr(3);
      continue;
    }
    break;
  }
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

int32_t day(const std::string& date) {
  if (date.size() != 10) return 0;
  return qb::text::dayNumber(std::stoi(date.substr(0, 4)), std::stoi(date.substr(5, 2)), std::stoi(date.substr(8, 2)));
}

// Near-copies among the rows of a mail database: two mails from the same
// sender with the same subject (leading "Re:" removed) less than two years
// apart that are not one mail. One mail is stored once per recipient, so
// rows of the same sender, subject, date and time are the same mail.
std::vector<std::string> mailNearCopies(const std::vector<Row>& mails) {
  std::vector<std::string> found;
  for (std::size_t i = 0; i < mails.size(); ++i) {
    for (std::size_t j = i + 1; j < mails.size(); ++j) {
      const Row& a = mails[i];
      const Row& b = mails[j];
      if (a.at("sender") != b.at("sender") || baseSubject(a.at("subject")) != baseSubject(b.at("subject"))) continue;
      if (a.at("date") == b.at("date") && a.at("time") == b.at("time") && a.at("subject") == b.at("subject")) continue;
      if (std::abs(day(a.at("date")) - day(b.at("date"))) > 730) continue;
      found.push_back("\"" + a.at("subject") + "\" from " + a.at("sender") + " on " + a.at("date") + " " +
                      a.at("time") + " and \"" + b.at("subject") + "\" on " + b.at("date") + " " + b.at("time"));
    }
  }
  return found;
}

// Near-copies among forum messages and news articles: two conversations
// started under the same subject in one database, or by the same sender in
// two databases. `messages` maps a database's name to its rows; a message
// that answers none starts a conversation.
std::vector<std::string> threadNearCopies(const std::map<std::string, std::vector<Row>>& messages) {
  std::map<std::pair<std::string, std::string>, int> inDatabase;               // (database, subject)
  std::map<std::pair<std::string, std::string>, std::set<std::string>> bySender;  // (sender, subject)
  for (const auto& [db, rows] : messages)
    for (const Row& m : rows)
      if (m.at("replyTo") == "0") {
        ++inDatabase[{db, baseSubject(m.at("subject"))}];
        bySender[{m.at("sender"), baseSubject(m.at("subject"))}].insert(db);
      }
  std::vector<std::string> found;
  for (const auto& [key, count] : inDatabase)
    if (count > 1) found.push_back(key.first + ": " + std::to_string(count) + " threads \"" + key.second + "\"");
  for (const auto& [key, dbs] : bySender)
    if (dbs.size() > 1)
      found.push_back(key.first + " starts \"" + key.second + "\" in " + std::to_string(dbs.size()) + " databases");
  return found;
}

Row mail(const std::string& sender, const std::string& subject, const std::string& date, const std::string& time) {
  return {{"sender", sender}, {"subject", subject}, {"date", date}, {"time", time}};
}

TEST(DemoSamples, NearCopyRules) {
  // One mail to three recipients, a reply by someone else, and mails years apart are no copies.
  std::vector<Row> fine = {mail("Ann", "Trip", "1995-05-03", "09:05"), mail("Ann", "Trip", "1995-05-03", "09:05"),
                           mail("Bob", "Re: Trip", "1995-05-04", "10:00"), mail("Ann", "Trip", "1998-05-03", "09:05"),
                           mail("Ann", "Tripod", "1995-05-03", "11:05")};
  EXPECT_TRUE(mailNearCopies(fine).empty());
  // An hour shifted, a time missing, a year shifted, an added "Re:".
  for (const Row& copy : {mail("Ann", "Trip", "1995-05-03", "10:05"), mail("Ann", "trip", "1995-05-03", ""),
                          mail("Ann", "Trip", "1996-05-03", "09:05"), mail("Ann", "Re: RE:Trip", "1995-05-04", "08:00")}) {
    EXPECT_EQ(mailNearCopies({fine[0], copy}).size(), 1u) << copy.at("subject") << " " << copy.at("date");
  }
  auto message = [](const std::string& sender, const std::string& subject, const std::string& replyTo) {
    return Row{{"sender", sender}, {"subject", subject}, {"replyTo", replyTo}};
  };
  // A thread with its answers, and another subject by the same sender.
  std::map<std::string, std::vector<Row>> forums = {
      {"A", {message("Ann", "Mirror", "0"), message("Bob", "Mirror", "1"), message("Ann", "Mirror", "2")}},
      {"B", {message("Ann", "Dew", "0"), message("Bob", "Mirror", "7")}}};
  EXPECT_TRUE(threadNearCopies(forums).empty());
  auto withCopy = forums;
  withCopy["A"].push_back(message("Cy", "Re: mirror", "0"));  // a second thread in one forum
  EXPECT_EQ(threadNearCopies(withCopy).size(), 1u);
  withCopy = forums;
  withCopy["B"].push_back(message("Ann", "Mirror", "0"));  // the same thread started in a second forum
  EXPECT_EQ(threadNearCopies(withCopy).size(), 1u);
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(s);
  while (std::getline(in, part, sep)) parts.push_back(part);
  if (!s.empty() && s.back() == sep) parts.emplace_back();
  return parts;
}

TEST(DemoSamples, EveryDatabaseIsFreeOfNearCopies) {
  // Some forty imports, each committing its work: in memory where the
  // system offers it, since on a busy disk the syncs take most of the time.
  std::error_code ec;
  const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
  std::string tmpl = (base / "quillbox-demo-XXXXXX").string();
  ASSERT_TRUE(::mkdtemp(tmpl.data()));
  const std::string home = tmpl + "/home";
  auto cli = [&](const std::vector<std::string>& args) { return qb::test::runCli(QB_CLI, home, args); };
  ASSERT_EQ(cli({"init"}).code, 0);

  std::ifstream manifest(std::string(QB_SOURCE_DIR) + "/samples/MANIFEST");
  ASSERT_TRUE(manifest) << "samples/MANIFEST is missing";
  std::string line, mailDb;
  int imports = 0;
  while (std::getline(manifest, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("#maildb ", 0) == 0) {
      std::vector<std::string> f = split(line.substr(8), '|');
      ASSERT_GE(f.size(), 2u) << line;
      std::vector<std::string> args = {"maildb", "create", f[0], "--address", f[1]};
      if (f.size() > 2)
        for (const std::string& alt : split(f[2], ','))
          if (!alt.empty()) args.insert(args.end(), {"--alt", alt});
      qb::test::CliResult r = cli(args);
      ASSERT_EQ(r.code, 0) << line << "\n" << r.err;
      mailDb = f[0];
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = split(line, '|');
    ASSERT_GE(f.size(), 2u) << line;
    std::vector<std::string> args = {"--quiet", "import", "--format", f[0], "--dir",
                                     std::string(QB_SOURCE_DIR) + "/samples/" + f[1]};
    if (f.size() > 2 && !f[2].empty()) args.insert(args.end(), {"--mask", f[2]});
    if (!mailDb.empty()) args.insert(args.end(), {"--mail-db", mailDb});
    if (f.size() > 3)
      for (const std::string& option : split(f[3], ' '))
        if (!option.empty()) args.push_back(option);
    qb::test::CliResult r = qb::test::runCli(QB_CLI, home, args);
    // 1: nothing new in the sample (its messages are stored already).
    EXPECT_TRUE(r.code == 0 || r.code == 1) << line << ": exit code " << r.code << "\n" << r.err;
    ++imports;
  }
  EXPECT_GT(imports, 0);

  qb::test::CliResult dbs = cli({"databases", "--json"});
  ASSERT_EQ(dbs.code, 0) << dbs.err;
  int mailDbs = 0;
  std::map<std::string, std::vector<Row>> messages;
  for (const Row& db : jsonRows(dbs.out)) {
    const bool isMail = db.at("kind") == "Mail";
    qb::test::CliResult list = cli({"list", db.at("id"), "--by", isMail ? "date" : "thread", "--json"});
    ASSERT_EQ(list.code, 0) << db.at("name") << "\n" << list.err;
    std::vector<Row> rows = jsonRows(list.out);
    EXPECT_FALSE(rows.empty()) << db.at("name");
    if (isMail) {
      ++mailDbs;
      for (const std::string& copy : mailNearCopies(rows)) ADD_FAILURE() << db.at("name") << ": " << copy;
    } else {
      messages[db.at("name")] = rows;
    }
  }
  EXPECT_GE(mailDbs, 1);
  EXPECT_FALSE(messages.empty());
  for (const std::string& copy : threadNearCopies(messages)) ADD_FAILURE() << copy;
  fs::remove_all(tmpl);
}

}  // namespace
