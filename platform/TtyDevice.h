#pragma once
#include "platform/SerialDevice.h"
#include "platform/UucpLock.h"

// A terminal device of the kernel (a serial port, a USB adapter, a pseudo-terminal), held
// exclusively: flock keeps out every other cooperating opener, root included; a UUCP lock
// file tells the programs that use those; TIOCEXCL keeps out programs that lock nothing.
class TTtyDevice final : public TSerialDevice {
public:
  static std::unique_ptr<TSerialDevice> Open(const std::string& path);
  ~TTtyDevice() override;

  bool SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) override;
  bool GetCommState(TDcb& dcb) override;
  bool SetCommState(const TDcb& dcb) override;
  bool GetCommModemStatus(std::uint32_t& status) override;

protected:
  long ReadSome(std::uint8_t* buffer, std::uint32_t count) override;
  long WriteSome(const std::uint8_t* buffer, std::uint32_t count) override;
  std::uint32_t OutputQueued() override;
  bool FlushInput() override;
  bool FlushOutput() override;

private:
  explicit TTtyDevice(int fd) : Fd(fd) {}

  int Fd;
  bool Owned = false;   // set once the open is complete: only then is the line ours to reset
  TUucpLock Lock;
  // Drivers without modem lines (pseudo-terminals) cannot report DTR and RTS: the last
  // requested levels stand in for them.
  std::uint8_t DtrControl = DTR_CONTROL_ENABLE;
  std::uint8_t RtsControl = RTS_CONTROL_ENABLE;
};
