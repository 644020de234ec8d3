// `quillbox-cli settings`: the stored settings by code with their names;
// `settings CODE` shows one, `settings CODE VALUE` changes one.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "cli/command.h"
#include "archive/config.h"
#include "text/display_text.h"
#include "archive/paths.h"

namespace qb::cli {
namespace {

using store::SettingInfo;
using store::SettingKind;
using store::Session;

// Konfig actions of a settings record: set, read, write.
struct GroupActions {
  store::KonfigAction set, read, write;
};
GroupActions actionsOf(int record) {
  using enum store::KonfigAction;
  switch (record) {
    case 1: return {SetGeneral, GetGeneral, WriteGeneral};
    case 9: return {SetDisplay, GetDisplay, WriteDisplay};
    default: return {SetFurther, GetFurther, WriteFurther};
  }
}

bool isColour(int code) {
  return code == store::SetColour22 || code == store::SetListColour || code == store::SetKeepColour ||
         code == store::SetDeleteColour || code == store::SetTreeColour;
}
bool isSpeedLevel(int code) { return code >= store::SpeedCountPurge && code <= store::SpeedImport; }

// Colours are stored as red + 256 * green + 65536 * blue.
std::string colourText(int32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
  return buf;
}

bool parseInt(const std::string& s, long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtol(s.c_str(), &end, 10);
  return *end == '\0' && out >= INT32_MIN && out <= INT32_MAX;
}

// The value of a setting as shown, with what it means where that helps.
std::string valueText(Session& s, const SettingInfo& i) {
  int32_t v = 0;
  std::string text;
  store::Konfig(s, actionsOf(i.record).read, i.code, v, &text);
  switch (i.kind) {
    case SettingKind::Text: return text::displayText(text);
    case SettingKind::Font: return text::displayText(text) + ", " + std::to_string(v);
    case SettingKind::Number: break;
  }
  std::string out = std::to_string(v);
  std::string name, format;
  if (i.code == store::SetLocatorDelay) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v / 10.0);
    out = std::string(buf) + " (seconds)";
  } else if (isColour(i.code)) {
    out = colourText(v);
  } else if (i.code == store::SetDateFormat) {
    store::SetDate(s, name, format);
  } else if (i.code == store::SetTimeFormat) {
    store::SetTime(s, name, format);
  } else if (isSpeedLevel(i.code)) {
    name = std::to_string(store::SpeedVal(s, store::SpeedAction::BatchSize, i.code)) + " per tick";
  }
  if (!name.empty()) out += " (" + name + ")";
  return out;
}

int fail(const std::string& text) {
  std::fprintf(stderr, "quillbox-cli settings: %s\n", text.c_str());
  return 1;
}

// Turns the VALUE argument into what Konfig stores; false with `error` set
// when it is not acceptable for the setting.
bool parseValue(const SettingInfo& i, const std::string& arg, int32_t& value, std::string& text,
                std::string& error) {
  long n = 0;
  switch (i.kind) {
    case SettingKind::Text:
      text = arg;
      if (text.size() > static_cast<std::size_t>(i.textLength))
        return error = "the text is longer than " + std::to_string(i.textLength) + " characters", false;
      return true;
    case SettingKind::Font: {
      // NAME or NAME,SIZE
      std::size_t comma = arg.rfind(',');
      text = arg.substr(0, comma);
      while (!text.empty() && text.back() == ' ') text.pop_back();
      if (text.empty() || text.size() > static_cast<std::size_t>(i.textLength))
        return error = "a font name has 1 to " + std::to_string(i.textLength) + " characters", false;
      value = 0;
      if (comma != std::string::npos) {
        std::string size = arg.substr(comma + 1);
        while (!size.empty() && size.front() == ' ') size.erase(0, 1);
        if (!parseInt(size, n) || n < 1 || n > 400) return error = "the font size must be 1 to 400", false;
        value = static_cast<int32_t>(n);
      }
      return true;
    }
    case SettingKind::Number:
      break;
  }
  if (i.code == store::SetLocatorDelay) {
    char* end = nullptr;
    double seconds = std::strtod(arg.c_str(), &end);
    if (arg.empty() || *end != '\0' || !(seconds >= 0.1 && seconds <= 3.5))
      return error = "the locator delay is given in seconds, 0.1 to 3.5", false;
    value = static_cast<int32_t>(std::lround(seconds * 10));
    return true;
  }
  if (isColour(i.code) && !arg.empty() && arg[0] == '#') {
    char* end = nullptr;
    long rgb = std::strtol(arg.c_str() + 1, &end, 16);
    if (arg.size() != 7 || *end != '\0') return error = "a colour is #RRGGBB", false;
    value = static_cast<int32_t>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
    return true;
  }
  if (!parseInt(arg, n)) return error = "\"" + arg + "\" is not a whole number", false;
  value = static_cast<int32_t>(n);
  auto oneOf = [&](std::initializer_list<long> allowed, const char* what) {
    for (long a : allowed)
      if (a == n) return true;
    error = what;
    return false;
  };
  if (i.code == store::SetDateFormat)
    return oneOf({2, 6, 10, 17}, "the date format is 2 (mm-dd-yyyy), 6 (dd-mm-yyyy), 10 (yyyy-mm-dd) or 17 (system)");
  if (i.code == store::SetTimeFormat) return oneOf({1, 3, 7}, "the time format is 1 (hh:mm), 3 (hh:mmXM) or 7 (system)");
  if (i.code == store::SetPresentation) return oneOf({1, 2}, "setting 2 is 1 (off) or 2 (on)");
  if (isSpeedLevel(i.code)) return oneOf({1, 2, 3, 4, 5, 6, 7}, "a speed level is 1 to 7");
  return true;
}

