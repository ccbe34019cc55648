#pragma once
// The lock keys' states, where the windowing system tells them.
#include <optional>

namespace KeyboardLock {
constexpr unsigned Caps = 1u << 0;
constexpr unsigned Num = 1u << 1;
constexpr unsigned Scroll = 1u << 2;
}

// The KeyboardLock bits that are on; nothing where the states cannot be read (Qt has no
// interface for them: only an X11 display's keyboard indicators are asked).
std::optional<unsigned> ReadKeyboardLocks();
