#include "framework/KeyboardLocks.h"

#include <QGuiApplication>

// After Qt: the X11 headers define macros that clash with Qt names.
#include <X11/XKBlib.h>

std::optional<unsigned> ReadKeyboardLocks()
{
  if (QGuiApplication::platformName() != QStringLiteral("xcb"))
    return std::nullopt;
  const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 ? x11->display() : nullptr;
  if (!display)
    return std::nullopt;
  static Display* atomsFor = nullptr;
  static Atom names[3];
  if (atomsFor != display) {
    names[0] = XInternAtom(display, "Caps Lock", False);
    names[1] = XInternAtom(display, "Num Lock", False);
    names[2] = XInternAtom(display, "Scroll Lock", False);
    atomsFor = display;
  }
  constexpr unsigned bits[3] = {KeyboardLock::Caps, KeyboardLock::Num, KeyboardLock::Scroll};
  unsigned locks = 0;
  for (int i = 0; i < 3; ++i) {
    Bool on = False;
    if (XkbGetNamedIndicator(display, names[i], nullptr, &on, nullptr, nullptr) && on)
      locks |= bits[i];
  }
  return locks;
}
