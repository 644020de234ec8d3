#pragma once
// The display settings applied to the windows: fonts 33 to 36 (name and
// size) and colours 22, 23 and 37 (stored as red + 256 * green + 65536 *
// blue).
//
//   33  font of the message and mail browse lists
//   34  font of the lists of the database and topic windows
//   35  font of the lists of the import windows
//   36  font of the thread tree
//   22  colour of the words a search found in the message text
//   23  background colour of the lists of the import and task windows
//   37  text colour of the thread tree (0: the style's own)
//
// A window gets them when it opens, and the preferences window applies
// them to every open window when they are saved.

#include <QColor>
#include <QFont>

class QAbstractItemView;
class QWidget;

namespace qb::store {
class Session;
}

namespace qb::app {

class MainFrame;

// The font of setting `code` (33 to 36).
QFont settingFont(store::Session& s, int code);
// The colour of setting `code`; `def` when it is not set.
QColor settingColour(store::Session& s, int code, QColor def);
// A stored colour value and back.
int32_t colourValue(const QColor& c);
QColor colourOf(int32_t value);

// Font 35 and background colour 23 on a list of an import window.
void applyImportListLook(store::Session& s, QAbstractItemView* list);
// The settings of the window's kind (by its registered name) on its lists.
void applyDisplayLook(store::Session& s, QWidget* window);
// On every open window of the frame.
void applyDisplayLook(MainFrame& frame);

}  // namespace qb::app
