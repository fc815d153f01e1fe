#pragma once
// The look shared by the windows.
#include <QFont>

namespace tl::ui {

// Tahoma 8 point at 96 dots per inch (11 pixels), whatever the screen. Where
// Tahoma is missing, a condensed sans face keeps the captions inside their
// fixed places.
QFont WindowFont(int pixelSize = 11);

} // namespace tl::ui
