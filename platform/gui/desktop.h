#pragma once
// The desktop's geometry: the work area (the screen minus panels and docks) and
// the size of the primary screen.

#include <optional>

namespace platform {

struct DesktopGeometry {
    bool workAreaKnown = false; // false: no screen, or no work area reported
    // Work-area edges in pixels; right and bottom lie just past the area
    // (right = left + width).
    int left = 0, top = 0, right = 0, bottom = 0;
    int screenWidth = 0, screenHeight = 0; // the primary screen's size
};

// From the primary screen. When the work area cannot be had, workAreaKnown is
// false, the last error is set, and the edges are those of the whole primary
// screen (all 0 when there is no screen at all).
DesktopGeometry desktopGeometry();

// Tests describe a desktop of their own; std::nullopt restores the real one.
void overrideDesktopGeometry(std::optional<DesktopGeometry> geometry);

} // namespace platform
