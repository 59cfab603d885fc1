#pragma once

#include "link/KeyInjector.h"

#include <QString>

#include <memory>

namespace tavlun::link {

// The keystroke injection that the running desktop offers: the X11
// injector when an X display with the XTest and XKB extensions can be
// opened. Otherwise an injector whose sendKeys() always fails, so that the
// program still runs, and *unavailableReason says why in a few words.
// *unavailableReason is emptied when injection is available.
std::unique_ptr<KeyInjector> createSystemKeyInjector(QString *unavailableReason);

} // namespace tavlun::link
