// The NavCIS tables ("RECV.DBF" of 1.6x, "HRECV.DBF" of 1.7x): one record
// per forum message or mail. HRE:INTERNAL 0 marks mail, any other value a
// forum message of the forum in HRE:FORUM_NAME.
#include "import/formats/mail/mail_converter.h"
#include "import/formats/shared/cis_identifier.h"
#include "import/formats/tables/navcis_time.h"
#include "import/formats/tables/table_converter.h"
#include "text/month_date.h"
#include "text/strings.h"
#include "text/strip_char.h"

namespace qb::import::tables {
namespace {

// Forum message numbers at or above this are the reader's own, not the
// forum's.

class NavCisFormat : public TableFormat {
 public:
  bool start(ImportContext& ctx, DbfTable& t, std::string& error) override {
    for (const char* name : {"INTERNAL", "FORUM_NAME", "SUBJECT", "MSG_NUMBER", "MSG_TEXT"}) {
      if (t.field(name) < 0) {
        error = std::string("The table has no field ") + name + ": it is not a NavCIS message table.";
        return false;
      }
    }
    f_ = Fields{t.field("INTERNAL"),  t.field("FORUM_NAME"), t.field("SEC_NUMBER"), t.field("SEC_NAME"),
                t.field("SUBJECT"),   t.field("SEND_ID"),    t.field("SEND_NAME"),  t.field("RECV_ID"),
                t.field("RECV_NAME"), t.field("MSG_NUMBER"), t.field("MSG_PARENT"), t.field("MSG_DATE"),
                t.field("MSG_TIME"),  t.field("MSG_TEXT"),   t.field("KEEP"),       t.field("IS_DELETE")};
    mail_.startFile(ctx);
    return true;
  }

  bool file(ImportContext& ctx, DbfTable& t) override {
    const ImportRequest& req = ctx.request();
    const bool isMail = t.number(f_.internal) == 0;
    NHR nhr;
    if (isMail) {
      if (!(req.kinds & KindMail) || !mail_.accepts()) return skip(ctx);
      nhr.RECIPTYPE = "TO";
      nhr.TIME = navCisTime(t.text(f_.time));
    } else {
      if (!(req.kinds & KindForum)) return skip(ctx);
      std::string forum = text::upperAscii(text(t, f_.forum));
      if (forum.empty()) return skip(ctx);
      nhr.FOR_DESCRIPTION = forum;
      if (!forumNumbers(ctx, forum, t.number(f_.number), t.number(f_.parent), nhr)) return skip(ctx);
    }
    nhr.SECTIONNUMBER = static_cast<uint32_t>(std::max(0L, t.number(f_.section)));
    nhr.SEC_DESCRIPTION = text(t, f_.sectionName);
    nhr.HEADING = text(t, f_.subject);
    nhr.S_CISADRESS = tableAddress(headerField(text(t, f_.sendId)));
    nhr.S_NAME = headerField(text(t, f_.sendName));
    nhr.R_CISADRESS = tableAddress(headerField(text(t, f_.recvId)));
    nhr.R_NAME = headerField(text(t, f_.recvName));
    nhr.DATE = text::dateDDMMMYY(t.text(f_.date));
    if (t.text(f_.keep) == "T") nhr.DUMMY = 1;
    if (t.text(f_.deleted) == "T") nhr.DUMMY = 2;

    std::string body = t.memo(f_.text);
    tableText(t, false, body);
    // Texts whose lines end in LF alone get CR LF.
    if (body.find("\r\n") == std::string::npos) body = lfToCrLf(body);
    body = text::StripChar(isMail ? text::StripKind::Mail : text::StripKind::Forum, std::move(body));
    if (isMail) {
      mail::applyOwnerRule(nhr, mail_.owner());
      return mail_.append(ctx, nhr, body, {});
    }
    return ctx.appendWork(nhr, body);
  }

 private:
  struct Fields {
    int internal, forum, section, sectionName, subject, sendId, sendName, recvId, recvName, number, parent, date,
        time, text, keep, deleted;
  };

  static bool skip(ImportContext& ctx) {
    ctx.skipped();
    return true;
  }
  static std::string text(const DbfTable& t, int field) {
    std::string s = t.text(field);
    tableText(t, false, s);
    return s;
  }
  static std::string lfToCrLf(const std::string& s) {
    std::string out;
    out.reserve(s.size() + s.size() / 16);
    for (char c : s) {
      if (c == '\n') out += '\r';
      out += c;
    }
    return out;
  }

  Fields f_{};
  mail::MailTarget mail_;
};

}  // namespace

std::unique_ptr<TableFormat> makeNavCisFormat() { return std::make_unique<NavCisFormat>(); }

}  // namespace qb::import::tables