void showOne(Session& s, const SettingInfo& i) {
  std::printf("%4d  %-40s %s\n", i.code, i.name, valueText(s, i).c_str());
}

void showPath(Session& s, int kind, const char* name) {
  std::string path;
  if (store::AutoPath(s, 3, kind, path)) std::printf("%4d  %-40s %s\n", kind, name, path.c_str());
}

int runSettings(const GlobalOptions& g, std::vector<std::string>& args) {
  if (args.size() > 2) return fail("too many arguments (quillbox-cli settings [CODE [VALUE]])");
  const SettingInfo* info = nullptr;
  if (!args.empty()) {
    long code = 0;
    if (!parseInt(args[0], code)) return fail("\"" + args[0] + "\" is not a setting code");
    if (code == store::kTempPath || code == store::kDataPath) {
      if (args.size() == 2)
        return fail("the temporary and data directories are changed with `quillbox-cli init --temp-dir DIR` "
                    "or `--data-dir DIR`");
    } else if (!(info = store::settingInfo(static_cast<int>(code)))) {
      return fail("there is no setting " + args[0] + " (`quillbox-cli settings` lists them)");
    }
  }
  int32_t value = 0;
  std::string text, error;
  if (info && args.size() == 2 && !parseValue(*info, args[1], value, text, error)) return fail(error);

  auto cs = openArchive(g);
  if (!cs) return 1;
  Session& s = cs->session;
  if (!store::Konfig(s, store::KonfigAction::LoadGeneral) || !store::Konfig(s, store::KonfigAction::LoadDisplay) || !store::Konfig(s, store::KonfigAction::LoadFurther) || !store::SpeedVal(s, store::SpeedAction::Compute))
    return fail("the settings cannot be read");

  if (args.empty()) {
    std::printf("Code  %-40s Value\n", "Setting");
    for (const SettingInfo& i : store::settingTable()) showOne(s, i);
    showPath(s, store::kTempPath, "Temporary directory");
    showPath(s, store::kDataPath, "Data directory");
    return 0;
  }
  if (!info) {
    showPath(s, static_cast<int>(std::strtol(args[0].c_str(), nullptr, 10)),
             args[0] == "17" ? "Temporary directory" : "Data directory");
    return 0;
  }
  if (args.size() == 2) {
    GroupActions a = actionsOf(info->record);
    bool hasText = info->kind != SettingKind::Number;
    if (info->kind == SettingKind::Font && value == 0) {
      std::string oldName;
      store::Konfig(s, a.read, info->code, value, &oldName);  // keep the size
    }
    if (!store::Konfig(s, a.set, info->code, value, hasText ? &text : nullptr))
      return fail("the value does not fit setting " + args[0]);
    if (!store::Konfig(s, a.write)) return fail("the settings could not be written");
    store::SpeedVal(s, store::SpeedAction::Compute);
  }
  showOne(s, *info);
  return 0;
}

CommandRegistration reg(
    {"settings", "show the stored settings, or change one",
     "quillbox-cli settings [CODE [VALUE]]\n"
     "  Without arguments, lists every stored setting: its code, name and value.\n"
     "  With a CODE, shows that setting; with a VALUE as well, stores it.\n"
     "  Values: whole numbers; the locator delay (3) in seconds (1.5); colours as\n"
     "  #RRGGBB or a number; fonts (33-36) as NAME or NAME,SIZE; the import\n"
     "  directory (14) as a path. Date format 10: 2, 6, 10 or 17; time format 13:\n"
     "  1, 3 or 7; speed levels 26-30: 1 to 7. The temporary (17) and data (18)\n"
     "  directories are shown here and changed with `quillbox-cli init`.",
     runSettings});

}  // namespace
}  // namespace qb::cli
