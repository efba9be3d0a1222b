#include "controls/NoticeText.h"

#include <QTextLayout>
#include <algorithm>
#include <vector>

namespace {

// Height of `text` wrapped as the notice draws it into `width`.
qreal WrappedHeight(const QFont& font, qreal width, QString text) {
  text.replace(QLatin1Char('\n'), QChar::LineSeparator);
  QTextLayout layout(text, font);
  layout.setTextOption(NoticeTextOption());
  qreal height = 0;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    height += line.height();
  }
  layout.endLayout();
  return height;
}

bool Fits(const QFont& font, const QRect& rect, const QString& text) {
  return WrappedHeight(font, rect.width(), text) <= rect.height();
}

// Text cut with an ellipsis at its end until its wrapped form fits `rect`.
QString CutAtEnd(const QFont& font, const QRect& rect, const QString& text) {
  if (Fits(font, rect, text)) return text;
  QString cut = text;
  while (!cut.isEmpty()) {
    cut.chop(1);
    QString candidate = cut + QChar(0x2026);
    if (Fits(font, rect, candidate)) return candidate;
  }
  return QString();
}

bool IsSeparator(QChar c) { return c == QLatin1Char('/') || c == QLatin1Char('\\'); }

// A path runs to the first blank or full-width punctuation mark (the Chinese texts' "。" and
// "，" follow a path directly); a final ASCII mark ends the sentence, not the name.
bool EndsPath(QChar c) {
  const char16_t u = c.unicode();
  return c.isSpace() || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF);
}

bool OpensPath(const QString& t, qsizetype i) {
  if (t[i] == QLatin1Char('/'))
    return i == 0 || t[i - 1].isSpace() || t[i - 1].unicode() >= 0x80 ||
           QStringLiteral("(\"'[<").contains(t[i - 1]);
  // A drive: "C:\" or "C:/".
  return i + 2 < t.size() && t[i].unicode() < 0x80 && t[i].isLetter() && t[i + 1] == QLatin1Char(':') &&
         IsSeparator(t[i + 2]);
}

// The notice's text as runs of words and runs that are file paths. A path is shown from one
// of its separators on, "…" standing for what lies before: `cut` counts the folders left out.
struct Piece {
  QString text;
  bool path = false;
  std::vector<qsizetype> cuts;  // where the path may start after its "…", nearest the root first
  size_t cut = 0;
  qsizetype removed = 0;  // characters left out of the middle of a run of words
  static Piece Words(const QString& t) {
    Piece p;
    p.text = t;
    return p;
  }
  static Piece Path(const QString& t) {
    Piece p = Words(t);
    p.path = true;
    return p;
  }
  QString Shown() const {
    if (path) return cut == 0 ? text : QChar(0x2026) + text.mid(cuts[cut - 1]);
    if (removed == 0) return text;
    const qsizetype keep = text.size() - removed;
    return text.left(keep - keep / 2) + QChar(0x2026) + text.right(keep / 2);
  }
};

std::vector<Piece> SplitAtPaths(const QString& text) {
  std::vector<Piece> pieces;
  qsizetype words = 0;
  for (qsizetype i = 0; i < text.size();) {
    if (!OpensPath(text, i)) {
      ++i;
      continue;
    }
    qsizetype end = i;
    while (end < text.size() && !EndsPath(text[end])) ++end;
    while (end > i && QStringLiteral(".,;:!?)]>\"'").contains(text[end - 1])) --end;
    Piece path = Piece::Path(text.mid(i, end - i));
    for (qsizetype k = 1; k + 1 < path.text.size(); ++k)
      if (IsSeparator(path.text[k])) path.cuts.push_back(k);
    if (path.cuts.empty()) {  // a name without a folder: nothing to shorten
      i = std::max(end, i + 1);
      continue;
    }
    if (i > words) pieces.push_back(Piece::Words(text.mid(words, i - words)));
    pieces.push_back(std::move(path));
    words = i = end;
  }
  if (words < text.size()) pieces.push_back(Piece::Words(text.mid(words)));
  return pieces;
}

QString Join(const std::vector<Piece>& pieces) {
  QString out;
  for (const Piece& p : pieces) out += p.Shown();
  return out;
}

}  // namespace

QTextOption NoticeTextOption() {
  QTextOption option(Qt::AlignCenter);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  return option;
}

// A notice that names files is shortened where it costs the least: first the folders of its
// paths (the longest path first), then the middle of its longest run of words, so that every
// file's own name, the part the user looks for, stays whole. A notice without a path is cut
// at its end.
QString FitNoticeText(const QFont& font, const QRect& rect, const QString& text) {
  if (Fits(font, rect, text)) return text;
  std::vector<Piece> pieces = SplitAtPaths(text);
  const bool named = std::any_of(pieces.begin(), pieces.end(), [](const Piece& p) { return p.path; });
  if (!named) return CutAtEnd(font, rect, text);
  for (bool folders : {true, false}) {
    for (;;) {
      Piece* longest = nullptr;
      for (Piece& p : pieces) {
        const bool more = folders ? p.path && p.cut < p.cuts.size() : !p.path && p.removed < p.text.size();
        if (more && (!longest || p.Shown().size() > longest->Shown().size())) longest = &p;
      }
      if (!longest) break;
      if (folders)
        ++longest->cut;
      else
        ++longest->removed;
      const QString candidate = Join(pieces);
      if (Fits(font, rect, candidate)) return candidate;
    }
  }
  return CutAtEnd(font, rect, Join(pieces));
}
