// The CISCOMM tables: a forum table (CCO) or a mail table (CMA), both in
// the DOS character set. Which one a file is read as follows the target of
// the import: the mail table when mail goes into a mail database, else the
// forum table of the forum chosen for the import (or the forum named after
// the file).
#include "import/formats/captures/capture_converter.h"
#include "import/formats/mail/mail_converter.h"
#include "import/formats/shared/cis_identifier.h"
#include "import/formats/tables/navcis_time.h"
#include "import/formats/tables/table_converter.h"
#include "text/strings.h"
#include "text/strip_char.h"

namespace qb::import::tables {
namespace {


class CiscommFormat : public TableFormat {
 public:
  bool start(ImportContext& ctx, DbfTable& t, std::string& error) override {
    mailTable_ = captures::mailTarget(ctx.request());
    // A forum table has section fields; a mail table keeps addresses in memos.
    const bool forumLayout = t.field("MSG_SECTNO") >= 0;
    for (const char* name : {"MSG_NUMBER", "MSG_SUBJEC", "MSG_SENDER", "MSG_SENDID", "MSG_TEXT"}) {
      if (t.field(name) < 0) {
        error = std::string("The table has no field ") + name + ": it is not a CISCOMM message table.";
        return false;
      }
    }
    if (mailTable_ && forumLayout) {
      error = "This is a CISCOMM forum table; import it into a forum, not into a mail database.";
      return false;
    }
    if (!mailTable_ && !forumLayout) {
      error = "This is a CISCOMM mail table; import it into a mail database (--mail-db).";
      return false;
    }
    f_ = Fields{t.field("MSG_NUMBER"), t.field("MSG_DATE"),   t.field("MSG_TIME"),  t.field("MSG_SUBJEC"),
                t.field("MSG_SENDER"), t.field("MSG_SENDID"), t.field("MSG_RECVR"), t.field("MSG_RECVID"),
                t.field("MSG_PARENT"), t.field("MSG_SECTNO"), t.field("MSG_SECT"),  t.field("MSG_TEXT")};
    if (mailTable_) {
      mail_.startFile(ctx);
    } else {
      forumName_ = captures::chosenForumName(ctx);
    }
    return true;
  }

  bool file(ImportContext& ctx, DbfTable& t) override {
    const ImportRequest& req = ctx.request();
    NHR nhr;
    if (mailTable_) {
      if (!(req.kinds & KindMail) || !mail_.accepts()) return skip(ctx);
      nhr.TIME = hourMinute(t.text(f_.time));
      nhr.RECIPTYPE = "TO";
      nhr.S_CISADRESS = tableAddress(firstLine(text(t, f_.sendId, true)));
      nhr.R_CISADRESS = tableAddress(firstLine(text(t, f_.recvId, true)));
    } else {
      if (!(req.kinds & KindForum)) return skip(ctx);
      nhr.FOR_DESCRIPTION = forumName_;
      if (!forumNumbers(ctx, forumName_, t.number(f_.number), t.number(f_.parent), nhr)) return skip(ctx);
      nhr.SECTIONNUMBER = static_cast<uint32_t>(std::max(0L, t.number(f_.sectionNo)));
      nhr.SEC_DESCRIPTION = text(t, f_.section, false);
      nhr.S_CISADRESS = tableAddress(text(t, f_.sendId, false));
      nhr.R_CISADRESS = tableAddress(text(t, f_.recvId, false));
    }
    nhr.HEADING = text(t, f_.subject, false);
    nhr.S_NAME = text(t, f_.sender, false);
    nhr.R_NAME = text(t, f_.recipient, false);
    nhr.DATE = t.date(f_.date);
    std::string body = t.memo(f_.text);
    tableText(t, true, body);
    body = text::StripChar(mailTable_ ? text::StripKind::Mail : text::StripKind::Forum, std::move(body));
    if (mailTable_) {
      mail::applyOwnerRule(nhr, mail_.owner());
      return mail_.append(ctx, nhr, body, {});
    }
    return ctx.appendWork(nhr, body);
  }

 private:
  struct Fields {
    int number, date, time, subject, sender, sendId, recipient, recvId, parent, sectionNo, section, text;
  };

  static bool skip(ImportContext& ctx) {
    ctx.skipped();
    return true;
  }
  // A character field, or the memo of a memo field, in Windows characters.
  static std::string text(DbfTable& t, int field, bool memo) {
    std::string s = memo && field >= 0 && t.fields()[static_cast<std::size_t>(field)].type == 'M' ? t.memo(field)
                                                                                              : t.text(field);
    tableText(t, true, s);
    return s;
  }
  static std::string firstLine(const std::string& s) {
    std::string_view v = text::trimView(s);
    return text::trim(v.substr(0, v.find_first_of("\r\n")));
  }

  bool mailTable_ = false;
  Fields f_{};
  std::string forumName_;
  mail::MailTarget mail_;
};

}  // namespace

std::unique_ptr<TableFormat> makeCiscommFormat() { return std::make_unique<CiscommFormat>(); }

}  // namespace qb::import::tables
