#pragma once

class QWidget;

namespace tavlun::ui {

// Creates the window of `widget` so that the title that the window manager
// shows is its windowTitle() alone. Qt otherwise appends the application's
// display name to the titles of windows on some platforms (X11 among them).
void createWithExactTitle(QWidget &widget);

} // namespace tavlun::ui
