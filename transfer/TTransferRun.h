#pragma once
// A file transfer as the terminal window runs it: the engine, the file or folder the user
// chose, the times, the steps through the port, which of the line's bytes are the transfer's,
// and the texts that tell how it went (the status line, the box of a failure). The window
// starts it, hands it what the line delivers, wakes it when it asks and shows what it reports.
#include "transfer/TFileTransfer.h"

#include <string>

class TComPort;

class TTransferRun {
public:
  using TClock = TFileTransfer::TClock;
  using TTime = TFileTransfer::TTime;
  using TProtocol = TFileTransfer::TProtocol;
  // Copies string id of the string table into buffer, as the framework's LoadString does.
  using TLoadString = int (*)(unsigned id, char* buffer, int size);
  // Output that stands this long beyond the time the line needs for it ends the transfer.
  static constexpr std::chrono::seconds StallLimit {10};
  // The most output one step hands to the port (a pseudo-terminal takes kilobytes at once).
  static constexpr std::size_t StepBytes = 64 * 1024;

  TTransferRun(TComPort& port, TLoadString loadString) : Port(port), LoadString(loadString) {}

  // The handshake the port is configured with, by its name in the settings' list: the failure
  // of a transfer whose output stands names it.
  const char* Handshake = "no";

  // Starts a transfer with the file at path (for YMODEM receive, the folder): empty, or the
  // box that tells why it cannot.
  std::string Start(TProtocol protocol, bool send, const std::string& path, TTime now);
  // From Start until Step has told its end.
  bool IsRunning() const { return Running; }
  // Bytes the line delivered: true when they are the transfer's (a protocol's, while it runs),
  // and nothing else is to show them.
  bool Takes(const std::uint8_t* bytes, std::size_t count, TTime now);
  // The transfer ends at once: what waits to leave is dropped, the abort goes out if the line
  // takes it, and the next step tells the end.
  void Cancel();
  // One step, after a poll of the port: true once, when the transfer is over.
  bool Step(TTime now);
  // When it needs a step although the line brought nothing (TTime::max(): never; not before
  // the line could have taken what it holds, nor while a handshake holds it, which the ticks
  // watch), and whether the line's input is to wake it (a protocol awaits its answers).
  TTime WakeAt(TTime now) const;
  bool AwaitsLine() const { return Running && Transfer.Protocol() != TProtocol::Raw; }
  // The program ends: a transfer still running is cancelled, and its abort leaves the line
  // before the port closes, so that the far end stops at once.
  void Abandon();

  const TFileTransfer& Engine() const { return Transfer; }
  double Seconds(TTime now) const;
  // "Send with YMODEM: image.bin, 100000 bytes in 4.2 s", or how it ended early, after the
  // files a batch received.
  std::string StatusText(TTime now) const;
  // The box that tells why it failed of itself (not cancelled); empty for another end.
  std::string FailureText() const;
  // What a transfer does, in the words of its menu item: "Send with YMODEM".
  static const char* Title(TProtocol protocol, bool send);

private:
  // The file in hand, else the file or folder chosen.
  const std::string& FilePath() const;
  std::string Load(unsigned id) const;
  // The line's presence, the engine's clock, then as much of its output as the port's idle
  // writes take. True once, when the transfer is over and its output handed to the port.
  bool Write(TTime now);
  // The time the line needs for count bytes at its rate and framing.
  TClock::duration LineTime(std::size_t count) const;

  TComPort& Port;
  TLoadString LoadString;
  TFileTransfer Transfer;
  std::string Choice;
  TTime Began {};
  bool Running = false;
  bool Reported = false;      // the end has been told
  bool StepDue = false;       // a cancel awaits its step
  TTime Due = TTime::max();   // when the write in flight should have left the line
};
