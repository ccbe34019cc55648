#include "platform/MessageTarget.h"

LRESULT SendMessage(HWND target, UINT msg, WPARAM wParam, LPARAM lParam)
{
  return target ? target->ReceiveMessage(msg, wParam, lParam) : 0;
}
