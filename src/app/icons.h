#pragma once
// Icons: the desktop theme's icon by its freedesktop name, and the program's
// own set of pictures (SVG, bundled as a resource) where the theme has none.

#include <QIcon>
#include <QPixmap>

namespace qb::app {

enum class Glyph {
  Preferences, Database, Exit, Import, Schedule, Persons, Merge, Count, Trash, Classify, ExportMsg,
  ExportAddr, First, PriorPage, PriorRecord, NextRecord, NextPage, Last, PrevFilter, Filter, NextFilter,
  Program, File, Folder, Bookmark, BookmarkSet
};

QIcon appIcon(Glyph g);
// The bundled picture of a glyph, whatever the theme holds.
QIcon bundledIcon(Glyph g);
// The picture of the frame's background.
QPixmap backgroundPicture(int width, int height);

}  // namespace qb::app
