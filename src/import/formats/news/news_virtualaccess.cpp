#include "import/formats/news/news_virtualaccess.h"

#include "text/month_date.h"
#include "store/record.h"

namespace qb::import::news {
namespace {

constexpr uint32_t kReferenceSpan = 30000;  // a reference lies at most this far below the number

bool isDashLine(std::string_view s) {
  return text::trimRightView(s, " \t") == "----------";
}

bool allDigits(std::string_view s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

uint32_t number(std::string_view s) {
  uint32_t n = 0;
  for (char c : s) n = n * 10 + static_cast<uint32_t>(c - '0');
  return n;
}

std::size_t nextLine(const std::vector<text::LinePiece>& p, std::size_t i) {
  std::size_t n = i + 1;
  while (n < p.size() && p[n - 1].continued) ++n;
  return n;
}

}  // namespace

VirtualAccessTitle readVirtualAccessTitle(std::string_view title, std::string_view comment) {
  VirtualAccessTitle t;
  std::size_t slash = title.find('/');
  if (slash == std::string_view::npos) return t;
  t.forum = text::upper1252(title.substr(0, slash));

  // The section token: "S3_Utilities" gives section 3 named Utilities.
  std::size_t tokenStart = slash + 1;
  std::size_t blank = title.find(' ', tokenStart);
  std::string_view token = title.substr(tokenStart, blank == std::string_view::npos ? std::string_view::npos
                                                                                    : blank - tokenStart);
  std::size_t underscore = token.substr(0, 30).find('_');
  if (underscore == std::string_view::npos) {
    t.sectionName = std::string(token);
  } else {
    std::string_view digits = token.substr(1, underscore >= 1 ? underscore - 1 : 0);
    t.section = allDigits(digits) ? number(digits) : 0;
    t.sectionName = std::string(token.substr(underscore + 1));
  }

  // "#12345," after the token.
  if (blank != std::string_view::npos && blank + 1 < title.size() && title[blank + 1] == '#') {
    std::string_view rest = title.substr(blank + 2, 50);
    std::size_t comma = rest.find(',');
    std::string_view digits = rest.substr(0, comma);
    if (comma != std::string_view::npos && allDigits(digits)) t.number = number(digits);
  }

  // "chars, " then the date: DD-MMM-YY or DD-MMM-YYYY.
  std::size_t chars = title.substr(0, 82).find("chars, ");
  if (chars != std::string_view::npos) {
    std::string_view d = title.substr(chars + 7);
    bool fourDigits = d.size() > 9 && d[9] != ' ';
    if (d.size() >= 9)
      t.date = text::monthNameDate(d.substr(0, 2), text::upper1252(d.substr(3, 3)), d.substr(7, fourDigits ? 4 : 2));
  }

  // "Comment to 12340." names the message replied to.
  if (comment.substr(0, 11) == "Comment to " && comment.size() >= 13) {
    std::string_view digits = comment.substr(11, comment.size() - 12);
    uint32_t ref = allDigits(digits) ? number(digits) : 0;
    if (ref != 0 && ref <= t.number && t.number <= ref + kReferenceSpan) t.reference = ref;
  }
  return t;
}

bool VirtualAccessFiler::file(ImportContext& ctx, SourceMessage& m) {
  // The title line, an optional "Comment to " line, then ten "-".
  const auto& p = m.pieces;
  if (p.empty()) return true;
  std::size_t second = nextLine(p, 0);
  std::size_t header = p.size();
  std::string_view comment;
  if (second < p.size() && isDashLine(p[second].view())) {
    header = nextLine(p, second);
  } else if (second < p.size()) {
    std::size_t third = nextLine(p, second);
    if (third < p.size() && isDashLine(p[third].view())) {
      comment = p[second].view();
      header = nextLine(p, third);
    }
  }
  if (header >= p.size()) {
    ctx.skipped();
    return true;
  }
  const VirtualAccessTitle title = readVirtualAccessTitle(p[0].view(), comment);
  m.first = header;

  NHR nhr;
  InternetHeaderReader reader(ctx);
  HeaderResult r = reader.read(m.pieces, m.first, nhr, options(m));
  switch (r.kind) {
    case MessageKind::Forum:
      return fileForum(ctx, nhr, m, r, title);
    case MessageKind::News:
      return fileNews(ctx, nhr, m, r);
    default:
      return fileMail(ctx, nhr, m, r);
  }
}

bool VirtualAccessFiler::fileForum(ImportContext& ctx, NHR& nhr, SourceMessage& m, const HeaderResult& r,
                                   const VirtualAccessTitle& title) {
  const ImportRequest& req = ctx.request();
  if (!(req.kinds & KindForum) || title.number == 0 || title.forum.empty()) {
    ctx.skipped();
    return true;
  }
  nhr.FOR_DESCRIPTION = title.forum;
  nhr.MSGNUMBER = title.number;
  nhr.REFNUMBER = title.reference;
  if (title.date != 0) nhr.DATE = title.date;
  Resolution res = ctx.resolveDatabase(title.forum, 1, nhr);
  if (!res.accept || res.id == 0 || req.createOnly) {
    ctx.skipped();
    return true;
  }
  nhr.INTERNAL = res.id;
  nhr.SECTIONNUMBER = title.section;
  nhr.SEC_DESCRIPTION = title.sectionName;
  if (!req.allowReimport && ctx.alreadyImported(nhr.INTERNAL, nhr.MSGNUMBER)) {
    ctx.skipped();
    return true;
  }
  return append(ctx, nhr, m, r);
}

}  // namespace qb::import::news
