#include "archive/browse/browse_view.h"

#include "archive/browse/browse_pager.h"
#include "archive/session.h"
#include "text/strings.h"
#include "text/unicode.h"


namespace qb::store {

namespace {

// Views 1 to 9 of the message browse and 1 to 8 of the mail browse.
const BrowseViewDef kMsgViewDefs[kMessageViews] = {
    {MsgNmbr::DateKey, BrowseFilter::None, true},    {MsgNmbr::Threadkey, BrowseFilter::Thread, true},
    {MsgNmbr::SECkey, BrowseFilter::Section, true},  {MsgNmbr::FromKey, BrowseFilter::Sender, true},
    {MsgNmbr::ToKey, BrowseFilter::Receiver, true},  {MsgNmbr::IdKey, BrowseFilter::None, true},
    {0, BrowseFilter::None, true},                   {0, BrowseFilter::None, true},
    {0, BrowseFilter::None, true},
};
const BrowseViewDef kMailViewDefs[kMailViews] = {
    {Mail::DateKey, BrowseFilter::None, true},      {Mail::SubjectKey, BrowseFilter::None, true},
    {Mail::PairKey, BrowseFilter::Partner, true},   {Mail::FromKey, BrowseFilter::Sender, true},
    {Mail::ToKey, BrowseFilter::Receiver, true},    {0, BrowseFilter::None, true},
    {0, BrowseFilter::None, true},                  {0, BrowseFilter::None, true},
};

// Alpha key parts compare without regard to case, as the keys do.
template <std::size_t N, std::size_t M>
bool sameAlpha(const FixedString<N>& a, const FixedString<M>& b) {
  return text::foldCase(a.str()) == text::foldCase(b.str());
}

// Limits the pager to the key range of an (alpha, number) pair, the first
// two components of the view's key: a thread, or a person. No range for
// number 0 (no filter value).
template <class R, class Alpha>
void limitTo(BrowsePager<BrowseRow>& p, Table<R>& f, Alpha R::*alphaField, const Alpha& alpha,
             uint32_t R::*idField, uint32_t id) {
  if (!id) return;
  p.parts = 2;
  p.setRange = [&f, alphaField, alpha, idField, id] {
    f.rec.*alphaField = alpha;
    f.rec.*idField = id;
  };
  p.inRange = [&f, alphaField, alpha, idField, id] {
    return f.rec.*idField == id && sameAlpha(f.rec.*alphaField, alpha);
  };
}

// The filter value of `f` from a header record.
void setFilterFrom(const MsgNmbr& m, BrowseFilter f, BrowseContext& c) {
  switch (f) {
    case BrowseFilter::Thread: c.XTHREADNUMBER = m.THREADNUMBER; c.XTHREADALPHA = m.THREADALPHA; break;
    case BrowseFilter::Section: c.XSECSYSID = m.SECSYSID; break;
    case BrowseFilter::Sender: c.XSENDID = m.FROMID; c.XSENDERALPHA = m.FROMALPHA; break;
    case BrowseFilter::Receiver: c.XRECEIVEID = m.TOID; c.XRECEIVERALPHA = m.TOALPHA; break;
    default: break;
  }
}

void setFilterFrom(const Mail& m, BrowseFilter f, MailBrowseContext& c) {
  switch (f) {
    case BrowseFilter::Partner: c.XPAIRID = m.PAIRID; c.XPAIRALPHA = m.PAIRALPHA; break;
    case BrowseFilter::Sender: c.XSENDID = m.FROMID; c.XSENDERALPHA = m.FROMALPHA; break;
    case BrowseFilter::Receiver: c.XRECEIVEID = m.TOID; c.XRECEIVERALPHA = m.TOALPHA; break;
    default: break;
  }
}

}  // namespace

const BrowseViewDef& browseView(bool mail, int view) {
  const int n = mail ? kMailViews : kMessageViews;
  if (view < 1 || view > n) view = 1;
  return mail ? kMailViewDefs[view - 1] : kMsgViewDefs[view - 1];
}

bool BrowseState::filterSet() const {
  switch (filter()) {
    case BrowseFilter::Thread: return msg.XTHREADNUMBER != 0;
    case BrowseFilter::Section: return msg.XSECSYSID != 0;
    case BrowseFilter::Sender: return (mail ? box.XSENDID : msg.XSENDID) != 0;
    case BrowseFilter::Receiver: return (mail ? box.XRECEIVEID : msg.XRECEIVEID) != 0;
    case BrowseFilter::Partner: return box.XPAIRID != 0;
    case BrowseFilter::None: break;
  }
  return false;
}

void BrowseState::setView(int v) {
  view = v;
  if (mail) box.SORTORDER = static_cast<uint8_t>(v);
  else msg.SORTORDER = static_cast<uint8_t>(v);
}

void BrowseState::setCount(uint32_t n) {
  if (mail) box.MAXNUMBER = n;
  else msg.MAXNUMBER = n;
}

void BrowseState::setCurrent(uint32_t id) {
  if (mail) box.XMAILID = id;
  else msg.XMSGID = id;
}

void BrowseState::store(Session& s) const {
  if (mail) {
    MailBrowseContext c = box;
    MailContext(s, 2, c);
  } else {
    BrowseContext c = msg;
    Context(s, 2, c);
  }
}

BrowseQuery::BrowseQuery(Session& s, const BrowseState& state, const RowOptions& options)
    : s_(s), state_(state), options_(options) {
  const BrowseViewDef& v = browseView(state.mail, state.view);
  if (state.mail) {
    auto& f = s.Mail();
    const MailBrowseContext& c = state.box;
    pager_ = std::make_unique<BrowsePager<BrowseRow>>(f, v.key);
    pager_->build = [this, &f] { return BrowseRow{buildMailRow(s_, f.rec, options_)}; };
    switch (v.filter) {
      case BrowseFilter::Partner: limitTo(*pager_, f, &Mail::PAIRALPHA, c.XPAIRALPHA, &Mail::PAIRID, c.XPAIRID); break;
      case BrowseFilter::Sender: limitTo(*pager_, f, &Mail::FROMALPHA, c.XSENDERALPHA, &Mail::FROMID, c.XSENDID); break;
      case BrowseFilter::Receiver: limitTo(*pager_, f, &Mail::TOALPHA, c.XRECEIVERALPHA, &Mail::TOID, c.XRECEIVEID); break;
      default: break;
    }
    return;
  }
  auto& f = s.MsgNmbr();
  const BrowseContext& c = state.msg;
  pager_ = std::make_unique<BrowsePager<BrowseRow>>(f, v.key);
  pager_->build = [this, &f] { return BrowseRow{buildMsgRow(s_, f.rec, options_)}; };
  switch (v.filter) {
    case BrowseFilter::Thread:
      limitTo(*pager_, f, &MsgNmbr::THREADALPHA, c.XTHREADALPHA, &MsgNmbr::THREADNUMBER, c.XTHREADNUMBER);
      break;
    case BrowseFilter::Section:
      if (const uint32_t id = c.XSECSYSID) {
        pager_->parts = 1;
        pager_->setRange = [&f, id] { f.rec.SECSYSID = id; };
        pager_->inRange = [&f, id] { return f.rec.SECSYSID == id; };
      }
      break;
    case BrowseFilter::Sender: limitTo(*pager_, f, &MsgNmbr::FROMALPHA, c.XSENDERALPHA, &MsgNmbr::FROMID, c.XSENDID); break;
    case BrowseFilter::Receiver: limitTo(*pager_, f, &MsgNmbr::TOALPHA, c.XRECEIVERALPHA, &MsgNmbr::TOID, c.XRECEIVEID); break;
    default: break;
  }
}

BrowseQuery::~BrowseQuery() = default;

std::vector<BrowseQuery::Entry> BrowseQuery::first(int n) { return pager_->first(n); }
std::vector<BrowseQuery::Entry> BrowseQuery::last(int n) { return pager_->last(n); }
std::vector<BrowseQuery::Entry> BrowseQuery::after(int64_t pos, int n) { return pager_->after(pos, n); }
std::vector<BrowseQuery::Entry> BrowseQuery::before(int64_t pos, int n) { return pager_->before(pos, n); }
std::vector<BrowseQuery::Entry> BrowseQuery::from(int64_t pos, int n) { return pager_->from(pos, n); }

std::vector<BrowseQuery::Entry> BrowseQuery::atDate(int32_t day, int n, int64_t* located) {
  if (state_.mail) return pager_->at([&] { s_.Mail().rec.DATE = day; }, 1, n, located);
  return pager_->at([&] { s_.MsgNmbr().rec.DATE = day; }, 1, n, located);
}

std::vector<BrowseQuery::Entry> BrowseQuery::atNumber(uint32_t number, int n, int64_t* located) {
  if (located) *located = 0;
  if (state_.mail || browseView(false, state_.view).key != MsgNmbr::IdKey) return {};
  return pager_->at([&] { s_.MsgNmbr().rec.MSGNUMBER = number; }, 1, n, located);
}

std::vector<BrowseQuery::Entry> BrowseQuery::atSubject(const std::string& subject, int n, int64_t* located) {
  if (located) *located = 0;
  if (!state_.mail || browseView(true, state_.view).key != Mail::SubjectKey) return {};
  return pager_->at([&] { s_.Mail().rec.SUBJECT = subject; }, 1, n, located);
}

int64_t BrowseQuery::rowNumber(int64_t pos) {
  const int64_t before = pos ? pager_->countBefore(pos) : -1;
  return before < 0 ? 0 : before + 1;
}

bool BrowseQuery::filtered() const { return pager_->parts != 0; }

bool BrowseQuery::neighbour(int dir, BrowseState& state) {
  const BrowseFilter f = browseView(state_.mail, state_.view).filter;
  if (f == BrowseFilter::None || !filtered() || !pager_->outside(dir)) return false;
  if (state_.mail) setFilterFrom(s_.Mail().rec, f, state.box);
  else setFilterFrom(s_.MsgNmbr().rec, f, state.msg);
  return true;
}


bool filterFromPosition(Session& s, int64_t pos, BrowseState& state) {
  const BrowseFilter f = state.filter();
  if (f == BrowseFilter::None) return false;
  if (state.mail) {
    if (s.Mail().getPosition(pos) != Err::Ok) return false;
    setFilterFrom(s.Mail().rec, f, state.box);
  } else {
    if (s.MsgNmbr().getPosition(pos) != Err::Ok) return false;
    setFilterFrom(s.MsgNmbr().rec, f, state.msg);
  }
  return true;
}

int64_t messagePosition(Session& s, bool mail, uint32_t id) {
  if (mail) {
    auto& f = s.Mail();
    f.clear();
    f.rec.MAILID = id;
    return f.get(Mail::IdKey) == Err::Ok ? f.position() : 0;
  }
  auto& f = s.MsgNmbr();
  f.clear();
  f.rec.MSGNUMBER = id;
  return f.get(MsgNmbr::IdKey) == Err::Ok ? f.position() : 0;
}

}  // namespace qb::store
