#pragma once
// Placing a program's main window through its settings store.

#include "package/Tesk21global.h"

class QWidget;
class TIni_t;

// Places `form` where it was last time (getCentralPosition), or centred at
// width x height on a first run. A saved place that is not four integers (a
// settings file edited by hand, or damaged) would otherwise stop the program
// at every start: the form is given the centred default instead, and that is
// stored in place of the damaged text. A stored place is used as stored while
// the window, frame and all, lies wholly on the desktop's work area; a size
// larger than the work area is cut to it, a window partly off the work area is
// moved onto it, and a window with nothing of it on the work area is centred.
TESK21_EXPORT void placeWindow(TIni_t& ini, QWidget* form, int width, int height);
