#pragma once
#include "platform/SerialDevice.h"

#include <array>

// The loopback plug: every byte written comes back to be read, DTR is wired to DSR and DCD,
// RTS to CTS, so output gated by a line the plug holds low does not move. Lets the whole
// program run without hardware. One holder per process, like a real port.
class TLoopbackDevice final : public TSerialDevice {
public:
  static constexpr std::uint32_t Capacity = 4096;

  static std::unique_ptr<TSerialDevice> Open();
  ~TLoopbackDevice() override;

  bool SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) override;
  bool GetCommState(TDcb& dcb) override;
  bool GetCommModemStatus(std::uint32_t& status) override;
  bool SetBreak(bool) override { return true; }
  bool SetOutputLines(bool dtr, bool rts) override;
  void GetOutputLines(bool& dtr, bool& rts) const override;

protected:
  bool ApplyLine(const TDcb& dcb, const TLinePlan& plan) override;
  long ReadSome(std::uint8_t* buffer, std::uint32_t count) override;
  long WriteSome(const std::uint8_t* buffer, std::uint32_t count) override;
  std::uint32_t OutputQueued() override { return 0; }
  bool FlushInput() override;
  bool FlushOutput() override { return true; }

private:
  TLoopbackDevice() = default;

  TDcb Dcb;
  bool Dtr = true;
  bool Rts = true;
  std::array<std::uint8_t, Capacity> Ring {};
  std::uint32_t Head = 0;   // next byte to read
  std::uint32_t Size = 0;
};
