#pragma once
// A widget carries the control id of the dialog item it stands for as its object name, so the
// program and its tests find a control by id.
#include <QString>

namespace plat {

template <class W>
W* Named(W* widget, int id) {
  widget->setObjectName(QString::number(id));
  return widget;
}

}  // namespace plat
