#include "app/preferences_window.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <filesystem>

#include "app/display_settings.h"
#include "app/gui_ui.h"
#include "app/main_frame.h"
#include "app/notifications.h"
#include "app/window_registry.h"
#include "archive/browse/browse_databases.h"
#include "archive/config.h"
#include "archive/paths.h"
#include "archive/session.h"
#include "export/export_formats.h"
#include "import/import_types.h"
#include "text/datetime.h"

namespace qb::app {

using store::SettingKind;

namespace {

enum class Kind { Check, Choice, Spin, Colour, Font, Text, Directory, Time, Seconds, ReadOnly };

struct Choice {
  int32_t value;
  QString label;
};

// How one setting is edited.
struct SettingDef {
  int code;
  const char* tab;
  Kind kind;
  const char* label;
  int32_t on = 1, off = 0;   // Check: the stored values
  int32_t min = 0, max = 0;  // Spin
};

const char* const kGeneral = "General";
const char* const kImport = "Import";
const char* const kDisplay = "Display";
const char* const kSpeed = "Speed";
const char* const kScheduler = "Scheduler";
const char* const kExport = "Export";
const char* const kWords = "Word index";

const SettingDef kSettingDefs[] = {
    {2, kGeneral, Kind::Check, "Show tool tips", 2, 1},
    {3, kGeneral, Kind::Seconds, "List locator delay (seconds):"},
    {10, kGeneral, Kind::Choice, "Date format:"},
    {13, kGeneral, Kind::Choice, "Time format:"},
    {6, kGeneral, Kind::Choice, "Database made active at start-up:"},
    {4, kGeneral, Kind::Spin, "General option 4:", 0, 0, 0, 99999},
    {9, kGeneral, Kind::Spin, "General option 9:", 0, 0, 0, 99999},
    {11, kGeneral, Kind::ReadOnly, "Settings version:"},
    {12, kImport, Kind::Choice, "Default import file type:"},
    {14, kImport, Kind::Directory, "Default directory of import files:"},
    {19, kImport, Kind::Choice, "Mail database last chosen for mail import:"},
    {32, kImport, Kind::Check, "Tell the time of completion at the end of an import", 1, 0},
    {35, kImport, Kind::Font, "Font of the lists of the import windows:"},
    {23, kImport, Kind::Colour, "Colour of the lists of the import and task windows:"},
    {33, kDisplay, Kind::Font, "Font of the message browse lists:"},
    {34, kDisplay, Kind::Font, "Font of the database and topic lists:"},
    {36, kDisplay, Kind::Font, "Font of the thread tree:"},
    {37, kDisplay, Kind::Colour, "Text colour of the thread tree:"},
    {22, kDisplay, Kind::Colour, "Colour of the words a search found:"},
    {24, kDisplay, Kind::Colour, "Colour of messages marked Keep:"},
    {25, kDisplay, Kind::Colour, "Colour of messages marked Delete:"},
    {16, kDisplay, Kind::Choice, "Thread tree items show:"},
    {38, kDisplay, Kind::Choice, "Person names in the browses:"},
    {40, kDisplay, Kind::Check, "Do not open the thread tree with the message browse", 1, 0},
    {42, kDisplay, Kind::Check, "Restore the frame's position and size at start", 1, 0},
    {64, kDisplay, Kind::Check, "Do not show the picture on the frame background", 1, 0},
    {39, kDisplay, Kind::Spin, "Display option 39:", 0, 0, 0, 99999},
    {59, kDisplay, Kind::Spin, "Display option 59:", 0, 0, 0, 99999},
    {30, kSpeed, Kind::Spin, "Import (records stored per step), level:", 0, 0, 1, 7},
    {26, kSpeed, Kind::Spin, "Counting and purging, level:", 0, 0, 1, 7},
    {27, kSpeed, Kind::Spin, "Mail duplicate elimination, level:", 0, 0, 1, 7},
    {28, kSpeed, Kind::Spin, "Keyword indexing, level:", 0, 0, 1, 7},
    {29, kSpeed, Kind::Spin, "Merging duplicate persons, level:", 0, 0, 1, 7},
    {48, kScheduler, Kind::Check, "Deactivate ImportScheduler", 1, 0},
    {46, kScheduler, Kind::Time, "No task starts between:"},
    {47, kScheduler, Kind::Time, "and:"},
    {57, kScheduler, Kind::Check, "End the program after task processing", 1, 0},
    {61, kExport, Kind::Choice, "Export format of mail databases:"},
    {62, kExport, Kind::Choice, "Export format of forum databases:"},
    {63, kExport, Kind::Choice, "Export format of newsgroup databases:"},
    {60, kExport, Kind::Check, "Wrap the lines of exported text", 1, 0},
    {58, kExport, Kind::Spin, "Wrap column:", 0, 0, 1, 9999},
    {65, kWords, Kind::Choice, "Numbers:"},
    {66, kWords, Kind::Choice, "Message footers:"},
    {67, kWords, Kind::Choice, "Words found in more than 25 % of the messages:"},
    {68, kWords, Kind::Spin, "Index entries a search scans before asking to go on:", 0, 0, 1, 2000000000},
    {69, kWords, Kind::Text, "Word-breaking rule set:"},
};

const SettingDef* defOf(int code) {
  for (const SettingDef& s : kSettingDefs)
    if (s.code == code) return &s;
  return nullptr;
}

// The Konfig actions of a settings record: set, read, write.
struct Actions {
  store::KonfigAction set, get, write;
};
Actions actionsOf(int record) {
  using enum store::KonfigAction;
  switch (record) {
    case 1: return {SetGeneral, GetGeneral, WriteGeneral};
    case 9: return {SetDisplay, GetDisplay, WriteDisplay};
    default: return {SetFurther, GetFurther, WriteFurther};
  }
}

QList<Choice> choicesOf(store::Session& s, int code) {
  QList<Choice> c;
  switch (code) {
    case 10: return {{2, "mm-dd-yyyy"}, {6, "dd-mm-yyyy"}, {10, "yyyy-mm-dd"}, {17, "Windows setting"}};
    case 13: return {{1, "hh:mm"}, {3, "hh:mmXM"}, {7, "Windows setting"}};
    case 16:
      return {{1, "Sender"}, {2, "Sender and message number"}, {3, "Sender and date"},
              {4, "Sender, message number and date"}, {5, "Sender, date and message number"}};
    case 38: return {{1, "Last name, first name"}, {2, "Last name, first name <address>"}};
    case 65:
    case 66: return {{1, "Index them"}, {2, "Do not index them"}};
    case 67: return {{1, "Become stop words"}, {2, "Stay in the index"}};
    case 6:
      c.append({0, "(the first database)"});
      for (const auto& r : store::databaseRows(s, store::DatabaseOrder::ByName))
        c.append({static_cast<int32_t>(r.ID), shown(r.DESCRIPTION)});
      return c;
    case 19:
      c.append({0, "(none)"});
      for (const auto& r : store::mailDatabaseRows(s)) c.append({static_cast<int32_t>(r.ID), shown(r.fields.name)});
      return c;
    case 12:
      for (const auto& t : import::importTypes())
        if (t.offered()) c.append({t.number(), QString::fromLatin1(t.name)});
      return c;
    case 61:
    case 62:
    case 63: {
      const uint8_t kind = code == 61 ? store::KindMail : code == 62 ? store::KindForum : store::KindNewsgroup;
      for (const auto& f : exporting::formatList(kind)) c.append({f.number, QString::fromLatin1(f.name)});
      return c;
    }
    default: return c;
  }
}

}  // namespace

struct PreferencesWindow::Editor {
  const SettingDef* def = nullptr;
  const store::SettingInfo* info = nullptr;
  QWidget* widget = nullptr;
  QLabel* note = nullptr;  // a font's or colour's sample, a speed level's batch size
  QFont font;
  int32_t colour = 0;
  int32_t raw = 0;  // a check box's value when it is neither on nor off
};

ToolWindow* PreferencesWindow::open(MainFrame& frame) {
  auto* w = new PreferencesWindow(frame);
  frame.addChild(w, QSize(620, 520));
  return w;
}

PreferencesWindow::PreferencesWindow(MainFrame& frame) : ToolWindow(frame, "UserPanel", kNotToolsGroup, kPlacePreferences) {
  setWindowTitle("Preferences");
  store::Session& s = session();
  store::Konfig(s, store::KonfigAction::LoadGeneral);
  store::Konfig(s, store::KonfigAction::LoadDisplay);
  store::Konfig(s, store::KonfigAction::LoadFurther);
  build();
  load();
}

PreferencesWindow::~PreferencesWindow() { qDeleteAll(editors_); }

PreferencesWindow::Editor* PreferencesWindow::editor(int code) const { return editors_.value(code, nullptr); }

QWidget* PreferencesWindow::editorFor(int code, QWidget* parent) {
  auto* e = new Editor;
  e->def = defOf(code);
  e->info = store::settingInfo(code);
  editors_.insert(code, e);
  order_.append(code);
  switch (e->def->kind) {
    case Kind::Check: {
      auto* b = new QCheckBox(e->def->label, parent);
      e->widget = b;
      return b;
    }
    case Kind::Choice: {
      auto* c = new QComboBox(parent);
      for (const Choice& ch : choicesOf(session(), code)) c->addItem(ch.label, ch.value);
      e->widget = c;
      return c;
    }
    case Kind::Spin: {
      auto* sp = new QSpinBox(parent);
      sp->setRange(e->def->min, e->def->max);
      e->widget = sp;
      if (code >= store::SpeedCountPurge && code <= store::SpeedImport) {
        auto* row = new QWidget(parent);
        auto* l = new QHBoxLayout(row);
        l->setContentsMargins(0, 0, 0, 0);
        sp->setParent(row);
        l->addWidget(sp);
        e->note = new QLabel(row);
        l->addWidget(e->note, 1);
        connect(sp, &QSpinBox::valueChanged, this, [this, code] { showSpeed(code); });
        return row;
      }
      return sp;
    }
    case Kind::Seconds: {
      auto* d = new QDoubleSpinBox(parent);
      d->setDecimals(1);
      d->setRange(0.1, 3.5);
      d->setSingleStep(0.1);
      e->widget = d;
      return d;
    }
    case Kind::Colour:
    case Kind::Font: {
      auto* row = new QWidget(parent);
      auto* l = new QHBoxLayout(row);
      l->setContentsMargins(0, 0, 0, 0);
      e->note = new QLabel(row);
      e->note->setMinimumWidth(160);
      e->note->setFrameShape(QFrame::StyledPanel);
      auto* b = new QPushButton(e->def->kind == Kind::Font ? "Font..." : "Colour...", row);
      l->addWidget(e->note, 1);
      l->addWidget(b);
      e->widget = b;
      connect(b, &QPushButton::clicked, this, [this, e] {
        if (e->def->kind == Kind::Font) {
          bool ok = false;
          const QFont f = QFontDialog::getFont(&ok, e->font, this, "Font");
          if (ok) {
            e->font = f;
            showFont(*e);
          }
        } else {
          const QColor c = QColorDialog::getColor(colourOf(e->colour), this, "Colour");
          if (c.isValid()) {
            e->colour = colourValue(c);
            showColour(*e);
          }
        }
      });
      return row;
    }
    case Kind::Text:
    case Kind::ReadOnly: {
      auto* t = new QLineEdit(parent);
      t->setReadOnly(e->def->kind == Kind::ReadOnly);
      if (e->info && e->info->textLength) t->setMaxLength(e->info->textLength);
      e->widget = t;
      return t;
    }
    case Kind::Directory: {
      auto* row = new QWidget(parent);
      auto* l = new QHBoxLayout(row);
      l->setContentsMargins(0, 0, 0, 0);
      auto* t = new QLineEdit(row);
      t->setMaxLength(e->info->textLength);
      auto* b = new QPushButton("Browse...", row);
      connect(b, &QPushButton::clicked, this, [this, t] {
        const QString d = QFileDialog::getExistingDirectory(this, "Directory", t->text());
        if (!d.isEmpty()) t->setText(d);
      });
      l->addWidget(t, 1);
      l->addWidget(b);
      e->widget = t;
      return row;
    }
    case Kind::Time: {
      auto* t = new QTimeEdit(parent);
      t->setDisplayFormat("HH:mm");
      e->widget = t;
      return t;
    }
  }
  return nullptr;
}

void PreferencesWindow::build() {
  auto* lay = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  lay->addWidget(tabs_, 1);
  QMap<QString, QFormLayout*> forms;
  auto formOf = [&](const char* tab) {
    if (!forms.contains(tab)) {
      auto* page = new QWidget;
      auto* scroll = new QScrollArea(tabs_);
      scroll->setWidgetResizable(true);
      scroll->setFrameShape(QFrame::NoFrame);
      scroll->setWidget(page);
      tabs_->addTab(scroll, tab);
      forms.insert(tab, new QFormLayout(page));
    }
    return forms.value(tab);
  };
  for (const SettingDef& sp : kSettingDefs) {
    QFormLayout* f = formOf(sp.tab);
    QWidget* w = editorFor(sp.code, f->parentWidget());
    if (sp.kind == Kind::Check)
      f->addRow(w);
    else
      f->addRow(sp.label, w);
  }
  // Directories.
  auto* page = new QWidget;
  auto* f = new QFormLayout(page);
  tempDir_ = new QLineEdit(page);
  dataDir_ = new QLineEdit(page);
  tempDir_->setMaxLength(static_cast<int>(store::kStoredPathMax));
  dataDir_->setMaxLength(static_cast<int>(store::kStoredPathMax));
  f->addRow("Temporary directory:", tempDir_);
  f->addRow("Data directory:", dataDir_);
  auto* note = new QLabel("A changed directory is created; a new data directory is used from the next start on.", page);
  note->setWordWrap(true);
  f->addRow(note);
  tabs_->addTab(page, "Directories");

  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(box, &QDialogButtonBox::accepted, this, [this] {
    if (save()) close();
  });
  connect(box, &QDialogButtonBox::rejected, this, [this] { close(); });
  lay->addWidget(box);
}

void PreferencesWindow::load() {
  store::Session& s = session();
  for (int code : order_) {
    Editor& e = *editors_.value(code);
    int32_t v = 0;
    std::string t;
    store::Konfig(s, actionsOf(e.info->record).get, code, v, &t);
    switch (e.def->kind) {
      case Kind::Check:
        e.raw = v;
        static_cast<QCheckBox*>(e.widget)->setChecked(v == e.def->on);
        break;
      case Kind::Choice: {
        auto* c = static_cast<QComboBox*>(e.widget);
        int i = c->findData(v);
        if (i < 0) {
          // A stored value the list does not offer is kept as it is.
          c->addItem(QString("(%1)").arg(v), v);
          i = c->count() - 1;
        }
        c->setCurrentIndex(i);
        break;
      }
      case Kind::Spin: {
        auto* sp = static_cast<QSpinBox*>(e.widget);
        sp->setRange(std::min(sp->minimum(), v), std::max(sp->maximum(), v));
        sp->setValue(v);
        if (e.note) showSpeed(code);
        break;
      }
      case Kind::Seconds: static_cast<QDoubleSpinBox*>(e.widget)->setValue(v / 10.0); break;
      case Kind::Colour:
        e.colour = v;
        showColour(e);
        break;
      case Kind::Font:
        e.font = QFont(QString::fromStdString(t));
        if (v > 0) e.font.setPointSize(v);
        showFont(e);
        break;
      case Kind::Text:
      case Kind::Directory: static_cast<QLineEdit*>(e.widget)->setText(QString::fromStdString(t)); break;
      case Kind::ReadOnly: static_cast<QLineEdit*>(e.widget)->setText(QString::number(v)); break;
      case Kind::Time: {
        int h = 0, m = 0, sec = 0;
        if (v > 0) text::clockTime(v, h, m, sec);
        static_cast<QTimeEdit*>(e.widget)->setTime(QTime(h, m));
        break;
      }
    }
  }
  std::string temp, data;
  store::AutoPath(s, 3, store::kTempPath, temp);
  store::AutoPath(s, 3, store::kDataPath, data);
  tempDir_->setText(QString::fromStdString(temp));
  dataDir_->setText(QString::fromStdString(data));
}

void PreferencesWindow::showColour(Editor& e) {
  const QColor c = colourOf(e.colour);
  e.note->setText(e.colour == 0 && e.def->code == store::SetTreeColour ? "(the style's own)" : c.name());
  e.note->setStyleSheet(QString("QLabel { background: %1; color: %2; }")
                            .arg(c.name(), c.lightness() < 128 ? "white" : "black"));
}

void PreferencesWindow::showFont(Editor& e) {
  e.note->setFont(e.font);
  e.note->setText(QString("%1, %2").arg(e.font.family()).arg(e.font.pointSize()));
}

void PreferencesWindow::showSpeed(int code) {
  Editor* e = editor(code);
  if (!e || !e->note) return;
  // The batch size the level gives, as the long-running procedures read it.
  static const int32_t sizes[5][7] = {{50, 100, 250, 500, 750, 1000, 1250},
                                      {50, 100, 200, 275, 350, 500, 700},
                                      {1, 3, 7, 10, 20, 30, 40},
                                      {1, 3, 7, 10, 20, 30, 40},
                                      {8, 16, 30, 50, 70, 85, 100}};
  const int level = static_cast<QSpinBox*>(e->widget)->value();
  e->note->setText(level >= 1 && level <= 7 ? QString("%1 per step").arg(sizes[code - 26][level - 1]) : QString());
}

QList<int> PreferencesWindow::codes() const { return order_; }

QStringList PreferencesWindow::tabNames() const {
  QStringList out;
  for (int i = 0; i < tabs_->count(); ++i) out << tabs_->tabText(i);
  return out;
}

int32_t PreferencesWindow::number(int code) const {
  const Editor* e = editor(code);
  if (!e) return 0;
  switch (e->def->kind) {
    case Kind::Check: {
      const bool on = static_cast<QCheckBox*>(e->widget)->isChecked();
      if (on) return e->def->on;
      return e->raw == e->def->on ? e->def->off : e->raw == e->def->off ? e->def->off : e->raw;
    }
    case Kind::Choice: return static_cast<QComboBox*>(e->widget)->currentData().toInt();
    case Kind::Spin: return static_cast<QSpinBox*>(e->widget)->value();
    case Kind::Seconds: return static_cast<int32_t>(static_cast<QDoubleSpinBox*>(e->widget)->value() * 10 + 0.5);
    case Kind::Colour: return e->colour;
    case Kind::Font: return e->font.pointSize();
    case Kind::ReadOnly: return static_cast<QLineEdit*>(e->widget)->text().toInt();
    case Kind::Time: {
      const QTime t = static_cast<QTimeEdit*>(e->widget)->time();
      return t == QTime(0, 0) ? 0 : text::timeValue(t.hour(), t.minute());
    }
    case Kind::Text:
    case Kind::Directory: return 0;
  }
  return 0;
}

QString PreferencesWindow::text(int code) const {
  const Editor* e = editor(code);
  if (!e) return {};
  if (e->def->kind == Kind::Font) return e->font.family();
  if (e->def->kind == Kind::Text || e->def->kind == Kind::Directory)
    return static_cast<QLineEdit*>(e->widget)->text();
  return {};
}

bool PreferencesWindow::setNumber(int code, int32_t v) {
  Editor* e = editor(code);
  if (!e) return false;
  switch (e->def->kind) {
    case Kind::Check:
      static_cast<QCheckBox*>(e->widget)->setChecked(v == e->def->on);
      e->raw = v;
      return v == e->def->on || v == e->def->off;
    case Kind::Choice: {
      auto* c = static_cast<QComboBox*>(e->widget);
      const int i = c->findData(v);
      if (i >= 0) c->setCurrentIndex(i);
      return i >= 0;
    }
    case Kind::Spin: {
      auto* sp = static_cast<QSpinBox*>(e->widget);
      if (v < sp->minimum() || v > sp->maximum()) return false;
      sp->setValue(v);
      return true;
    }
    case Kind::Seconds: static_cast<QDoubleSpinBox*>(e->widget)->setValue(v / 10.0); return true;
    case Kind::Colour:
      e->colour = v;
      showColour(*e);
      return true;
    case Kind::Font:
      e->font.setPointSize(v);
      showFont(*e);
      return true;
    case Kind::Time: {
      int h = 0, m = 0, sec = 0;
      if (v > 0) text::clockTime(v, h, m, sec);
      static_cast<QTimeEdit*>(e->widget)->setTime(QTime(h, m));
      return true;
    }
    default: return false;
  }
}

bool PreferencesWindow::setText(int code, const QString& t) {
  Editor* e = editor(code);
  if (!e) return false;
  if (e->def->kind == Kind::Font) {
    e->font.setFamily(t);
    showFont(*e);
    return true;
  }
  if (e->def->kind == Kind::Text || e->def->kind == Kind::Directory) {
    static_cast<QLineEdit*>(e->widget)->setText(t);
    return true;
  }
  return false;
}

QString PreferencesWindow::tempDirectory() const { return tempDir_->text(); }
QString PreferencesWindow::dataDirectory() const { return dataDir_->text(); }

void PreferencesWindow::setDirectories(const QString& temp, const QString& data) {
  tempDir_->setText(temp);
  dataDir_->setText(data);
}

bool PreferencesWindow::save() {
  store::Session& s = session();
  for (int code : order_) {
    const Editor& e = *editors_.value(code);
    if (e.def->kind == Kind::ReadOnly) continue;
    int32_t v = number(code);
    std::string t = text(code).toStdString();
    if (e.def->kind == Kind::Font) {
      // A font name longer than its room is cut; the size is kept.
      t = t.substr(0, static_cast<std::size_t>(e.info->textLength));
      if (v <= 0) v = e.info->defValue;
    }
    if (!store::Konfig(s, actionsOf(e.info->record).set, code, v, &t)) {
      s.tell(std::string("The value of \"") + e.def->label + "\" cannot be stored.", "Preferences");
      return false;
    }
  }
  // The directories: a changed one is created before it is remembered.
  for (auto [edit, kind] : {std::pair{tempDir_, store::kTempPath}, std::pair{dataDir_, store::kDataPath}}) {
    std::string path = edit->text().trimmed().toStdString();
    std::string before;
    store::AutoPath(s, 3, kind, before);
    if (path.empty() || path == before) continue;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (!std::filesystem::is_directory(path, ec)) {
      s.tell("The directory " + path + " cannot be created!", "Preferences");
      return false;
    }
    if (!store::AutoPath(s, 2, kind, path)) return false;  // told
    if (kind == store::kTempPath) s.TempDir = path;
  }
  store::SpeedVal(s, store::SpeedAction::Compute);
  std::string none;
  const bool ok = store::Konfig(s, store::KonfigAction::WriteGeneral) && store::Konfig(s, store::KonfigAction::WriteDisplay) &&
                  store::Konfig(s, store::KonfigAction::WriteFurther) && store::AutoPath(s, 4, 0, none);
  if (ok) applyDisplayLook(frame_);
  return ok;
}

void PreferencesWindow::closing() {
  // The frame gets its menus back and opens the browse again, which then
  // shows the settings just saved.
  post(&frame_, NoteReevaluate);
}

}  // namespace qb::app
