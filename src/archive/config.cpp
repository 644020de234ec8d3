#include "archive/config.h"

#include <ctime>

#include "text/datetime.h"
#include "archive/file_table.h"
#include "archive/neo.h"
#include "archive/records.h"
#include "archive/session.h"

using qb::text::calendarDate;
using qb::text::clockTime;
using qb::text::weekday;

namespace qb::store {

using Block = FixedString<200>;

// A block of window places or column widths: entries 1 to 25 of four
// 16-bit values, with its default block.
struct PlaceStore {
  uint8_t defaultId, currentId;
  Block defaults = Control::zeroBlock();
  Block current = Control::zeroBlock();
  bool loaded = false;
};

struct ConfigState {
  struct Group {
    Block block = Control::zeroBlock();
    bool loaded = false;
  };
  Group general, display, further;  // records 1, 9, 11
  // Batch sizes of codes 26 to 31 before SpeedVal 2 has run.
  std::array<int32_t, 6> speed{500, 300, 4, 4, 4, 25};
  PlaceStore windows{2, 3}, windows2{7, 8}, columns{5, 6};
};

namespace {

constexpr FileNo kControlFile = FileNo::Control;
constexpr uint8_t kGeneralId = 1, kDisplayId = 9, kFurtherId = 11;

[[noreturn]] void invalidType(Session& s) { s.fatal("Internal Error - invalid xType", "Program Failure!"); }

// ---- the settings table -----------------------------------------------------

using K = SettingKind;

// Storage places are fixed: a block written by one version of the program
// is read by the next.
const std::vector<SettingInfo>& table() {
  static const std::vector<SettingInfo> t = {
      // record 1: general settings
      // Tool tips are shown unless the user switches them off.
      {2, 1, K::Number, 0, 0, 2, nullptr, "Tool tips (1 off, 2 on)"},
      {3, 1, K::Number, 4, 0, 15, nullptr, "List locator delay"},
      {4, 1, K::Number, 8, 0, 1, nullptr, "General option 4"},
      {6, 1, K::Number, 12, 0, 0, nullptr, "Database made current at start-up"},
      {9, 1, K::Number, 16, 0, 1, nullptr, "General option 9"},
      {10, 1, K::Number, 20, 0, 17, nullptr, "Date format"},
      {11, 1, K::Number, 24, 0, 0, nullptr, "Settings version"},
      {12, 1, K::Number, 28, 0, 17, nullptr, "Default import type"},
      {13, 1, K::Number, 32, 0, 7, nullptr, "Time format"},
      {14, 1, K::Text, 44, 156, 0, nullptr, "Default import directory"},
      {16, 1, K::Number, 36, 0, 2, nullptr, "Thread tree label form"},
      {19, 1, K::Number, 40, 0, 0, nullptr, "Last mail import target database"},
      // record 9: display, speed and scheduler settings
      {22, 9, K::Number, 0, 0, 255, nullptr, "Display colour"},
      {23, 9, K::Number, 4, 0, 12632256, nullptr, "Import and task list colour"},
      {24, 9, K::Number, 8, 0, 8388608, nullptr, "Keep colour"},
      {25, 9, K::Number, 12, 0, 255, nullptr, "Delete colour"},
      {26, 9, K::Number, 16, 0, 4, nullptr, "Speed level: counting and purging"},
      {27, 9, K::Number, 20, 0, 4, nullptr, "Speed level: duplicate elimination"},
      {28, 9, K::Number, 24, 0, 4, nullptr, "Speed level: keyword indexing"},
      {29, 9, K::Number, 28, 0, 4, nullptr, "Speed level: merging persons"},
      {30, 9, K::Number, 32, 0, 4, nullptr, "Speed level: import"},
      {32, 9, K::Number, 36, 0, 0, nullptr, "Tell the time of completion"},
      {33, 9, K::Font, 40, 20, 8, "Arial", "Font 1"},
      {34, 9, K::Font, 64, 20, 8, "Arial", "Font 2"},
      {35, 9, K::Font, 88, 20, 8, "Arial", "Import window list font"},
      {36, 9, K::Font, 112, 20, 8, "Arial", "Thread tree font"},
      {37, 9, K::Number, 136, 0, 0, nullptr, "Thread tree colour"},
      {38, 9, K::Number, 140, 0, 1, nullptr, "Person name format"},
      {39, 9, K::Number, 144, 0, 1, nullptr, "Display option 39"},
      {40, 9, K::Number, 148, 0, 0, nullptr, "Do not open the thread tree"},
      {42, 9, K::Number, 152, 0, 0, nullptr, "Restore the frame's position"},
      {46, 9, K::Number, 156, 0, 0, nullptr, "Scheduler quiet period start"},
      {47, 9, K::Number, 160, 0, 0, nullptr, "Scheduler quiet period end"},
      {48, 9, K::Number, 164, 0, 0, nullptr, "Deactivate ImportScheduler"},
      {57, 9, K::Number, 168, 0, 0, nullptr, "End the program after task processing"},
      {58, 9, K::Number, 172, 0, 78, nullptr, "Export wrap column"},
      {59, 9, K::Number, 176, 0, 1, nullptr, "Display option 59"},
      {60, 9, K::Number, 180, 0, 0, nullptr, "Export text wrap"},
      // record 11: export formats by database kind. The newsgroup default is
      // "Unix News" (5), the one format offered for newsgroups.
      {61, 11, K::Number, 0, 0, 1, nullptr, "Export format of mail databases"},
      {62, 11, K::Number, 4, 0, 1, nullptr, "Export format of forum databases"},
      {63, 11, K::Number, 8, 0, 5, nullptr, "Export format of newsgroup databases"},
      {64, 9, K::Number, 184, 0, 0, nullptr, "No logo on the frame background"},
      // record 11: word index and search
      {65, 11, K::Number, 12, 0, 1, nullptr, "Word index: numbers (1 yes, 2 no)"},
      {66, 11, K::Number, 16, 0, 1, nullptr, "Word index: message footers (1 yes, 2 no)"},
      {67, 11, K::Number, 20, 0, 1, nullptr, "Word index: automatic stop words (1 on, 2 off)"},
      {68, 11, K::Number, 24, 0, 1000000, nullptr, "Search: index entries before asking to go on"},
      {69, 11, K::Text, 28, 40, 0, "Standard", "Word index: word-breaking rule set"},
  };
  return t;
}

// ---- block access -------------------------------------------------------------

int32_t getLong(const Block& b, int offset) {
  return detail::getLE<int32_t>(reinterpret_cast<const uint8_t*>(b.bytes.data()) + offset);
}
void putLong(Block& b, int offset, int32_t v) {
  detail::putLE<int32_t>(reinterpret_cast<uint8_t*>(b.bytes.data()) + offset, v);
}
int16_t getShort(const Block& b, int offset) {
  return detail::getLE<int16_t>(reinterpret_cast<const uint8_t*>(b.bytes.data()) + offset);
}
void putShort(Block& b, int offset, int16_t v) {
  detail::putLE<int16_t>(reinterpret_cast<uint8_t*>(b.bytes.data()) + offset, v);
}
// A text ends at its first NUL; trailing blanks are not part of it.
std::string getText(const Block& b, int offset, int length) {
  std::string t(b.bytes.data() + offset, static_cast<std::size_t>(length));
  std::size_t nul = t.find('\0');
  if (nul != std::string::npos) t.resize(nul);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}
void putText(Block& b, int offset, int length, const std::string& text) {
  for (int i = 0; i < length; ++i)
    b.bytes[static_cast<std::size_t>(offset + i)] =
        i < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(i)] : ' ';
}
// Where a font keeps its size: after its name.
int fontSizeOffset(const SettingInfo& i) { return i.offset + i.textLength; }

void applyDefaults(Block& b, int record) {
  for (const SettingInfo& i : table()) {
    if (i.record != record) continue;
    switch (i.kind) {
      case K::Number:
        if (getLong(b, i.offset) == 0) putLong(b, i.offset, i.defValue);
        break;
      case K::Font:
        if (getText(b, i.offset, i.textLength).empty()) putText(b, i.offset, i.textLength, i.defText);
        if (getLong(b, fontSizeOffset(i)) == 0) putLong(b, fontSizeOffset(i), i.defValue);
        break;
      case K::Text:
        break;
    }
  }
}

// ---- Control records ------------------------------------------------------------

// The settings block of a Control record. A record made elsewhere with a
// cleared buffer (the identifier generator adds record 1 when it is
// missing) has a blank block: that is a block without settings.
Block settingsBlock(const Control& r) {
  for (char c : r.CTLFIELD.bytes)
    if (c != ' ' && c != '\0') return r.CTLFIELD;
  return Control::zeroBlock();
}

// Opens the Control file by count for the life of the object.
struct ControlOpen {
  Session& s;
  explicit ControlOpen(Session& s) : s(s) { OP_CLOSE(s, OpOpen, {kControlFile}); }
  ~ControlOpen() { OP_CLOSE(s, OpClose, {kControlFile}); }
};

// Reads Control record `id` into the buffer.
Err readControl(Session& s, uint8_t id) {
  Table<Control>& c = s.Control();
  c.clear();
  c.rec.ID = id;
  return c.get(Control::IdKey);
}

// Runs `change` on Control record `id` (added first when missing, with
// CTL:NEXTNUMBER = `newNext`) and writes it. The read and the write form one
// transaction unless the caller's transaction is open, so that another copy
// of the program that hands out identifiers in between is not undone.
Err updateControl(Session& s, uint8_t id, uint32_t newNext, const std::function<bool(Control&)>& change) {
  ControlOpen open(s);
  Table<Control>& c = s.Control();
  Transaction& t = s.transaction();
  bool own = !t.active();
  if (own) {
    Err e = t.begin({&c}, 5);
    if (e != Err::Ok) return e;
  }
  Err e = readControl(s, id);
  if (e == Err::Ok) {
    if (change(c.rec)) e = c.put();
  } else if (e == Err::NoRecord || e == Err::EndOfFile) {
    c.clear();
    c.rec.ID = id;
    c.rec.NEXTNUMBER = newNext;
    c.rec.CTLFIELD = Control::zeroBlock();
    change(c.rec);
    e = c.add();
  }
  if (own) {
    if (e == Err::Ok)
      e = t.commit();
    else
      t.rollback();
  }
  return e;
}

Err writeBlock(Session& s, uint8_t id, const Block& block) {
  return updateControl(s, id, 0, [&](Control& r) {
    if (r.CTLFIELD == block) return false;
    r.CTLFIELD = block;
    return true;
  });
}

ConfigState::Group& groupOf(ConfigState& st, int record) {
  return record == kGeneralId ? st.general : record == kDisplayId ? st.display : st.further;
}

uint8_t loadGroup(Session& s, uint8_t id) {
  ConfigState::Group& g = groupOf(s.part<ConfigState>(), id);
  Block block = Control::zeroBlock();
  bool raise = false;
  {
    ControlOpen open(s);
    Err e = readControl(s, id);
    if (e == Err::Ok) {
      block = settingsBlock(s.Control().rec);
      raise = id == kGeneralId && s.Control().rec.NEXTNUMBER < kFirstIdentifier;
    } else if (e == Err::NoRecord || e == Err::EndOfFile) {
      raise = id == kGeneralId;
    } else {
      return 0;
    }
  }
  if (raise) {
    // Record 1 also holds the identifier generator: created when missing,
    // raised to the first identifier of the archive when below it. Only
    // then is the file written, so a plain load never waits for another
    // copy's transaction.
    Err e = updateControl(s, id, kFirstIdentifier, [&](Control& r) {
      block = settingsBlock(r);
      if (r.NEXTNUMBER >= kFirstIdentifier) return false;
      r.NEXTNUMBER = kFirstIdentifier;
      return true;
    });
    if (e != Err::Ok) return 0;
  }
  applyDefaults(block, id);
  g.block = block;
  g.loaded = true;
  return 1;
}

uint8_t writeGroup(Session& s, uint8_t id) {
  ConfigState::Group& g = groupOf(s.part<ConfigState>(), id);
  if (!g.loaded) return 0;
  if (writeBlock(s, id, g.block) != Err::Ok) {
    tellSettingNotSaved(s);
    return 0;
  }
  return 1;
}

// Sets (set = true) or reads a setting of a loaded group.
uint8_t accessSetting(Session& s, uint8_t id, bool set, int code, int32_t& value, std::string* text) {
  const SettingInfo* i = settingInfo(code);
  if (!i || i->record != id) invalidType(s);
  ConfigState::Group& g = groupOf(s.part<ConfigState>(), id);
  if (!g.loaded) {
    if (!set) value = 0;
    return 0;
  }
  switch (i->kind) {
    case K::Number:
      if (set)
        putLong(g.block, i->offset, value);
      else
        value = getLong(g.block, i->offset);
      return 1;
    case K::Text:
      if (!set) {
        if (text) *text = getText(g.block, i->offset, i->textLength);
        value = 0;
        return 1;
      }
      if (!text) return 1;
      if (text->size() > static_cast<std::size_t>(i->textLength)) return 0;
      putText(g.block, i->offset, i->textLength, *text);
      return 1;
    case K::Font:
      if (!set) {
        value = getLong(g.block, fontSizeOffset(*i));
        if (text) *text = getText(g.block, i->offset, i->textLength);
        return 1;
      }
      if (text && !text->empty()) {
        if (text->size() > static_cast<std::size_t>(i->textLength)) return 0;
        putText(g.block, i->offset, i->textLength, *text);
      }
      putLong(g.block, fontSizeOffset(*i), value);
      return 1;
  }
  return 0;
}

}  // namespace

