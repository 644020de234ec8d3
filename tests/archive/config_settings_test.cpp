// Settings in Control records: defaults of a fresh file, the identifier
// generator's floor, storing and reloading values and texts, codes outside
// a group, speed sizes, date and time formats, window places and list
// columns, the start-up upgrade, and the delivered Neo texts.
#include <gtest/gtest.h>

#include "archive/config.h"
#include "text/datetime.h"
#include "archive/file_table.h"
#include "archive/neo.h"
#include "archive/record_access.h"
#include "support/temp_archive.h"

using qb::text::dayNumber;
using qb::text::timeValue;

using namespace qb::store;

namespace {

int32_t readFont(Session& s, int code, std::string& name) {
  int32_t size = 0;
  EXPECT_EQ(Konfig(s, KonfigAction::GetDisplay, code, size, &name), 1);
  return size;
}

uint32_t storedNextNumber(Session& s) {
  OP_CLOSE(s, OpOpen, {FileNo::Control});
  s.Control().clear();
  s.Control().rec.ID = 1;
  EXPECT_EQ(s.Control().get(Control::IdKey), Err::Ok);
  uint32_t n = s.Control().rec.NEXTNUMBER;
  OP_CLOSE(s, OpClose, {FileNo::Control});
  return n;
}

Place readPlace(uint8_t (*proc)(Session&, int, int, Place&), Session& s, int entry) {
  Place p{};
  EXPECT_EQ(proc(s, 3, entry, p), 1);
  return p;
}

}  // namespace

TEST(ConfigSettings, FreshControlFileGivesTheDefaults) {
  qb::test::TempArchive a;
  Session& s = a.session();
  ASSERT_EQ(StartupSettings(s, false), 99);  // first start of a new installation
  EXPECT_TRUE(a.ui.entries.empty());

  std::string name, format;
  EXPECT_EQ(SetDate(s, name, format), 17);
  EXPECT_EQ(name, "Windows setting");
  EXPECT_EQ(SetTime(s, name, format), 7);
  EXPECT_EQ(name, "Windows setting");
  for (int code = SpeedCountPurge; code <= SpeedImport; ++code) EXPECT_EQ(setting(s, code), 4) << code;
  EXPECT_EQ(SpeedVal(s, SpeedAction::BatchSize, SpeedCountPurge), 500);
  EXPECT_EQ(SpeedVal(s, SpeedAction::BatchSize, SpeedDuplicates), 275);
  EXPECT_EQ(SpeedVal(s, SpeedAction::BatchSize, SpeedKeywords), 10);
  EXPECT_EQ(SpeedVal(s, SpeedAction::BatchSize, SpeedImport), 50);  // the import stores 50 records per tick
  EXPECT_EQ(SpeedVal(s, SpeedAction::BatchSize, SpeedImportText), 25);
  for (int code = SetFont1; code <= SetTreeFont; ++code) {
    EXPECT_EQ(readFont(s, code, name), 8);
    EXPECT_EQ(name, "Arial");
  }
  EXPECT_EQ(setting(s, SetLocatorDelay), 15);
  EXPECT_EQ(setting(s, SetImportType), 17);
  EXPECT_EQ(setting(s, SetTreeLabel), 2);
  EXPECT_EQ(setting(s, SetListColour), 12632256);
  EXPECT_EQ(setting(s, SetKeepColour), 8388608);
  EXPECT_EQ(setting(s, SetWrapColumn), 78);
  EXPECT_EQ(setting(s, SetExportMail), 1);
  EXPECT_EQ(setting(s, SetExportNews), 5);
  EXPECT_EQ(setting(s, SetLastDatabase), 0);  // no default
  EXPECT_EQ(setting(s, SetVersion), kSettingsVersion);
  EXPECT_EQ(NextNr(s), kFirstIdentifier);
}

