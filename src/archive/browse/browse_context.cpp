#include "archive/browse/browse_context.h"

#include "archive/session.h"

namespace qb::store {

namespace {
struct StoredContexts {
  // Before the first store: numbers 0, texts blank.
  BrowseContext msg;
  MailBrowseContext mail;
};

template <class C>
uint8_t exchange(C& stored, int mode, C& ctx) {
  if (mode == 2) {
    stored = ctx;
    return 1;
  }
  if (mode == 3) {
    ctx = stored;
    return 1;
  }
  return 0;
}
}  // namespace

uint8_t Context(Session& s, int mode, BrowseContext& ctx) {
  return exchange(s.part<StoredContexts>().msg, mode, ctx);
}

uint8_t MailContext(Session& s, int mode, MailBrowseContext& ctx) {
  return exchange(s.part<StoredContexts>().mail, mode, ctx);
}

}  // namespace qb::store
