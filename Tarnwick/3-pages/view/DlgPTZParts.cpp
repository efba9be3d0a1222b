#include "view/DlgPTZParts.h"

#include <QPainter>
#include <algorithm>

#include "controls/BitmapButtonEx.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/Text.h"

namespace ptzpanel {

void MakeButtons(QWidget* panel, const ButtonRow* rows, int count, CBitmapButtonEx** out,
                 const std::function<void(int)>& onCommand) {
  for (int i = 0; i < count; ++i) {
    const ButtonRow& row = rows[i];
    auto* b = new CBitmapButtonEx(panel, row.id);
    plat::Named(b, row.id);
    b->LoadImageResources(row.images[0], row.images[1], row.images[2]);
    b->SizeToImage();
    if (i == 0) b->move(4, 0);  // the row's left edge, in line with the panel tabs above
    b->setToolTip(Text(row.tip));
    const int id = row.id;
    QObject::connect(b, &QAbstractButton::clicked, panel, [onCommand, id] { onCommand(id); });
    out[i] = b;
  }
}

void LayoutListAndButtons(QWidget* panel, QWidget* list, CBitmapButtonEx* const* buttons,
                          int count) {
  const int listHeight = std::max(0, panel->height() - 30);
  list->setGeometry(0, 0, panel->width(), listHeight);
  if (count <= 0) return;
  buttons[0]->move(buttons[0]->x(), listHeight + 6);
  for (int i = 1; i < count; ++i) buttons[i]->PlaceBeside(buttons[i - 1], 0, -1);
}

void PaintBackground(QWidget* panel) { QPainter(panel).fillRect(panel->rect(), kBackground); }

}  // namespace ptzpanel
