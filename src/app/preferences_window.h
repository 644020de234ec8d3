#pragma once
// "UserPanel", the preferences window: every stored setting in tabs
// (general, import, display, speed, scheduler, export, word index,
// directories). "OK" writes every value it shows into the settings blocks,
// remembers the temporary and data directories (a changed one is created),
// recomputes the speed sizes and writes the blocks; the display settings
// are applied to the open windows at once.

#include <QColor>
#include <QFont>
#include <QMap>

#include "app/tool_window.h"

class QLabel;
class QLineEdit;
class QTabWidget;

namespace qb::app {

// The saved place of the preferences window.
constexpr int kPlacePreferences = 24;

class PreferencesWindow : public ToolWindow {
  Q_OBJECT
 public:
  static ToolWindow* open(MainFrame& frame);
  explicit PreferencesWindow(MainFrame& frame);
  ~PreferencesWindow() override;

  // The codes shown, in the order of the tabs.
  QList<int> codes() const;
  QStringList tabNames() const;
  // A number, a font's size, a colour value, a time value; the text of a
  // text setting or a font's name.
  int32_t number(int code) const;
  QString text(int code) const;
  bool setNumber(int code, int32_t value);
  bool setText(int code, const QString& text);
  QString tempDirectory() const;
  QString dataDirectory() const;
  void setDirectories(const QString& temp, const QString& data);
  // "OK": saves everything; false when a write failed (told).
  bool save();

 protected:
  void closing() override;

 private:
  struct Editor;
  void build();
  void load();
  QWidget* editorFor(int code, QWidget* parent);
  Editor* editor(int code) const;
  void showColour(Editor& e);
  void showFont(Editor& e);
  void showSpeed(int code);

  QTabWidget* tabs_ = nullptr;
  QMap<int, Editor*> editors_;
  QList<int> order_;
  QLineEdit* tempDir_ = nullptr;
  QLineEdit* dataDir_ = nullptr;
};

}  // namespace qb::app