const std::vector<SettingInfo>& settingTable() { return table(); }

const SettingInfo* settingInfo(int code) {
  for (const SettingInfo& i : table())
    if (i.code == code) return &i;
  return nullptr;
}

// ---- Konfig -------------------------------------------------------------------------

uint8_t Konfig(Session& s, KonfigAction action, int code, int32_t& value, std::string* text) {
  using enum KonfigAction;
  switch (action) {
    case LoadGeneral: return loadGroup(s, kGeneralId);
    case SetGeneral: return accessSetting(s, kGeneralId, true, code, value, text);
    case GetGeneral: return accessSetting(s, kGeneralId, false, code, value, text);
    case WriteGeneral: return writeGroup(s, kGeneralId);
    case LoadDisplay: return loadGroup(s, kDisplayId);
    case SetDisplay: return accessSetting(s, kDisplayId, true, code, value, text);
    case GetDisplay: return accessSetting(s, kDisplayId, false, code, value, text);
    case WriteDisplay: return writeGroup(s, kDisplayId);
    case LoadFurther: return loadGroup(s, kFurtherId);
    case SetFurther: return accessSetting(s, kFurtherId, true, code, value, text);
    case GetFurther: return accessSetting(s, kFurtherId, false, code, value, text);
    case WriteFurther: return writeGroup(s, kFurtherId);
    default: invalidType(s);
  }
}

