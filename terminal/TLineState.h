#pragma once
// What the user sees of the line beyond the input lamps: the Line menu, with a break of a
// quarter of a second and DTR and RTS raised or lowered by hand while the handshake leaves them
// to the user (the DTR and RTS lamps, check marks and items show the lines as they are, and the
// items' hints say when the handshake drives them; none of it is stored), the receive field's
// options (Time Stamps, Colours, Local Echo: check items kept in the store beside the port
// settings, as values of their own that older builds do not read), and the status bar's word
// when the device goes away or comes back, and while a handshake line holds output.
#include <chrono>
#include <string>

class TComPort;
class TFrameWindow;
class TModemLamps;
class TReceiveView;

class TLineState {
public:
  using TTime = std::chrono::steady_clock::time_point;
  static constexpr std::chrono::milliseconds BreakLength {250};

  // The receive field's options as stored; what cannot be read stays off.
  TLineState(TComPort& port, TModemLamps& lamps, TReceiveView& view);

  // The handshake the port is configured with, by its name in the settings' list.
  const char* Handshake = "no";

  // The items, check marks and lamps as the line is now (open: whether the port is), touched
  // only when that changed since the last time, or since Forget (a port opened anew).
  void Show(bool open, TFrameWindow* frame);
  void Forget()
  {
    Shown = -1;
    There = true;
    Held = nullptr;
  }
  // Send Break on an open port: the line in the break condition until the step that finds
  // BreakLength over.
  void SendBreak(bool open, TTime now);
  // The check item of command the other way: DTR or RTS (CM_DTR, CM_RTS) when the menu offers
  // it; a receive field's option (CM_TIMESTAMPS, CM_COLOURS, CM_LOCALECHO), stored.
  void Toggle(int command, TFrameWindow* frame);
  // When a break is to end (TTime::max(): none runs), and the step that ends it.
  TTime WakeAt() const { return BreakEnds; }
  void Step(TTime now);
  // After a poll, the status bar's word on COM<port> (open: whether it is) when the line
  // changed: its device gone or back, output held by a handshake line or moving again (which
  // takes the word back, unless another has replaced it).
  void Tell(bool open, int port, TFrameWindow* frame);

private:
  enum : int { LinesOpen = 1, LinesFree = 2, LinesDtr = 4, LinesRts = 8 };

  // The input line ("CTS", "DSR") whose handshake holds the write in flight; null for none.
  const char* HeldBy() const;

  TComPort& Port;
  TModemLamps& Lamps;
  TReceiveView& View;
  int Shown = -1;   // what Show showed last; -1: nothing yet
  TTime BreakEnds = TTime::max();
  bool There = true;            // the open port's device as last seen: there, or waited for
  const char* Held = nullptr;   // the line that held output, as last told
  std::string Said;             // what Tell put in the status bar last
};
