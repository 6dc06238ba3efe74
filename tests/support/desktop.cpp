#include "tests/support/desktop.h"

namespace testsupport {

platform::DesktopGeometry desktop(int left, int top, int right, int bottom, int width, int height) {
    platform::DesktopGeometry g;
    g.workAreaKnown = true;
    g.left = left;
    g.top = top;
    g.right = right;
    g.bottom = bottom;
    g.screenWidth = width;
    g.screenHeight = height;
    return g;
}

StandardDesktop::StandardDesktop() {
    platform::overrideDesktopGeometry(desktop(0, 0, 1024, 768, 1024, 768));
}

StandardDesktop::~StandardDesktop() {
    platform::overrideDesktopGeometry(std::nullopt);
}

} // namespace testsupport
