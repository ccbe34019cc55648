// The whole program under load, in one process: TKalvixApp runs offscreen with COM1 linked to a
// pseudo-terminal that a feeder thread writes at a steady rate. At the end the receive field's
// text is compared line by line with what the sent bytes must look like, so a lost, doubled or
// reordered byte anywhere between the device and the field shows.
//
//   kalvix_load preset                 store the bench's port settings in $XDG_CONFIG_HOME
//   kalvix_load text|binary RATE SECONDS [raw|log]
//
// With raw or log, File > Log to File runs throughout, to a raw file or a text log; a raw
// file is compared with the bytes sent.
//
// The feeder writes without blocking and drops what the pseudo-terminal refuses, as a line
// without handshake does when its reader falls behind; dropped bytes are counted as lost.
#include "app/TKalvixApp.h"
#include "framework/TEdit.h"
#include "framework/TFrameWindow.h"
#include "framework/TPresenter.h"
#include "framework/WindowMessages.h"
#include "resources/ResourceIds.h"
#include "settings/PortSettings.h"

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Records of 64 bytes: a serial number, filler that varies with it, and a carriage return.
constexpr std::size_t RecordSize = 64;

void Record(std::uint64_t n, std::uint8_t* out)
{
  std::snprintf(reinterpret_cast<char*>(out), RecordSize + 1, "%010llu ", static_cast<unsigned long long>(n));
  for (std::size_t i = 11; i < RecordSize - 1; ++i)
    out[i] = std::uint8_t('A' + (n + i) % 26);
  out[RecordSize - 1] = '\r';
}

void StorePresetSettings()
{
  TComSetupXfer xfer;
  std::int32_t lineLength = 0, delayTime = 0, delayChar = 0;
  LoadPortSettings(xfer, lineLength, delayTime, delayChar);
  xfer.PortData.SelectString("COM 1");
  xfer.BaudRateData.SelectString("256000");
  xfer.DataBitsData.SelectString("8 Bit");
  xfer.HandshakeData.SelectString("no");
  xfer.ParityData.SelectString("no");
  xfer.StopBitsData.SelectString("1 Bit");
  std::snprintf(xfer.LineLengthText, sizeof xfer.LineLengthText, "80");
  const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
  SavePortSettings(key, xfer, lineLength, delayTime, delayChar);
}

// The receive field's lines for the whole stream, as the display mode shows them with 80
// characters or values per line.
std::vector<std::string> ExpectedLines(const std::vector<std::uint8_t>& sent, bool textMode)
{
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::vector<std::string> lines(1);
  std::size_t column = 0;
  for (const std::uint8_t b : sent) {
    if (textMode && b == '\r') {
      lines.emplace_back();
      column = 0;
      continue;
    }
    if (textMode)
      lines.back() += char(b);
    else
      lines.back() += {Hex[b >> 4], Hex[b & 0xF], ','};
    if (++column == 80) {
      lines.emplace_back();
      column = 0;
    }
  }
  return lines;
}

std::vector<std::string> SplitLines(const std::string& text)
{
  std::vector<std::string> lines(1);
  for (const char c : text) {
    if (c == '\n')
      lines.emplace_back();
    else if (c != '\r')
      lines.back() += c;
  }
  return lines;
}

double CpuSeconds()
{
  rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Answers the log's file dialog with one file and the filter of its form.
class TLogPresenter final : public TPresenter {
public:
  TLogPresenter(std::string file, int filter) : File(std::move(file)), Filter(filter) {}
  int MessageBox(QWidget*, const std::string& text, const std::string&, UINT) override
  {
    std::fprintf(stderr, "message box: %s\n", text.c_str());
    return IDOK;
  }
  bool OpenFileName(QWidget*, const std::string&, TOpenSaveDialog::TData&) override { return false; }
  bool SaveFileName(QWidget*, const std::string&, TOpenSaveDialog::TData& data) override
  {
    data.FileName = File;
    data.FilterIndex = Filter;
    return true;
  }

private:
  std::string File;
  int Filter;
};

int NoArgc = 1;
char ProgramName[] = "kalvix";
char* NoArgv[] = {ProgramName, nullptr};

} // namespace

