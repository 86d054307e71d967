#pragma once

class QWidget;

namespace scale {

// The width, in pixels, that the frame adds to a top-level window, known before the window is
// first shown. Creates the native window. Under X11 the window manager frames a window only when
// it maps it, so it is asked for the frame it will draw; 0 where nothing frames the window.
int frameWidthBeforeShow(QWidget* window);

}  // namespace scale