TEST(ConfigSettings, LoadingRaisesTheIdentifierGeneratorButNeverLowersIt) {
  qb::test::TempArchive a;
  Session& s = a.session();
  OP_CLOSE(s, OpEmpty, {FileNo::Control});
  EXPECT_EQ(NextNr(s), 1u);  // an empty Control file counts from 1
  ASSERT_EQ(Konfig(s, KonfigAction::LoadGeneral), 1);
  EXPECT_EQ(storedNextNumber(s), kFirstIdentifier);
  EXPECT_EQ(NextNr(s), kFirstIdentifier);
  EXPECT_EQ(NextNr(s), kFirstIdentifier + 1);

  // Writing the settings block keeps identifiers handed out since loading,
  // also those handed out by another copy of the program.
  qb::RecordingUI otherUi;
  auto other = a.newSession(otherUi);
  ASSERT_EQ(Konfig(*other, KonfigAction::LoadGeneral), 1);
  EXPECT_EQ(NextNr(*other), kFirstIdentifier + 2);
  int32_t v = 1;  // not the default (tool tips on)
  Konfig(s, KonfigAction::SetGeneral, SetPresentation, v);
  ASSERT_EQ(Konfig(s, KonfigAction::WriteGeneral), 1);
  EXPECT_EQ(NextNr(s), kFirstIdentifier + 3);
  ASSERT_EQ(Konfig(*other, KonfigAction::LoadGeneral), 1);  // a loaded value above the floor stays
  EXPECT_EQ(storedNextNumber(s), kFirstIdentifier + 4);
  EXPECT_EQ(setting(*other, SetPresentation), 1);
}

TEST(ConfigSettings, ValuesTextsAndFontsSurviveWritingAndReloading) {
  qb::test::TempArchive a;
  Session& s = a.session();
  ASSERT_EQ(StartupSettings(s, false), 99);
  int32_t v = 6;
  EXPECT_EQ(Konfig(s, KonfigAction::SetGeneral, SetDateFormat, v), 1);
  std::string dir = "/home/user/old mail";
  EXPECT_EQ(Konfig(s, KonfigAction::SetGeneral, SetImportDir, v, &dir), 1);
  std::string tooLong(157, 'x');
  EXPECT_EQ(Konfig(s, KonfigAction::SetGeneral, SetImportDir, v, &tooLong), 0);  // refused, not cut
  std::string font = "DejaVu Sans";
  v = 11;
  EXPECT_EQ(Konfig(s, KonfigAction::SetDisplay, SetImportFont, v, &font), 1);
  v = 3;
  EXPECT_EQ(Konfig(s, KonfigAction::SetDisplay, SpeedImport, v), 1);
  v = 2;
  EXPECT_EQ(Konfig(s, KonfigAction::SetFurther, SetExportMail, v), 1);
  ASSERT_EQ(Konfig(s, KonfigAction::WriteGeneral), 1);
  ASSERT_EQ(Konfig(s, KonfigAction::WriteDisplay), 1);
  ASSERT_EQ(Konfig(s, KonfigAction::WriteFurther), 1);

  qb::RecordingUI otherUi;
  auto other = a.newSession(otherUi);
  ASSERT_EQ(StartupSettings(*other, true), 1);
  EXPECT_TRUE(otherUi.entries.empty());  // version 420 already stored
  EXPECT_EQ(setting(*other, SetDateFormat), 6);
  std::string text;
  EXPECT_EQ(Konfig(*other, KonfigAction::GetGeneral, SetImportDir, v, &text), 1);
  EXPECT_EQ(text, dir);
  EXPECT_EQ(readFont(*other, SetImportFont, text), 11);
  EXPECT_EQ(text, "DejaVu Sans");
  EXPECT_EQ(readFont(*other, SetFont1, text), 8);  // its neighbour is untouched
  EXPECT_EQ(text, "Arial");
  EXPECT_EQ(SpeedVal(*other, SpeedAction::BatchSize, SpeedImport), 30);
  EXPECT_EQ(SpeedVal(*other, SpeedAction::BatchSize, SpeedImportText), 20);
  EXPECT_EQ(setting(*other, SetExportMail), 2);
  std::string name, format;
  SetDate(*other, name, format);
  EXPECT_EQ(name, "dd-mm-yyyy");
}