uint8_t Konfig(Session& s, KonfigAction action) {
  int32_t unused = 0;
  return Konfig(s, action, 0, unused);
}

int32_t setting(Session& s, int code) {
  const SettingInfo* i = settingInfo(code);
  if (!i) invalidType(s);
  KonfigAction read = i->record == kGeneralId   ? KonfigAction::GetGeneral
                      : i->record == kDisplayId ? KonfigAction::GetDisplay
                                                : KonfigAction::GetFurther;
  int32_t v = 0;
  return Konfig(s, read, code, v) ? v : 0;
}

// ---- SpeedVal -------------------------------------------------------------------------

int32_t SpeedVal(Session& s, SpeedAction action, int code) {
  static const int32_t levels[6][7] = {
      {50, 100, 250, 500, 750, 1000, 1250},  // 26
      {50, 100, 200, 275, 350, 500, 700},    // 27
      {1, 3, 7, 10, 20, 30, 40},             // 28
      {1, 3, 7, 10, 20, 30, 40},             // 29
      {8, 16, 30, 50, 70, 85, 100},          // 30
      {10, 20, 20, 25, 25, 50, 50},          // 31, from the level of 30
  };
  static const ConfigState fresh;
  ConfigState& st = s.part<ConfigState>();
  if (action == SpeedAction::Compute) {
    if (!st.display.loaded) return 0;
    for (int c = SpeedCountPurge; c <= SpeedImportText; ++c) {
      int32_t level = getLong(st.display.block, settingInfo(c == SpeedImportText ? SpeedImport : c)->offset);
      std::size_t k = static_cast<std::size_t>(c - SpeedCountPurge);
      st.speed[k] = level >= 1 && level <= 7 ? levels[k][level - 1] : fresh.speed[k];
    }
    return 1;
  }
  if (action == SpeedAction::BatchSize && code >= SpeedCountPurge && code <= SpeedImportText)
    return st.speed[static_cast<std::size_t>(code - SpeedCountPurge)];
  invalidType(s);
}

