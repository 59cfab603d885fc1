#pragma once

#include "Dialogue.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tavlun::accessory {

struct Options {
    std::string device;  // serial device to use; empty with --pty
    bool pty = false;    // make a pseudo-terminal instead
    bool waitForPeer = false;
    std::chrono::milliseconds timeout{2000};
    std::optional<std::chrono::milliseconds> helloTimeout; // default: timeout
    bool keepGoing = false;
    bool enterPerLine = false;
    WriteShape shape;
    bool rtt = false;
    bool trace = false;
    std::vector<std::string> text; // the words to type; none: read standard input
};

struct ParsedCommandLine {
    enum class Action { Run, Help, Version, Error } action = Action::Run;
    Options options;
    std::string error;
};

ParsedCommandLine parseCommandLine(int argc, char **argv);
const char *usageText();

} // namespace tavlun::accessory
