#pragma once

namespace tavlun::ui {

// From now on, the title that the window system shows for every window of
// the program is that window's windowTitle() alone, at every showing.
//
// Qt appends the application's display name to a window's title ("Hakkında
// — Tavlun    Ver. 1.0.4") each time it hands the title to the window
// system: when the native window is made and, on Wayland, each time the
// window is shown. The display name is set aside while a window is being
// shown and its title is handed over again meanwhile. Safe to call twice.
void keepWindowTitlesExact();

} // namespace tavlun::ui