// ---- date and time formats -----------------------------------------------------------

namespace {
struct FormatName {
  int32_t code;
  const char* name;
  const char* format;
};
const FormatName kDateFormats[] = {
    {2, "mm-dd-yyyy", "%m-%d-%Y"}, {6, "dd-mm-yyyy", "%d-%m-%Y"},
    {10, "yyyy-mm-dd", "%Y-%m-%d"}, {17, "Windows setting", "%x"}};
const FormatName kTimeFormats[] = {{1, "hh:mm", "%H:%M"}, {3, "hh:mmXM", "%I:%M%p"}, {7, "Windows setting", "%X"}};

template <std::size_t N>
const FormatName* findFormat(const FormatName (&list)[N], int32_t code) {
  for (const FormatName& f : list)
    if (f.code == code) return &f;
  return nullptr;
}

template <std::size_t N>
int32_t storedFormat(Session& s, int settingCode, const FormatName (&list)[N], std::string& name,
                     std::string& format) {
  int32_t code = setting(s, settingCode);
  const FormatName* f = findFormat(list, code);
  name = f ? f->name : "";
  format = f ? f->format : "";
  return code;
}

std::string strftimeOf(const std::tm& tm, const char* format) {
  char buf[64];
  std::size_t n = std::strftime(buf, sizeof buf, format, &tm);
  return std::string(buf, n);
}
}  // namespace