TEST(ConfigSettings, ACodeOutsideItsGroupStopsTheProgram) {
  qb::test::TempArchive a;
  Session& s = a.session();
  ASSERT_EQ(StartupSettings(s, false), 99);
  int32_t v = 0;
  for (auto [action, code] : {std::pair{3, 22}, {8, 10}, {25, 26}, {3, 5}, {8, SpeedImportText}, {5, 2}}) {
    try {
      Konfig(s, static_cast<KonfigAction>(action), code, v);
      ADD_FAILURE() << action << "/" << code;
    } catch (const qb::FatalStop& f) {
      EXPECT_EQ(f.text(), "Internal Error - invalid xType");
    }
  }
  EXPECT_THROW(SpeedVal(s, SpeedAction::BatchSize, 25), qb::FatalStop);
}

TEST(ConfigSettings, ReadingBeforeLoadingFails) {
  qb::test::TempArchive a;
  int32_t v = 7;
  EXPECT_EQ(Konfig(a.session(), KonfigAction::GetGeneral, SetDateFormat, v), 0);
  EXPECT_EQ(v, 0);
  Place p{};
  EXPECT_EQ(WindowPos(a.session(), 3, 1, p), 0);
}

TEST(ConfigSettings, DateAndTimePictures) {
  int32_t day = dayNumber(2024, 1, 1);
  EXPECT_EQ(formatDateAs(2, day), "01-01-2024");
  EXPECT_EQ(formatDateAs(6, dayNumber(2024, 3, 9)), "09-03-2024");
  EXPECT_EQ(formatDateAs(10, dayNumber(2024, 3, 9)), "2024-03-09");
  EXPECT_EQ(formatDateAs(11, day), "");
  EXPECT_EQ(formatDateAs(10, 0), "");
  EXPECT_EQ(formatTimeAs(1, timeValue(21, 5)), "21:05");
  EXPECT_EQ(formatTimeAs(3, timeValue(21, 5)), "09:05PM");
  EXPECT_EQ(formatTimeAs(2, timeValue(21, 5)), "");
}

TEST(ConfigPlaces, SetReadWriteAndTheLimitOf2000) {
  qb::test::TempArchive a;
  Session& s = a.session();
  ASSERT_EQ(StartupSettings(s, false), 99);
  Place defaults = readPlace(WindowPos, s, 4);
  Place p{100, 50, 2000, 300};  // the width is not taken over
  EXPECT_EQ(WindowPos(s, 2, 4, p), 1);
  EXPECT_EQ(readPlace(WindowPos, s, 4), (Place{100, 50, defaults[2], 300}));
  p = {-20, 5, 1999, 1};
  EXPECT_EQ(WindowPos(s, 2, 4, p), 1);
  EXPECT_EQ(readPlace(WindowPos, s, 4), (Place{-20, 5, 1999, 1}));
  EXPECT_EQ(WindowPos(s, 2, 0, p), 0);
  EXPECT_EQ(WindowPos(s, 3, 26, p), 0);

  Place cols{40, 2500, 60, 70};
  EXPECT_EQ(ListCol(s, 2, 25, cols), 1);
  Place win2{1, 2, 3, 4};
  EXPECT_EQ(WindowPos2(s, 2, 1, win2), 1);
  ASSERT_EQ(WindowPos(s, 4, 0, p), 1);
  ASSERT_EQ(ListCol(s, 4, 0, p), 1);
  ASSERT_EQ(WindowPos2(s, 4, 0, p), 1);

  qb::RecordingUI otherUi;
  auto other = a.newSession(otherUi);
  ASSERT_EQ(StartupSettings(*other, true), 1);
  EXPECT_EQ(readPlace(WindowPos, *other, 4), (Place{-20, 5, 1999, 1}));
  Place defaultCols = readPlace(ListCol, s, 1);
  EXPECT_EQ(readPlace(ListCol, *other, 25), (Place{40, defaultCols[1], 60, 70}));
  EXPECT_EQ(readPlace(WindowPos2, *other, 1), (Place{1, 2, 3, 4}));
  EXPECT_EQ(readPlace(WindowPos, *other, 5), readPlace(WindowPos, s, 5));  // the three blocks are apart

  ASSERT_EQ(WindowPos(*other, 5, 0, p), 1);
  EXPECT_EQ(readPlace(WindowPos, *other, 4), defaults);
}

