#pragma once
// Window handles and synchronous messages, without any toolkit: a handle is a pointer to a
// message target, and sending a message calls the target's handler before it returns.
#include <cstdint>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT = unsigned int;

constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;

class TMessageTarget {
public:
  virtual ~TMessageTarget() = default;
  virtual LRESULT ReceiveMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

using HWND = TMessageTarget*;

// Calls the target's handler synchronously; a null handle receives nothing and yields 0.
LRESULT SendMessage(HWND target, UINT msg, WPARAM wParam, LPARAM lParam);
