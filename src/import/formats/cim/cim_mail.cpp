#include "import/formats/cim/cim_mail.h"

#include "import/formats/shared/cis_identifier.h"
#include "text/strings.h"
#include "text/unicode.h"

namespace qb::import::cim {

std::string mailSubject(const std::string& stored) {
  if (text::startsWith(stored, "Copy of:")) return stored.substr(std::min<std::size_t>(9, stored.size()));
  return stored;
}

bool appendCimMail(ImportContext& ctx, mail::MailTarget& target, NHR nhr,
                   const std::vector<mail::Recipient>& stored, const std::string& text) {
  std::vector<mail::Recipient> recipients;
  recipients.reserve(stored.size());
  for (const mail::Recipient& r : stored) {
    mail::Recipient c;
    c.name = std::string(text::cutUtf8(cleanCisName(r.name, r.address), 40));
    c.address = mail::lowerAddress(cleanCisAddress(r.address));
    c.type = r.type;
    recipients.push_back(std::move(c));
  }
  const bool incoming = nhr.MAILTYPE != mail::Outgoing;

  if (recipients.empty()) {
    if (incoming) nhr.RECIPTYPE = "NN";
    return target.append(ctx, nhr, text, {});
  }
  if (incoming) {
    nhr.RECIPTYPE = recipients.front().type;
    if (recipients.size() == 1) return target.append(ctx, nhr, text, {});
    return target.append(ctx, nhr, text, recipients);
  }
  for (const mail::Recipient& r : recipients) {
    nhr.R_NAME = r.name;
    nhr.R_CISADRESS = r.address;
    nhr.RECIPTYPE = r.type;
    if (!target.append(ctx, nhr, text, {})) return false;
  }
  return true;
}

}  // namespace qb::import::cim