TEST(ConfigStartup, AnOlderVersionResetsPlacesOnceAndTellsAnEarlierInstallation) {
  qb::test::TempArchive a;
  Session& s = a.session();
  ASSERT_EQ(StartupSettings(s, false), 99);
  Place defaults = readPlace(WindowPos, s, 2);
  Place p{300, 300, 500, 500};
  WindowPos(s, 2, 2, p);
  ListCol(s, 2, 2, p);
  WindowPos(s, 4, 0, p);
  ListCol(s, 4, 0, p);
  int32_t v = 410;
  Konfig(s, KonfigAction::SetGeneral, SetVersion, v);
  ASSERT_EQ(Konfig(s, KonfigAction::WriteGeneral), 1);

  const std::string upgrade =
      "This new version needs new default values! All window positions, window sizes and list box column widths "
      "will be reset to default!";
  for (int start = 1; start <= 2; ++start) {
    qb::RecordingUI ui;
    auto next = a.newSession(ui);
    ASSERT_EQ(StartupSettings(*next, true), 1);
    if (start == 1) {
      ASSERT_EQ(ui.entries.size(), 1u);
      EXPECT_EQ(ui.entries[0].text, upgrade);
      EXPECT_EQ(ui.entries[0].title, "Upgrading to version 4.2");
    } else {
      EXPECT_TRUE(ui.entries.empty());  // only once
    }
    EXPECT_EQ(readPlace(WindowPos, *next, 2), defaults);
    EXPECT_NE(readPlace(ListCol, *next, 2), p);
    EXPECT_EQ(setting(*next, SetVersion), kSettingsVersion);
  }
}

TEST(ConfigStartup, AnOlderVersionWithoutEarlierInstallationIsResetSilently) {
  qb::test::TempArchive a;
  Session& s = a.session();
  ASSERT_EQ(StartupSettings(s, false), 99);
  Place p{300, 300, 500, 500};
  WindowPos2(s, 2, 7, p);
  WindowPos2(s, 4, 0, p);
  int32_t v = 400;
  Konfig(s, KonfigAction::SetGeneral, SetVersion, v);
  Konfig(s, KonfigAction::WriteGeneral);
  qb::RecordingUI ui;
  auto next = a.newSession(ui);
  EXPECT_EQ(StartupSettings(*next, false), 1);  // not version 0: no first start
  EXPECT_TRUE(ui.entries.empty());
  EXPECT_NE(readPlace(WindowPos2, *next, 7), p);
}

TEST(ConfigNeo, DeliveredTextsAreInstalledAndRead) {
  qb::test::TempArchive a;
  Session& s = a.session();
  EXPECT_EQ(CallNeo(s, 27), "");  // nothing there yet, and no message
  ASSERT_EQ(installNeoTexts(s), 1);
  for (const NeoText& t : shippedNeoTexts()) {
    EXPECT_LE(std::string(t.text).size(), 100u) << t.id;
    EXPECT_EQ(CallNeo(s, t.id), t.text);
  }
  EXPECT_EQ(CallNeo(s, 29), "");
  EXPECT_EQ(installNeoTexts(s), 1);  // again: nothing to change
  EXPECT_TRUE(a.ui.entries.empty());
}

TEST(ConfigNeo, SettingNotSavedUsesTheNeoTextsOrTheDeliveredWording) {
  qb::test::TempArchive a;
  Session& s = a.session();
  tellSettingNotSaved(s);  // Neo file still empty
  ASSERT_EQ(a.ui.entries.size(), 1u);
  EXPECT_EQ(a.ui.entries[0].title, "Settings Not Saved");
  OP_CLOSE(s, OpOpen, {FileNo::Neo});
  s.Neo().clear();
  s.Neo().rec.ID = 27;
  s.Neo().rec.NEOFIELD = "Own Title";
  ASSERT_EQ(s.Neo().add(), Err::Ok);
  OP_CLOSE(s, OpClose, {FileNo::Neo});
  tellSettingNotSaved(s);
  EXPECT_EQ(a.ui.entries[1].title, "Own Title");
  EXPECT_EQ(a.ui.entries[1].text, a.ui.entries[0].text);
}
