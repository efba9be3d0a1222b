#pragma once
// An edit's length limit as the system's edit controls keep it: typing and pasting stop at
// the limit, but a text the program sets (a stored name, a device's value) is never cut, so
// it is shown and kept whole. A validator the edit already has keeps its say.
class QLineEdit;

void LimitTyping(QLineEdit* edit, int maxChars);
