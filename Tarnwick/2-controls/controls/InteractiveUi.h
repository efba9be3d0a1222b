#pragma once
// The UI service with real windows: message boxes, the taskbar notifier and the folder picker.
// The services below the widgets only know the interface, so the program (and every test
// program that shows windows) installs this one at start-up.
void InstallInteractiveUi();
