#pragma once

namespace glim::app {

// The windows' captions and boxes are sized in pixels, so that they fit their
// places on any screen density; every window uses the same size.
inline constexpr int kFontPixels = 11;

}  // namespace glim::app