int32_t SetDate(Session& s, std::string& name, std::string& format) {
  return storedFormat(s, SetDateFormat, kDateFormats, name, format);
}

int32_t SetTime(Session& s, std::string& name, std::string& format) {
  return storedFormat(s, SetTimeFormat, kTimeFormats, name, format);
}

std::string formatDateAs(int32_t code, int32_t dayNo) {
  const FormatName* f = findFormat(kDateFormats, code);
  if (!f || dayNo <= 0) return {};
  std::tm tm{};
  calendarDate(dayNo, tm.tm_year, tm.tm_mon, tm.tm_mday);
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_wday = weekday(dayNo);
  return strftimeOf(tm, f->format);
}

std::string formatTimeAs(int32_t code, int32_t timeValue) {
  const FormatName* f = findFormat(kTimeFormats, code);
  if (!f || timeValue <= 0) return {};
  std::tm tm{};
  clockTime(timeValue, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return strftimeOf(tm, f->format);
}

// ---- window places and list columns ---------------------------------------------------

namespace {

// Built-in places: windows cascade from the top left; lists get four
// columns of a readable width.
Block builtInPlaces(bool columns) {
  Block b = Control::zeroBlock();
  for (int n = 0; n < kPlaceEntries; ++n) {
    Place p = columns ? Place{100, 160, 120, 100} : Place{20 + 16 * (n % 10), 20 + 16 * (n % 10), 640, 440};
    for (int k = 0; k < 4; ++k) putShort(b, n * 8 + k * 2, static_cast<int16_t>(p[static_cast<std::size_t>(k)]));
  }
  return b;
}

uint8_t placeAction(Session& s, PlaceStore& ps, bool columns, int action, int entry, Place& values) {
  switch (action) {
    case 1: {
      Block builtIn = builtInPlaces(columns);
      ControlOpen open(s);
      for (uint8_t id : {ps.defaultId, ps.currentId}) {
        Err e = readControl(s, id);
        Block* into = id == ps.defaultId ? &ps.defaults : &ps.current;
        if (e == Err::Ok) {
          *into = settingsBlock(s.Control().rec);
        } else if (e == Err::NoRecord || e == Err::EndOfFile) {
          *into = builtIn;
          if (writeBlock(s, id, builtIn) != Err::Ok) return 0;
        } else {
          return 0;
        }
      }
      ps.loaded = true;
      return 1;
    }
    case 2:
    case 3: {
      if (!ps.loaded || entry < 1 || entry > kPlaceEntries) return 0;
      int base = (entry - 1) * 8;
      for (int k = 0; k < 4; ++k) {
        int32_t& v = values[static_cast<std::size_t>(k)];
        if (action == 3)
          v = getShort(ps.current, base + k * 2);
        else if (v < kPlaceLimit && v > -32768)
          putShort(ps.current, base + k * 2, static_cast<int16_t>(v));
      }
      return 1;
    }
    case 4:
      if (!ps.loaded) return 0;
      if (writeBlock(s, ps.currentId, ps.current) != Err::Ok) {
        tellSettingNotSaved(s);
        return 0;
      }
      return 1;
    case 5:
      if (!ps.loaded) return 0;
      ps.current = ps.defaults;
      return 1;
    default:
      invalidType(s);
  }
}

}  // namespace

uint8_t WindowPos(Session& s, int action, int window, Place& values) {
  return placeAction(s, s.part<ConfigState>().windows, false, action, window, values);
}

uint8_t WindowPos2(Session& s, int action, int window, Place& values) {
  return placeAction(s, s.part<ConfigState>().windows2, false, action, window, values);
}

uint8_t ListCol(Session& s, int action, int list, Place& values) {
  return placeAction(s, s.part<ConfigState>().columns, true, action, list, values);
}

// ---- list locator -------------------------------------------------------------------

int Locator::IncrementStep(Session& s, int keyCode, int32_t now, std::size_t length, std::string& dest) {
  return IncrementStep(keyCode, now, length, dest, [&s](int32_t& delay) {
    return Konfig(s, KonfigAction::GetGeneral, SetLocatorDelay, delay) == 1;
  });
}

int Locator::IncrementStep(int keyCode, int32_t now, std::size_t length, std::string& dest,
                           const std::function<bool(int32_t&)>& readDelay) {
  if (keyCode >= 96 && keyCode <= 105) keyCode -= 48;  // keypad digits
  bool locatorKey = (keyCode >= 48 && keyCode <= 90) || (keyCode >= 304 && keyCode <= 346) ||
                    (keyCode >= 1328 && keyCode <= 1337) || keyCode == 32 || keyCode == 362 ||
                    keyCode == 367 || keyCode == 1386 || keyCode == 1391;
  if (!locatorKey) return 0;
  char c = keyCode == 32 ? ' ' : static_cast<char>(keyCode & 0xFF);

  if (delay_ > 35) delay_ = 15;
  // Time since the previous key; a key after midnight counts across it.
  constexpr int32_t kDay = 24 * 60 * 60 * 100;
  int32_t elapsed = now - lastKey_;
  if (elapsed < 0) elapsed += kDay;
  if (lastKey_ >= 0 && elapsed <= delay_ * 10) {
    if (text_.size() < 10) text_ += c;
  } else {
    text_.assign(1, c);
    int32_t d = 0;
    delay_ = readDelay && readDelay(d) ? d : 15;
  }
  dest = text_.substr(0, length);
  lastKey_ = now;
  return 1;
}

// ---- start-up ---------------------------------------------------------------------

int StartupSettings(Session& s, bool earlierInstallation) {
  Place none{};
  if (!Konfig(s, KonfigAction::LoadGeneral) || !Konfig(s, KonfigAction::LoadDisplay) ||
      !Konfig(s, KonfigAction::LoadFurther) || !SpeedVal(s, SpeedAction::Compute) || !WindowPos(s, 1, 0, none) ||
      !WindowPos2(s, 1, 0, none) || !ListCol(s, 1, 0, none))
    return 0;
  // The delivered texts; a Neo file that cannot be written leaves its
  // messages blank but does not stop the program.
  installNeoTexts(s);

  int result = 1;
  int32_t version = setting(s, SetVersion);
  if (version < kSettingsVersion) {
    if (earlierInstallation)
      s.tell("This new version needs new default values! All window positions, window sizes and list box column "
             "widths will be reset to default!",
             "Upgrading to version 4.2", Icon::Information);
    else if (version == 0)
      result = 99;
    if (!WindowPos(s, 5, 0, none) || !WindowPos2(s, 5, 0, none) || !ListCol(s, 5, 0, none) ||
        !WindowPos(s, 4, 0, none) || !WindowPos2(s, 4, 0, none) || !ListCol(s, 4, 0, none))
      return 0;
  }
  int32_t v = kSettingsVersion;
  Konfig(s, KonfigAction::SetGeneral, SetVersion, v);
  if (!Konfig(s, KonfigAction::WriteGeneral)) return 0;
  return result;
}

}  // namespace qb::store
