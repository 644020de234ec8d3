#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QString>

// The bundled pictures live in a resource of the library; a static library's
// resources are registered by hand.
static void registerIcons() { Q_INIT_RESOURCE(icons); }

namespace qb::app {

namespace {

struct GlyphInfo {
  Glyph g;
  const char* themeName;  // freedesktop icon name
  const char* file;       // the bundled picture (:/icons/<file>.svg)
};

const GlyphInfo kGlyphs[] = {
    {Glyph::Preferences, "preferences-system", "preferences"},
    {Glyph::Database, "network-server-database", "database"},
    {Glyph::Exit, "application-exit", "exit"},
    {Glyph::Import, "document-import", "import"},
    {Glyph::Schedule, "appointment-new", "schedule"},
    {Glyph::Persons, "system-users", "persons"},
    {Glyph::Merge, "merge", "merge"},
    {Glyph::Count, "view-statistics", "count"},
    {Glyph::Trash, "user-trash", "trash"},
    {Glyph::Classify, "tag", "classify"},
    {Glyph::ExportMsg, "document-export", "export-messages"},
    {Glyph::ExportAddr, "x-office-address-book", "export-addresses"},
    {Glyph::First, "go-first", "go-first"},
    {Glyph::PriorPage, "go-previous", "go-previous"},
    {Glyph::PriorRecord, "go-up", "go-up"},
    {Glyph::NextRecord, "go-down", "go-down"},
    {Glyph::NextPage, "go-next", "go-next"},
    {Glyph::Last, "go-last", "go-last"},
    {Glyph::PrevFilter, "", "filter-previous"},
    {Glyph::Filter, "view-filter", "filter"},
    {Glyph::NextFilter, "", "filter-next"},
    {Glyph::Program, "", "quillbox"},
    {Glyph::File, "text-x-generic", "file"},
    {Glyph::Folder, "folder", "folder"},
    {Glyph::Bookmark, "bookmark-new", "bookmark"},
    {Glyph::BookmarkSet, "", "bookmark-set"},
};

const GlyphInfo& info(Glyph g) {
  for (auto& i : kGlyphs)
    if (i.g == g) return i;
  return kGlyphs[0];
}

}  // namespace

QIcon bundledIcon(Glyph g) {
  static const bool registered = (registerIcons(), true);
  (void)registered;
  return QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(info(g).file)));
}

QIcon appIcon(Glyph g) {
  // The desktop theme's picture where it has one, so that the program looks
  // like the rest of the desktop; the bundled set for the rest. The
  // program's own picture and the pictures without a standard name are
  // always the bundled ones.
  const GlyphInfo& gi = info(g);
  if (*gi.themeName && QIcon::hasThemeIcon(QString::fromLatin1(gi.themeName)))
    return QIcon::fromTheme(QString::fromLatin1(gi.themeName));
  return bundledIcon(g);
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
