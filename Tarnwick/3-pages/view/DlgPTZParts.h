#pragma once
// What the live view's side panels (PTZ, presets, cruise) share: their texts, their row of
// image buttons under a list, and their background.
#include <QColor>
#include <QString>
#include <cstdint>
#include <functional>

#include "shell/Text.h"

class CBitmapButtonEx;
class QWidget;

namespace ptzpanel {

inline const QColor kBackground{0x49, 0x4E, 0x59};

struct ButtonRow {
  int id;
  uint32_t tip;
  int images[3];
};

// Makes one image button per row (control id as object name, three images, tooltip); a click
// calls onCommand with the row's id.
void MakeButtons(QWidget* panel, const ButtonRow* rows, int count, CBitmapButtonEx** out,
                 const std::function<void(int)>& onCommand);

// The list fills the panel but the bottom 30 pixels; the buttons stand in a row 6 pixels
// below it, the first keeping its left edge.
void LayoutListAndButtons(QWidget* panel, QWidget* list, CBitmapButtonEx* const* buttons,
                          int count);

void PaintBackground(QWidget* panel);

}  // namespace ptzpanel
