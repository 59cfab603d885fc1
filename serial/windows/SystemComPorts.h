#pragma once

#include <map>
#include <set>
#include <string>

namespace tavlun::serial::windows {

// The COM ports that the system knows of now.
struct SystemComPorts {
    // Every port in HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, by number.
    std::set<int> numbers;
    // The device's friendly name by port number, where SetupAPI gives one
    // ("USB-SERIAL CH340 (COM3)").
    std::map<int, std::string> friendlyNames;
};

SystemComPorts readSystemComPorts();

// UTF-16 from the system as UTF-8.
std::string utf8(const wchar_t *text, int length = -1);

// The system's words for an error code, in one line.
std::string errorText(unsigned long code);

} // namespace tavlun::serial::windows
