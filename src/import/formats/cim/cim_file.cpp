#include "import/formats/cim/cim_file.h"

#include "import/formats/shared/byte_cursor.h"
#include "text/datetime.h"
#include "text/strings.h"

namespace qb::import::cim {
namespace {

constexpr std::string_view kSignature("VIS000\x1A", 7);

// Packed date: day, month, year - 1970; read with a two-digit year.
int32_t packedDate(ByteCursor& c) {
  int day = c.byte();
  int month = c.byte();
  int year = 1970 + c.byte();
  return text::dayNumber(text::expandYear(year % 100), month, day);
}

// Packed time: seconds, minutes, hours.
int32_t packedTime(ByteCursor& c) {
  int second = c.byte();
  int minute = c.byte();
  int hour = c.byte();
  return text::timeValue(hour, minute, second);
}

// Stamped date: four bytes passed over, then day, month, year - 1970.
int32_t stampedDate(ByteCursor& c) {
  c.skip(4);
  int day = c.byte();
  int month = c.byte();
  int year = 1970 + c.byte();
  return text::dayNumber(year, month, day);
}

std::string forumName(std::string name) {
  if (text::startsWithNoCase(name, "CIS:")) name.erase(0, 4);
  return text::trim(name);
}

void recipients(ByteCursor& c, std::size_t n, const char* type, std::vector<mail::Recipient>& out) {
  for (std::size_t i = 0; i < n && c.ok(); ++i) {
    mail::Recipient r;
    r.name = c.counted(kNameKeep);
    r.address = c.counted(kAddressKeep);
    r.type = type;
    c.skip(4);
    if (c.ok()) out.push_back(std::move(r));
  }
}

CimRead readMail(ByteCursor& c, CimMessage& m) {
  c.skip(16);
  c.counted(kCountedKeep);
  c.counted(kNameKeep);
  c.counted(kAddressKeep);
  c.counted(kCountedKeep);
  c.u16();
  m.time = packedTime(c);
  m.date = packedDate(c);
  c.skip(6);
  m.subject = c.counted(kCountedKeep);
  m.senderName = c.counted(kCountedKeep);
  m.senderAddress = c.counted(kAddressKeep);

  c.skip(1);
  recipients(c, c.byte(), "TO", m.recipients);
  c.skip(2);
  recipients(c, c.u16(), "TO", m.recipients);
  c.u16();
  c.skip(1);
  if (c.byte() == 4 && c.ok()) return CimRead::Abandoned;
  recipients(c, c.byte(), "CC", m.recipients);
  c.skip(1);
  recipients(c, c.byte(), "BC", m.recipients);
  c.counted(kCountedKeep);
  c.skip(17);
  c.counted(kCountedKeep);
  c.skip(1);
  std::size_t k = c.byte();
  for (std::size_t i = 0; i < k && c.ok(); ++i) {
    c.skip(1);
    c.u32();
    c.counted(kCountedKeep);
    c.counted(kCountedKeep);
    c.skip(1);
    c.byte();
    c.skip(4);
    c.counted(kCountedKeep);
  }
  c.skip(1);
  recipients(c, c.u16(), "CC", m.recipients);
  recipients(c, c.u16(), "BC", m.recipients);
  if (!c.ok()) return CimRead::Truncated;
  m.text = std::string(c.bytes(std::min(c.remaining(), kMailTextKeep)));
  return CimRead::Ok;
}

CimRead readForum(ByteCursor& c, std::size_t headerLength, CimMessage& m) {
  c.skip(headerLength - 1);
  std::size_t length = c.u16();
  std::size_t start = c.position();
  m.date = stampedDate(c);
  c.skip(6);
  m.subject = c.counted(kCountedKeep);
  m.senderName = c.counted(kCountedKeep);
  m.senderAddress = c.counted(kAddressKeep);
  c.skip(1);
  c.byte();
  m.recipientName = c.counted(kCountedKeep);
  m.recipientAddress = c.counted(kAddressKeep);
  c.skip(4);
  c.seek(start + length);
  c.skip(2);
  m.msgNumber = c.u32();
  m.refNumber = c.u32();
  c.skip(10);
  m.section = c.byte();
  m.sectionName = c.counted(kCountedKeep);
  m.forumName = forumName(c.counted(kCountedKeep));
  c.skip(1);
  c.u32();
  std::size_t textLength = c.u32();
  c.skip(1);
  c.skip(c.byte());
  m.text = std::string(c.bytes(textLength));
  return c.ok() ? CimRead::Ok : CimRead::Truncated;
}

CimRead readForum2(ByteCursor& c, std::size_t headerLength, CimMessage& m) {
  c.skip(headerLength - 1);
  c.skip(3);
  m.section = c.byte();
  m.forumName = forumName(c.counted(kCountedKeep));
  c.u32();
  m.sectionName = c.counted(kCountedKeep);
  c.skip(1);
  c.skip(c.byte());
  c.u16();
  m.subject = c.counted(kCountedKeep);
  c.skip(4);
  c.skip(2);
  m.msgNumber = c.u32();
  m.refNumber = c.u32();
  c.skip(9);
  m.date = stampedDate(c);
  c.skip(6);
  m.senderName = c.counted(kCountedKeep);
  m.senderAddress = c.counted(kAddressKeep);
  m.recipientName = c.counted(kCountedKeep);
  m.recipientAddress = c.counted(kAddressKeep);
  c.skip(1);
  std::size_t textLength = c.u16();
  m.text = std::string(c.bytes(textLength));
  return c.ok() ? CimRead::Ok : CimRead::Truncated;
}

}  // namespace

bool hasCimSignature(std::string_view bytes) { return bytes.substr(0, kSignature.size()) == kSignature; }

CimRead readCimFile(std::string_view bytes, CimMessage& m) {
  m = CimMessage{};
  if (!hasCimSignature(bytes) || bytes.size() < 10) return CimRead::NotCim;
  ByteCursor c(bytes);
  c.skip(7);
  std::size_t headerLength = c.u16();
  uint8_t type = c.byte();
  switch (type) {
    case 1:
      m.kind = CimKind::Mail;
      return readMail(c, m);
    case 2:
      m.kind = CimKind::Forum;
      if (headerLength == 0) return CimRead::Truncated;
      return readForum(c, headerLength, m);
    case 3:
      m.kind = CimKind::Forum2;
      if (headerLength == 0) return CimRead::Truncated;
      return readForum2(c, headerLength, m);
    default:
      return CimRead::NotCim;
  }
}

}  // namespace qb::import::cim
