#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tavlun::serial::windows {

// "COM3" for 3.
std::string comPortName(int number);

// 3 for "COM3" (any case, as the registry may hold it); nothing for a name
// that is not a COM port's, such as "COM0", "COM03" or "LPT1".
std::optional<int> comPortNumber(std::string_view name);

// What the port list's entry for a port says about its device: the system's
// friendly name where there is one ("USB-SERIAL CH340 (COM3)"), otherwise
// the port's own name.
std::string portDescription(int number, const std::map<int, std::string> &friendlyNames);

} // namespace tavlun::serial::windows
