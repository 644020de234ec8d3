// Renders the program's SVG icon as PNG files of the given sizes for the
// icon theme: render_icon ICON.svg OUTDIR 16 32 48 ... writes
// OUTDIR/quillbox-N.png for each size.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: render_icon ICON.svg OUTDIR SIZE...\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid()) {
    std::fprintf(stderr, "render_icon: %s is no SVG image\n", argv[1]);
    return 1;
  }
  for (int i = 3; i < argc; ++i) {
    const int size = QString::fromLatin1(argv[i]).toInt();
    if (size <= 0) return 2;
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    svg.render(&p);
    p.end();
    const QString out = QString::fromLocal8Bit(argv[2]) + "/quillbox-" + QString::number(size) + ".png";
    if (!img.save(out)) {
      std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(out));
      return 1;
    }
  }
  return 0;
}
