#pragma once
// How a notice's text goes into the notifier's text box: centred and wrapped, and, where it
// does not fit, shortened so that the files it names can still be read.
#include <QFont>
#include <QRect>
#include <QString>
#include <QTextOption>

// Centred; words wrap at blanks, and a word wider than the box (a file path) breaks where it
// must rather than running past both edges.
QTextOption NoticeTextOption();

// `text` as it fits `rect` in `font`: unchanged when it does; else, for a text that names
// files, the folders of its paths shortened in the middle ("…/Capture/x.bmp"), then the middle
// of its words, never a file's own name; a text that names none is cut at its end.
QString FitNoticeText(const QFont& font, const QRect& rect, const QString& text);
