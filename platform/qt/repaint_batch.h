#pragma once
// Repaints asked for by render threads, gathered and handed to the GUI thread at most once a
// display refresh. A grid of live windows presents hundreds of pictures a second, each from
// its own thread at its own moment; asked one by one, each costs the GUI thread a wake and
// a paint pass of its own. Gathered, the windows whose pictures arrived within one refresh
// share both, and none is shown later than the screen could have shown it. A picture after
// a quiet spell (a single window, a still camera) is repainted at once.
#include <QPointer>
#include <QWidget>

namespace plat {

// GUI thread, once a QApplication exists and before the first request.
void prepareRepaints();
// From any thread: `widget` is repainted on the GUI thread within one refresh. `key` is the
// widget's address, taken on the GUI thread: a render thread never touches the widget.
void requestRepaint(const QPointer<QWidget>& widget, const void* key);

}  // namespace plat
