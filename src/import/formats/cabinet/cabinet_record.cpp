#include "import/formats/cabinet/cabinet_record.h"

#include "import/formats/shared/byte_cursor.h"
#include "text/datetime.h"

namespace qb::import::cabinet {
namespace {

void mailRecipients(ByteCursor& c, std::size_t n, std::vector<mail::Recipient>& out) {
  for (std::size_t i = 0; i < n && c.ok(); ++i) {
    mail::Recipient r;
    r.type = recipientType(c.byte());
    c.u32();
    r.name = c.counted(32);
    r.address = c.counted(60);
    if (c.ok()) out.push_back(std::move(r));
  }
}

// The text: a length and that many bytes when they lie within the record.
std::string textOf(ByteCursor& c) {
  if (c.remaining() < 4) return {};
  std::size_t length = c.u32();
  if (length > c.remaining()) return {};
  return std::string(c.bytes(length));
}

}  // namespace

void decodeStamp(uint32_t stamp, int32_t& date, int32_t& time) {
  uint32_t t = stamp & 0xFFFF, d = stamp >> 16;
  time = text::timeValue(static_cast<int>(t >> 11), static_cast<int>((t >> 5) & 0x3F), static_cast<int>(t & 0x1F) * 2);
  date = text::dayNumber(1970 + static_cast<int>(d >> 9), static_cast<int>((d >> 5) & 0x0F), static_cast<int>(d & 0x1F));
}

const char* recipientType(uint8_t code) {
  switch (code) {
    case 2: return "CC";
    case 3: return "BC";
    default: return "TO";
  }
}

CabinetRead decodeCabinetRecord(std::string_view record, CabinetMessage& m) {
  m = CabinetMessage{};
  ByteCursor c(record);
  c.skip(10);
  if (c.byte() != 0 || !c.ok() || c.remaining() <= 112) return CabinetRead::Unusable;
  c.skip(1);
  c.bytes(32);
  c.skip(31 + 52 + 9);
  uint8_t kind = c.byte();
  if (kind != 2 && kind != 9) return CabinetRead::OtherKind;
  m.kind = static_cast<RecordKind>(kind);
  c.skip(4);
  decodeStamp(c.u32(), m.date, m.time);
  c.skip(4);
  if (c.remaining() > 50) {
    m.subject = c.counted(kCountedKeep);
    m.senderName = c.counted(kCountedKeep);
    m.senderAddress = c.counted(kCountedKeep);
    m.sectionName = c.counted(kCountedKeep);
    m.forumName = c.counted(kCountedKeep);
    c.counted(1);
    c.counted(1);
    if (!c.ok()) return CabinetRead::Unusable;
  }
  if (m.kind == RecordKind::Forum) {
    c.skip(2);
    c.counted(kCountedKeep);
    m.section = c.byte();
    c.skip(4);
    m.recipientName = c.counted(kCountedKeep);
    m.recipientAddress = c.counted(kCountedKeep);
    c.skip(4);
    m.msgNumber = c.u32();
    m.refNumber = c.u32();
    c.skip(10);
    if (!c.ok()) return CabinetRead::Unusable;  // the record ends inside its fixed part
    m.text = textOf(c);
    return CabinetRead::Ok;
  }
  c.skip(2);
  c.counted(kCountedKeep);
  mailRecipients(c, c.byte(), m.recipients);
  c.counted(kCountedKeep);
  c.skip(12);
  c.counted(kCountedKeep);
  c.counted(kCountedKeep);
  c.skip(3);
  if (c.ok() && c.remaining() > 20) mailRecipients(c, c.byte(), m.recipients);
  if (c.ok()) m.text = textOf(c);
  return CabinetRead::Ok;
}

}  // namespace qb::import::cabinet
