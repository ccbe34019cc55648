#pragma once
#include "platform/Rfc2217Codec.h"
#include "platform/SerialDevice.h"

#include <chrono>
#include <sys/socket.h>
#include <vector>

// A serial port on another host, served over TCP with the Telnet COM-PORT option (RFC 2217),
// as a COM link rfc2217://HOST:PORT names it. The server owns the port's exclusivity: no lock
// file here. Connecting waits at most ConnectWait; a dropped connection counts as an unplugged
// adapter and is tried again, 1 s after the loss and then ever more seldom up to every 10 s,
// without ever waiting on a poll; the waits start again from 1 s only once a connection has
// lasted 10 s. Once back, the last line settings go to the server again.
class TRfc2217Device final : public TSerialDevice {
public:
  static constexpr std::chrono::milliseconds ConnectWait {2000};
  static constexpr std::chrono::milliseconds FirstRetry {1000}, LastRetry {10000};
  using TClock = std::chrono::steady_clock;
  // The clock the waits between connections are timed on; a test sets its own.
  static inline TClock::time_point (*Now)() = TClock::now;

  static std::unique_ptr<TSerialDevice> Open(const std::string& url);
  ~TRfc2217Device() override;

  bool SetupComm(std::uint32_t, std::uint32_t) override { return true; }
  bool GetCommState(TDcb& dcb) override;
  bool GetCommModemStatus(std::uint32_t& status) override;
  void CheckAttached() override;
  bool SetBreak(bool on) override;
  bool SetOutputLines(bool dtr, bool rts) override;
  void GetOutputLines(bool& dtr, bool& rts) const override;
  bool IsAttached() const override { return Fd >= 0 && !Connecting; }
  int ReadableHandle() const override { return IsAttached() ? Fd : -1; }

protected:
  bool ApplyLine(const TDcb& dcb, const TLinePlan& plan) override;
  long ReadSome(std::uint8_t* buffer, std::uint32_t count) override;
  long WriteSome(const std::uint8_t* buffer, std::uint32_t count) override;
  std::uint32_t OutputQueued() override;
  bool FlushInput() override;
  bool FlushOutput() override;

private:
  TRfc2217Device() = default;

  // Starts a connection to the next address of the list (from the first when first): true
  // while one is under way or made.
  bool StartConnect(bool first);
  // Looks whether the connection under way is made, waiting at most wait: 1 made, 0 still
  // under way, -1 failed (the next address is tried, or the next round is scheduled).
  int FinishConnect(std::chrono::milliseconds wait);
  // The next round of connecting after the present wait, which then doubles up to LastRetry.
  void ScheduleRetry();
  void Attached();
  void Detach();
  // Hands what waits in Out to the socket; false once the connection has dropped.
  bool Flush();
  void Control(std::uint8_t value);

  std::vector<sockaddr_storage> Addresses;
  std::vector<socklen_t> Sizes;
  std::size_t Next = 0;
  int Fd = -1;
  bool Connecting = false;
  TClock::time_point ConnectDeadline {}, NextTry {}, AttachedAt {};
  std::chrono::milliseconds Retry = FirstRetry;
  TRfc2217Codec Codec;
  // Telnet bytes not yet taken by the socket: commands, answers and data with 0xFF doubled.
  std::string Out;
  static constexpr std::size_t OutData = 8192;       // data is taken while Out holds less
  static constexpr std::size_t ReadWork = 1 << 20;   // the server's bytes a read goes through at most
  TDcb Applied;
  bool Configured = false;
  bool Dtr = true, Rts = true;
};

// Whether a server takes a TCP connection at url within wait.
bool RemotePortAnswers(const std::string& url, std::chrono::milliseconds wait);
