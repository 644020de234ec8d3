#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>

namespace qb::app {

namespace {

struct GlyphInfo {
  Glyph g;
  const char* themeName;
  const char* letter;  // drawn on the fallback; empty for arrows
  QColor colour;
};

const GlyphInfo kGlyphs[] = {
    {Glyph::Preferences, "preferences-system", "P", QColor(90, 90, 90)},
    {Glyph::Database, "network-server-database", "D", QColor(30, 90, 160)},
    {Glyph::Exit, "application-exit", "X", QColor(170, 30, 30)},
    {Glyph::Import, "document-import", "I", QColor(30, 130, 60)},
    {Glyph::Schedule, "appointment-new", "S", QColor(150, 100, 20)},
    {Glyph::Persons, "system-users", "U", QColor(60, 60, 150)},
    {Glyph::Merge, "edit-copy", "M", QColor(110, 60, 130)},
    {Glyph::Count, "accessories-calculator", "#", QColor(40, 110, 110)},
    {Glyph::Trash, "user-trash", "T", QColor(120, 80, 50)},
    {Glyph::Classify, "tag", "C", QColor(160, 120, 0)},
    {Glyph::ExportMsg, "document-export", "E", QColor(30, 120, 160)},
    {Glyph::ExportAddr, "x-office-address-book", "A", QColor(30, 120, 100)},
    {Glyph::First, "go-first", "", QColor(40, 70, 140)},
    {Glyph::PriorPage, "go-previous", "", QColor(40, 70, 140)},
    {Glyph::PriorRecord, "go-up", "", QColor(40, 70, 140)},
    {Glyph::NextRecord, "go-down", "", QColor(40, 70, 140)},
    {Glyph::NextPage, "go-next", "", QColor(40, 70, 140)},
    {Glyph::Last, "go-last", "", QColor(40, 70, 140)},
    {Glyph::PrevFilter, "go-previous-view", "", QColor(130, 80, 20)},
    {Glyph::Filter, "view-filter", "F", QColor(130, 80, 20)},
    {Glyph::NextFilter, "go-next-view", "", QColor(130, 80, 20)},
    {Glyph::Program, "mail-message", "Q", QColor(50, 80, 140)},
    {Glyph::File, "text-x-generic", "", QColor(100, 100, 100)},
    {Glyph::Folder, "folder", "", QColor(200, 160, 40)},
    {Glyph::Bookmark, "bookmark-new", "B", QColor(120, 120, 120)},
    {Glyph::BookmarkSet, "bookmarks", "B", QColor(200, 40, 40)},
};

const GlyphInfo& info(Glyph g) {
  for (auto& i : kGlyphs)
    if (i.g == g) return i;
  return kGlyphs[0];
}

// An arrow pointing up, down, left or right, doubled or with a bar.
QPainterPath arrow(Glyph g) {
  QPainterPath p;
  auto tri = [&](QPointF a, QPointF b, QPointF c) {
    p.moveTo(a);
    p.lineTo(b);
    p.lineTo(c);
    p.closeSubpath();
  };
  switch (g) {
    case Glyph::First:
      tri({14, 4}, {14, 20}, {6, 12});
      p.addRect(3, 4, 2, 16);
      tri({21, 4}, {21, 20}, {13, 12});
      break;
    case Glyph::PriorPage: tri({16, 4}, {16, 20}, {6, 12}); break;
    case Glyph::PriorRecord: tri({4, 16}, {20, 16}, {12, 6}); break;
    case Glyph::NextRecord: tri({4, 8}, {20, 8}, {12, 18}); break;
    case Glyph::NextPage: tri({8, 4}, {8, 20}, {18, 12}); break;
    case Glyph::Last:
      tri({3, 4}, {3, 20}, {11, 12});
      tri({10, 4}, {10, 20}, {18, 12});
      p.addRect(19, 4, 2, 16);
      break;
    case Glyph::PrevFilter: tri({13, 6}, {13, 18}, {5, 12}); p.addRect(14, 9, 6, 6); break;
    case Glyph::NextFilter: tri({11, 6}, {11, 18}, {19, 12}); p.addRect(4, 9, 6, 6); break;
    default: break;
  }
  return p;
}

QPixmap drawFallback(const GlyphInfo& gi) {
  QPixmap pm(24, 24);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  if (gi.g == Glyph::Folder) {
    p.setBrush(gi.colour);
    p.setPen(gi.colour.darker());
    p.drawRect(3, 8, 18, 12);
    p.drawRect(3, 5, 8, 4);
    return pm;
  }
  if (gi.g == Glyph::File) {
    p.setBrush(Qt::white);
    p.setPen(gi.colour);
    p.drawRect(6, 3, 12, 18);
    for (int y = 8; y < 18; y += 3) p.drawLine(8, y, 16, y);
    return pm;
  }
  QPainterPath a = arrow(gi.g);
  if (!a.isEmpty()) {
    p.fillPath(a, gi.colour);
    return pm;
  }
  p.setBrush(gi.colour);
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(2, 2, 20, 20, 5, 5);
  p.setPen(Qt::white);
  QFont f = p.font();
  f.setBold(true);
  f.setPixelSize(14);
  p.setFont(f);
  p.drawText(QRect(2, 2, 20, 20), Qt::AlignCenter, QString::fromLatin1(gi.letter));
  return pm;
}

}  // namespace

QIcon appIcon(Glyph g) {
  const GlyphInfo& gi = info(g);
  QIcon fallback(drawFallback(gi));
  return QIcon::fromTheme(QString::fromLatin1(gi.themeName), fallback);
}

QPixmap backgroundPicture(int width, int height) {
  QPixmap pm(qMax(width, 64), qMax(height, 64));
  pm.fill(QColor(112, 128, 144));
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // A quill: a feather's curve with its shaft, and the program's name.
  const QPointF c(pm.width() / 2.0, pm.height() / 2.0 - 20);
  QPainterPath feather;
  feather.moveTo(c + QPointF(-60, 60));
  feather.cubicTo(c + QPointF(-20, -10), c + QPointF(30, -60), c + QPointF(70, -70));
  feather.cubicTo(c + QPointF(40, -20), c + QPointF(0, 30), c + QPointF(-60, 60));
  p.fillPath(feather, QColor(255, 255, 255, 70));
  p.setPen(QPen(QColor(255, 255, 255, 110), 2));
  p.drawLine(c + QPointF(-70, 72), c + QPointF(50, -50));
  QFont f = p.font();
  f.setPixelSize(34);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(255, 255, 255, 120));
  p.drawText(QRectF(0, c.y() + 70, pm.width(), 50), Qt::AlignCenter, QStringLiteral("Quillbox"));
  return pm;
}

}  // namespace qb::app
