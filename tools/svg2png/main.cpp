// Renders the skin artwork: every image of the skin table from its SVG at its fixed size
// into <out>/<id>.png, and writes the resource list <out>/skin.qrc for the resource compiler.
//   svg2png <svg folder> <out folder>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>
#include <cstdio>

namespace {
struct Entry {
  int id, width, height;
  const char* source;
};
constexpr Entry kTable[] = {
#define SKIN(id, w, h, file) {id, w, h, file},
#include "res/skin/skin_table.inc"
#undef SKIN
};
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: svg2png <svg folder> <out folder>\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir in(QString::fromLocal8Bit(argv[1]));
  QDir out(QString::fromLocal8Bit(argv[2]));
  if (!out.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "svg2png: cannot make %s\n", argv[2]);
    return 1;
  }
  QString qrc;
  QTextStream q(&qrc);
  q << "<RCC>\n  <qresource prefix=\"/skin\">\n";
  for (const Entry& e : kTable) {
    const QString src = in.filePath(QString::fromLatin1(e.source));
    QSvgRenderer svg(src);
    if (!svg.isValid()) {
      std::fprintf(stderr, "svg2png: %s is no valid SVG\n", qPrintable(src));
      return 1;
    }
    QImage img(e.width, e.height, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
      QPainter p(&img);
      p.setRenderHint(QPainter::Antialiasing);
      p.setRenderHint(QPainter::TextAntialiasing);
      svg.render(&p, QRectF(0, 0, e.width, e.height));
    }
    const QString name = QString::number(e.id) + QStringLiteral(".png");
    if (!img.save(out.filePath(name), "PNG")) {
      std::fprintf(stderr, "svg2png: cannot write %s\n", qPrintable(out.filePath(name)));
      return 1;
    }
    q << "    <file>" << name << "</file>\n";
  }
  q << "  </qresource>\n</RCC>\n";
  q.flush();
  QFile f(out.filePath(QStringLiteral("skin.qrc")));
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(qrc.toUtf8()) < 0) {
    std::fprintf(stderr, "svg2png: cannot write skin.qrc\n");
    return 1;
  }
  return 0;
}
