#pragma once

#include <string>

namespace tavlun::core {

// Why a serial device did not open, as far as the system tells, and what the
// user can do about it. Texts are UTF-8, in the program's language.
struct PortDiagnosis {
    enum class Cause {
        Unknown,    // none of the below; `cause` holds the platform's words
        NotFound,   // no such device, and none was seen before
        Gone,       // the device was there and has gone (unplugged)
        Busy,       // another process holds it
        Permission, // this user may not read and write it
        NotSerial,  // there, but a folder, a file or a device of another kind
        NoRoom,     // named beyond the last port number
    };

    Cause kind = Cause::Unknown;
    std::string cause;  // short: "başka bir program kullanıyor: minicom (pid 812)"
    std::string advice; // the next step; may be empty

    // "cause. advice", for one line on standard error.
    std::string sentence() const { return advice.empty() ? cause : cause + ". " + advice; }
};

} // namespace tavlun::core