int main(int argc, char** argv)
{
  if (argc == 2 && std::strcmp(argv[1], "preset") == 0) {
    StorePresetSettings();
    return 0;
  }
  const char* logForm = argc == 5 ? argv[4] : "";
  if ((argc != 4 && argc != 5) || (std::strcmp(argv[1], "text") != 0 && std::strcmp(argv[1], "binary") != 0) ||
      (argc == 5 && std::strcmp(logForm, "raw") != 0 && std::strcmp(logForm, "log") != 0)) {
    std::fprintf(stderr, "usage: kalvix_load preset | kalvix_load text|binary RATE SECONDS [raw|log]\n");
    return 2;
  }
  const bool textMode = std::strcmp(argv[1], "text") == 0;
  const long rate = std::atol(argv[2]);
  const long seconds = std::atol(argv[3]);
  if (rate <= 0 || seconds <= 0 || seconds > 3600)
    return 2;
  // Whole records, and whole 80-value lines in binary mode: the last line is complete.
  const std::size_t total = (std::size_t(rate * seconds) + 319) / 320 * 320;

  // Never a real port: the store is scratch and COM1 names the pseudo-terminal.
  char root[] = "/tmp/kalvix-bench-XXXXXX";
  if (!mkdtemp(root))
    return 1;
  setenv("XDG_CONFIG_HOME", root, 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
    return 1;
  termios raw {};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  const std::string slaveName = ttyname(slave);
  std::filesystem::create_directories(std::string(root) + "/kalvix/ports");
  std::filesystem::create_symlink(slaveName, std::string(root) + "/kalvix/ports/COM1");
  StorePresetSettings();
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

  std::vector<std::uint8_t> sent(total);
  for (std::size_t i = 0; i < total; i += RecordSize)
    Record(i / RecordSize, &sent[i]);

  const auto started = Clock::now();
  TKalvixApp app("Kalvix", NoArgc, NoArgv);
  if (!app.StartInstance())
    return 1;
  const double startSeconds = std::chrono::duration<double>(Clock::now() - started).count();
  TWindow* client = app.GetMainWindow()->GetClientWindow();
  if (textMode)
    SendMessage(client, WM_COMMAND, CM_SWITCHMODE, 0);
  const bool logRaw = std::strcmp(logForm, "raw") == 0;
  const std::string logFile = std::string(root) + (logRaw ? "/capture.bin" : "/capture.log");
  TLogPresenter presenter(logFile, logRaw ? 1 : 2);
  if (*logForm) {
    TPresenter* previous = TPresenter::Install(&presenter);
    SendMessage(client, WM_COMMAND, CM_LOGTOFILE, 0);
    TPresenter::Install(previous);
  }
  auto* field = dynamic_cast<TEdit*>(client->ChildWithId(IDC_RECEIVE));
  if (!field)
    return 1;

  // The feeder: every 10 ms what is due by then; a refused byte is a lost byte.
  std::atomic<bool> fed {false};
  std::size_t dropped = 0;
  std::vector<std::uint8_t> delivered;
  delivered.reserve(total);
  const double cpuBefore = CpuSeconds();
  std::thread feeder([&] {
    const auto begin = Clock::now();
    std::size_t next = 0;
    while (next < total) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
      const std::size_t due = std::min(total, std::size_t(elapsed * double(rate)));
      while (next < due) {
        const ssize_t n = write(master, &sent[next], due - next);
        if (n > 0) {
          delivered.insert(delivered.end(), &sent[next], &sent[next] + n);
          next += std::size_t(n);
        } else {
          // Refused: the rest of this slice is lost, as on a line whose receiver overran.
          dropped += due - next;
          next = due;
        }
      }
    }
    fed = true;
  });
  // Ends the loop one second after the last byte: ten polls to drain what is queued.
  QTimer finish;
  QObject::connect(&finish, &QTimer::timeout, [&] {
    static int after = 0;
    if (fed && ++after > 10)
      QApplication::quit();
  });
  finish.start(100);
  QApplication::exec();
  feeder.join();
  const double cpu = CpuSeconds() - cpuBefore;
  if (*logForm)
    SendMessage(client, WM_COMMAND, CM_LOGTOFILE, 0);   // ends the log
  std::error_code noSize;
  const auto logBytes = *logForm ? std::filesystem::file_size(logFile, noSize) : 0;
  bool logExact = true;
  if (logRaw) {
    std::FILE* f = std::fopen(logFile.c_str(), "rb");
    std::vector<std::uint8_t> logged(delivered.size() + 1);
    const std::size_t n = f ? std::fread(logged.data(), 1, logged.size(), f) : 0;
    if (f)
      std::fclose(f);
    logExact = n == delivered.size() && std::equal(delivered.begin(), delivered.end(), logged.begin());
  }

  const std::vector<std::string> shown = SplitLines(field->GetText());
  const std::vector<std::string> expected = ExpectedLines(delivered, textMode);
  // The field holds the newest lines: they must be exactly the last lines of the stream.
  bool exact = shown.size() <= expected.size();
  for (std::size_t i = 0; exact && i < shown.size(); ++i)
    exact = shown[shown.size() - 1 - i] == expected[expected.size() - 1 - i];
  rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("mode=%s rate=%ld seconds=%ld sent=%zu lost=%zu field_chars=%d field_lines=%zu tail_exact=%s "
              "cpu_s=%.2f cpu_s_per_mb=%.3f peak_rss_mb=%.1f start_s=%.3f log=%s log_bytes=%llu log_exact=%s\n",
              argv[1], rate, seconds, total, dropped, field->GetTextLen(), shown.size(), exact ? "yes" : "no", cpu,
              cpu / (double(total) / 1e6), double(usage.ru_maxrss) / 1024.0, startSeconds, *logForm ? logForm : "none",
              static_cast<unsigned long long>(logBytes), logRaw ? (logExact ? "yes" : "no") : "-");
  std::filesystem::remove_all(root);
  return exact && dropped == 0 && logExact ? 0 : 1;
}
