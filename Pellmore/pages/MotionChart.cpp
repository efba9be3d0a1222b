#include "MotionChart.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolTip>

#include "PeriodEditor.h"
#include "Session.h"
#include "plat/bytes.h"
#include "plat/controlid.h"

namespace pellmore {

bool RecordEntry::AllDay(int day) const {
  const size_t at = static_cast<size_t>(day) * 4;
  return plat::getLe16(&allDay[at]) != 0;
}

QColor RecordTypeColour(int type) {
  static const QColor colours[6] = {QColor(0, 0, 255),     QColor(238, 238, 0),
                                    QColor(238, 0, 0),     QColor(224, 102, 255),
                                    QColor(209, 238, 238), QColor(124, 205, 124)};
  return type >= 0 && type < 6 ? colours[type] : QColor(160, 160, 160);
}

ChartGeometry ChartGeometry::For(int w, int h) {
  ChartGeometry g;
  g.W = static_cast<float>(w);
  g.H = static_cast<float>(h);
  g.Hw = (g.W - g.L) / 24;
  g.Rh = g.H / 9;
  return g;
}

QRect ChartGeometry::Bar(int day, int sh, int sm, int eh, int em) const {
  const float x0 = L + (sh + sm / 60.0f) * Hw;
  const float x1 = x0 + (eh - sh) * Hw + (em - sm) * Hw / 60;
  const int left = static_cast<int>(x0), right = static_cast<int>(x1);
  const int top = static_cast<int>((day + 1) * Rh), bottom = static_cast<int>((day + 2) * Rh);
  return QRect(left, top, right - left, bottom - top);
}

QRect ChartGeometry::AllDayBar(int day) const { return Bar(day, 0, 0, 24, 0); }

QString ChartTip(const RecordEntry* e, const ChartGeometry& g, int x, int y) {
  if (!e || g.Rh <= 0 || g.Hw <= 0) return {};
  const int row = static_cast<int>(static_cast<float>(y) / g.Rh);
  if (row < 1 || row > 7) return {};
  // Hours are counted from the margin; only a whole hour's width left of it is outside.
  if (static_cast<int>((static_cast<float>(x) - g.L) / g.Hw) < 0) return {};
  const int day = row - 1;
  if (e->AllDay(day)) return QStringLiteral("00:00-23:59");
  for (int p = 0; p < 8; ++p) {
    const uint8_t* s = e->Period(day, p);
    if ((s[0] | s[1] | s[2] | s[3]) == 0) continue;
    const float from = g.L + (s[0] + s[1] / 60.0f) * g.Hw;
    const float to = g.L + (s[2] + s[3] / 60.0f) * g.Hw;
    if (static_cast<float>(x) >= from && static_cast<float>(x) <= to)
      return QString::asprintf("%02d:%02d-%02d:%02d", s[0], s[1], s[2], s[3]);
  }
  return {};
}

CMotionChart::CMotionChart(QWidget* parent) : QFrame(parent) {
  plat::Named(this, 4404);
  setFrameShape(QFrame::Box);
  setMouseTracking(true);
}

void CMotionChart::SetData(const RecordEntry* entry) {
  entry_ = entry;
  update();
}

void CMotionChart::paintEvent(QPaintEvent*) {
  const ChartGeometry g = Geometry();
  // Drawn off screen and shown in one step.
  QPixmap buffer(static_cast<int>(g.W), static_cast<int>(g.H));
  if (buffer.isNull()) return;
  QPainter p(&buffer);
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  p.drawRect(0, 0, buffer.width() - 1, buffer.height() - 1);
  if (entry_ && entry_->enabled) {
    for (int d = 0; d < 7; ++d) {
      if (entry_->AllDay(d)) {
        p.setPen(Qt::black);
        p.setBrush(RecordTypeColour(entry_->AllDayType(d)));
        p.drawRect(g.AllDayBar(d).adjusted(0, 0, -1, -1));
        continue;
      }
      for (int s = 0; s < 8; ++s) {
        const uint8_t* v = entry_->Period(d, s);
        if ((v[0] | v[1] | v[2] | v[3]) == 0) continue;
        p.fillRect(g.Bar(d, v[0], v[1], v[2], v[3]), RecordTypeColour(v[4]));
      }
    }
  }
  p.setPen(QPen(QColor(133, 133, 133), 1));
  p.setFont(font());
  const auto i = [](float v) { return static_cast<int>(v); };
  for (int k = 1; k <= 8; ++k) p.drawLine(i(g.L), i(k * g.Rh), i(g.W), i(k * g.Rh));
  const QFontMetrics fm(font());
  const auto centred = [&](float x, float y, const QString& text) {
    const int w = fm.horizontalAdvance(text);
    p.drawText(QRect(i(x) - w / 2 - 2, i(y), w + 4, fm.height()), Qt::AlignHCenter | Qt::AlignTop,
               text);
  };
  p.setPen(Qt::black);
  for (int k = 1; k <= 7; ++k) centred(g.L / 2, k * g.Rh + 5, DayName(k - 1).left(15));
  p.setPen(QPen(QColor(133, 133, 133), 1));
  p.drawLine(i(g.L), 0, i(g.L), i(g.H));
  for (int j = 1; j <= 23; ++j) {
    const float x = g.L + j * g.Hw;
    p.setPen(QPen(QColor(133, 133, 133), 1));
    p.drawLine(i(x), i(g.Rh), i(x), i(g.H - g.Rh));
    p.setPen(Qt::black);
    centred(x, g.Rh - 15, QString::number(j));
  }
  p.end();
  QPainter(this).drawPixmap(0, 0, buffer);
}

void CMotionChart::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const QString tip = ChartTip(entry_, Geometry(), static_cast<int16_t>(at.x()),
                               static_cast<int16_t>(at.y()));
  setToolTip(tip);
  if (tip.isEmpty())
    QToolTip::hideText();
  else
    QToolTip::showText(event->globalPosition().toPoint(), tip, this);
  QFrame::mouseMoveEvent(event);
}

}  // namespace pellmore
