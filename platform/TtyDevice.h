#pragma once
#include "platform/SerialDevice.h"
#include "platform/UucpLock.h"

#include <sys/stat.h>

// A terminal device of the kernel (a serial port, a USB adapter, a pseudo-terminal), held
// exclusively: flock keeps out every other cooperating opener, root included; a UUCP lock
// file tells the programs that use those; TIOCEXCL keeps out programs that lock nothing.
// A device that goes away (reads or writes fail as for an unplugged adapter) is closed at once
// and taken up again, under the same locks and with its last settings, once its node is back.
class TTtyDevice final : public TSerialDevice {
public:
  static std::unique_ptr<TSerialDevice> Open(const std::string& path);
  ~TTtyDevice() override;

  bool SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) override;
  bool GetCommState(TDcb& dcb) override;
  bool GetCommModemStatus(std::uint32_t& status) override;
  void CheckAttached() override;
  bool SetBreak(bool on) override;
  bool SetOutputLines(bool dtr, bool rts) override;
  void GetOutputLines(bool& dtr, bool& rts) const override;
  bool IsAttached() const override { return Fd >= 0; }
  int ReadableHandle() const override { return Fd; }

protected:
  bool ApplyLine(const TDcb& dcb, const TLinePlan& plan) override;
  long ReadSome(std::uint8_t* buffer, std::uint32_t count) override;
  long WriteSome(const std::uint8_t* buffer, std::uint32_t count) override;
  std::uint32_t OutputQueued() override;
  bool FlushInput() override;
  bool FlushOutput() override;

private:
  explicit TTtyDevice(const std::string& path) : Path(path) {}
  // Opens Path and takes the locks; false, with nothing held, when it cannot.
  bool Attach();
  // Closes the device after a failure that means it has gone; the UUCP lock stays ours.
  void Detach();
  // A transfer failed with error (0: the line hung up). A device that has gone is closed; one
  // still there (its node names the same device and the line has not hung up) is kept, until
  // MaxFailures in a row.
  void Failed(int error);
  static constexpr int MaxFailures = 5;

  const std::string Path;
  int Fd = -1;
  dev_t Device = 0;   // the device Fd is open on
  int Failures = 0;   // transfers failed in a row on a device still there
  // A pseudo-terminal's number goes to whoever opens the next one: once it has gone, only a
  // COM link made anew (another inode or change time than at the last attach) names it again.
  bool Pseudo = false;
  struct stat LinkAtAttach {};
  std::unique_ptr<TUucpLock> Lock;
  // The settings last applied: taken up again after a detach, and the source of the DTR and RTS
  // controls GetCommState reports (drivers without modem lines could not report them).
  TDcb Applied;
  bool Configured = false;
  // The output lines' levels as last set.
  bool Dtr = true;
  bool Rts = true;
};
