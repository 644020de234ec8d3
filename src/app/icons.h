#pragma once
// Icons: the desktop theme's icon by its freedesktop name, with a small
// fallback drawn here when the theme lacks it.

#include <QIcon>
#include <QPixmap>

namespace qb::app {

enum class Glyph {
  Preferences, Database, Exit, Import, Schedule, Persons, Merge, Count, Trash, Classify, ExportMsg,
  ExportAddr, First, PriorPage, PriorRecord, NextRecord, NextPage, Last, PrevFilter, Filter, NextFilter,
  Program, File, Folder, Bookmark, BookmarkSet
};

QIcon appIcon(Glyph g);
// The picture of the frame's background.
QPixmap backgroundPicture(int width, int height);

}  // namespace qb::app
