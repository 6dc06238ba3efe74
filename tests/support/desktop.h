#pragma once
// A desktop of the test's own, for the code that places windows.

#include "platform/gui/desktop.h"

namespace testsupport {

// A desktop whose work area runs from (left, top) to (right, bottom) on a
// primary screen of width x height pixels.
platform::DesktopGeometry desktop(int left, int top, int right, int bottom, int width, int height);

// The 1024 x 768 screen with the work area its whole size, in place of the
// real desktop while the object lives.
class StandardDesktop {
public:
    StandardDesktop();
    ~StandardDesktop();
    StandardDesktop(const StandardDesktop&) = delete;
    StandardDesktop& operator=(const StandardDesktop&) = delete;
};

} // namespace testsupport
