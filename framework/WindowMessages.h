#pragma once
// Message numbers, notification codes and flags that the framework's windows exchange.
#include "framework/StandardIds.h"
#include "platform/MessageTarget.h"

constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_COMMAND = 0x0111;    // wParam: low word id, high word notification code
constexpr UINT WM_READABLE = 0x8000;   // a watched descriptor polls readable; wParam: the watch's id

constexpr UINT BN_CLICKED = 0;
constexpr UINT EN_CHANGE = 0x0300;
constexpr UINT CBN_SELCHANGE = 1;
constexpr UINT LBN_SELCHANGE = 1;

constexpr UINT MB_OK = 0x00;
constexpr UINT MB_ICONEXCLAMATION = 0x30;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOW = 5;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWDEFAULT = 10;

constexpr WPARAM MakeWParam(unsigned low, unsigned high)
{
  return WPARAM((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr unsigned LoWord(WPARAM value)
{
  return unsigned(value & 0xFFFFu);
}
constexpr unsigned HiWord(WPARAM value)
{
  return unsigned((value >> 16) & 0xFFFFu);
}
