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
  // The pace of the steps while the transfer's bytes leave the line or a cancel is due.
  static constexpr std::chrono::milliseconds WritePace {2};

  TTransferRun(TComPort& port, TLoadString loadString) : Port(port), LoadString(loadString) {}

  // Starts a transfer with the file at path (for YMODEM receive, the folder): empty, or the
  // box that tells why it cannot.
  std::string Start(TProtocol protocol, bool send, const std::string& path, TTime now);
  // From Start until Step has told its end.
  bool IsRunning() const { return Running; }
  // Bytes the line delivered: true when they are the transfer's (a protocol's, while it runs),
  // and nothing else is to show them.
  bool Takes(const std::uint8_t* bytes, std::size_t count, TTime now);
  // The transfer is cancelled; a step tells its end.
  void Cancel();
  // One step, after a poll of the port: true once, when the transfer is over.
  bool Step(TTime now);
  // When it needs a step although the line brought nothing (TTime::max(): never), and whether
  // the line's input is to wake it (a protocol awaits its answers).
  TTime WakeAt(TTime now) const;
  bool AwaitsLine() const { return Running && Transfer.Protocol() != TProtocol::Raw; }
  // The program ends: a transfer still running is cancelled, and its abort leaves the line
  // before the port closes, so that the far end stops at once.
  void Abandon();

  const TFileTransfer& Engine() const { return Transfer; }
  double Seconds(TTime now) const;
  // "Send with YMODEM: image.bin, 100000 bytes in 4.2 s", or how it ended early.
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
  // writes take. True once, when the transfer is over and its last bytes have left the line.
  bool Write(TTime now);

  TComPort& Port;
  TLoadString LoadString;
  TFileTransfer Transfer;
  std::string Choice;
  TTime Began {};
  bool Running = false;
  bool Reported = false;   // the end has been told
  bool StepDue = false;    // a cancel awaits its step
};
