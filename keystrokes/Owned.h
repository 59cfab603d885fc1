#pragma once

#include <memory>

namespace tavlun::keystrokes {

// Frees an object of a C library with that library's own function.
template <auto Free>
struct FreeWith {
    template <typename T>
    void operator()(T *object) const { Free(object); }
};

// Owns an object of a C library (a Wayland proxy, an xkbcommon keymap, ...)
// and frees it when it goes out of scope.
template <typename T, auto Free>
using Owned = std::unique_ptr<T, FreeWith<Free>>;

} // namespace tavlun::keystrokes
