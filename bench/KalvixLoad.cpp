// The whole program under load, in one process: TKalvixApp runs offscreen with COM1 linked to a
// pseudo-terminal that a feeder thread writes at a steady rate. At the end the receive field's
// text is compared line by line with what the sent bytes must look like, so a lost, doubled or
// reordered byte anywhere between the device and the field shows.
//
//   kalvix_load preset                     store the bench's port settings in $XDG_CONFIG_HOME
//   kalvix_load text|binary RATE SECONDS [raw|log|stamps|idf|colours|triggers]
//                                          a steady feed; with raw or log, File > Log to File
//                                          runs throughout, to a raw file (compared with the
//                                          bytes sent) or a text log; with stamps, Line > Time
//                                          Stamps is on (each line's stamp checked, then the
//                                          lines compared); with idf the stream is ESP-IDF-like
//                                          coloured log lines, with colours the same with
//                                          Line > Colours on (the field's lines compared with
//                                          the text without its sequences); with triggers,
//                                          sixteen triggers that never fire look at every byte
//   kalvix_load text|binary flood MB [idf|colours]
//                                          MB megabytes as fast as the line takes them
//   kalvix_load text|binary soak SECONDS [idf|colours]
//                                          a flood for SECONDS
//   kalvix_load plot LINES VALUES SECONDS  LINES lines a second of VALUES numbers each, in text
//                                          mode, for SECONDS with the plot window closed, then
//                                          open, closed and open again (CPU, latency, redraws;
//                                          after each open run every line's values checked in
//                                          the plot's export, the field's last lines in both)
//   kalvix_load plotfull                   the plot's store filled (16 series of its full size),
//                                          then its redraw timed for each span it offers
//   kalvix_load transfer raw|xmodem|ymodem DEVICE FILE COMMAND READY [FIELD_OUT]
//                                          at 115200 8N1 on DEVICE (a pseudo-terminal): types
//                                          COMMAND, waits for READY in the receive field, sends
//                                          FILE by File > Transfer and times it (uboot-compare)
//
// A steady feeder writes without blocking and drops what the pseudo-terminal refuses, as a
// line without handshake does when its reader falls behind; dropped bytes are counted as lost.
// A flood writes with blocking writes, so nothing is lost: its figure is the drain rate, from
// the first write until the field shows the last line. During a flood a probe thread posts an
// event to the window thread every 10 ms; the time until it is handled is the event loop's
// latency, what a click or a key would wait; so it is during a steady feed.
#include "app/TKalvixApp.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TEdit.h"
#include "framework/TFrameWindow.h"
#include "framework/TStatusBar.h"
#include "framework/TPresenter.h"
#include "framework/WindowMessages.h"
#include "plot/TPlotDlg.h"
#include "resources/ResourceIds.h"
#include "settings/PortSettings.h"
#include "bench/TriggerRules.h"
#include "triggers/TriggerStore.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <qcustomplot.h>
#include <sstream>
#include <algorithm>
#include <cmath>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <mutex>
#include <pty.h>
#include <sys/ioctl.h>
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

// ESP-IDF-like log lines: a colour at the start (green I, yellow W, red E), a reset at the end,
// CR LF; the number in brackets counts up.
std::string IdfLine(std::uint64_t n)
{
  static const char* const Tags[] = {"wifi", "boot", "esp_netif_handlers", "phy_init", "main_task", "heap_init"};
  static const char* const Texts[] = {"state: auth -> assoc (0)", "connected with lab-ap, aid = 3, channel 6, BW20",
                                      "sta ip: 192.168.4.23, mask: 255.255.255.0, gw: 192.168.4.1",
                                      "free heap 187312 bytes, largest free block 110592", "retrying in 5 s"};
  const char level = "IIIIWE"[n % 6];
  char line[160];
  std::snprintf(line, sizeof line, "\x1b[0;%sm%c (%llu) %s: %s\x1b[0m\r\n",
                level == 'I'   ? "32"
                : level == 'W' ? "33"
                               : "31",
                level, static_cast<unsigned long long>(n), Tags[n % 6], Texts[n % 5]);
  return line;
}

// Whole ESP-IDF-like lines, from line n on, up to at least size bytes.
std::vector<std::uint8_t> IdfLines(std::uint64_t& n, std::size_t size)
{
  std::vector<std::uint8_t> out;
  while (out.size() < size) {
    const std::string line = IdfLine(n++);
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

// The bytes without their SGR sequences: what the field shows with Colours on.
std::vector<std::uint8_t> WithoutSequences(const std::vector<std::uint8_t>& bytes)
{
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == 0x1B)
      while (i < bytes.size() && bytes[i] != 'm')
        ++i;
    else
      out.push_back(bytes[i]);
  return out;
}

void StorePresetSettings(const char* baud = "256000")
{
  TComSetupXfer xfer;
  std::int32_t lineLength = 0, delayTime = 0, delayChar = 0;
  LoadPortSettings(xfer, lineLength, delayTime, delayChar);
  xfer.PortData.SelectString("COM 1");
  xfer.BaudRateData.SelectString(baud);
  xfer.DataBitsData.SelectString("8 Bit");
  xfer.HandshakeData.SelectString("no");
  xfer.ParityData.SelectString("no");
  xfer.StopBitsData.SelectString("1 Bit");
  std::snprintf(xfer.LineLengthText, sizeof xfer.LineLengthText, "80");
  std::string reason;
  if (!SavePortSettings(xfer, lineLength, delayTime, delayChar, reason))
    std::fprintf(stderr, "the preset settings could not be stored: %s\n", reason.c_str());
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
    if (textMode && b >= 0x20 && b < 0x80 && b != '/')
      lines.back() += char(b);
    else if (textMode)
      lines.back() += {'/', Hex[b >> 4], Hex[b & 0xF]};
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
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The last Size bytes of a stream, kept as they go by.
class TTail {
public:
  static constexpr std::size_t Size = 128000;   // whole records and whole 80-value lines
  void Add(const std::uint8_t* p, std::size_t n)
  {
    for (std::size_t i = 0; i < n; ++i)
      Ring[(Count + i) % Size] = p[i];
    Count += n;
  }
  std::vector<std::uint8_t> Bytes() const
  {
    const std::size_t n = std::min(Count, Size);
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i)
      out[i] = Ring[(Count - n + i) % Size];
    return out;
  }
  std::size_t Count = 0;

private:
  std::vector<std::uint8_t> Ring = std::vector<std::uint8_t>(Size);
};

// Event-loop latency: the window thread answers events a probe thread posts every 10 ms.
class TLatencyProbe : public QObject {
public:
  static constexpr QEvent::Type Kind = QEvent::User;
  struct TStamped : QEvent {
    explicit TStamped(Clock::time_point at) : QEvent(Kind), At(at) {}
    Clock::time_point At;
  };
  bool event(QEvent* e) override
  {
    if (e->type() != Kind)
      return QObject::event(e);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - static_cast<TStamped*>(e)->At).count();
    const std::lock_guard lock(Mutex);
    Samples.push_back(ms);
    return true;
  }
  void Start()
  {
    Running = true;
    Thread = std::thread([this] {
      while (Running) {
        QCoreApplication::postEvent(this, new TStamped(Clock::now()));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  void Stop()
  {
    Running = false;
    if (Thread.joinable())
      Thread.join();
  }
  void Reset()
  {
    const std::lock_guard lock(Mutex);
    Samples.clear();
  }
  // The largest latency and the 99th percentile, in ms.
  std::pair<double, double> Figures()
  {
    const std::lock_guard lock(Mutex);
    if (Samples.empty())
      return {0, 0};
    std::vector<double> sorted = Samples;
    std::sort(sorted.begin(), sorted.end());
    return {sorted.back(), sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)]};
  }

private:
  std::atomic<bool> Running {false};
  std::thread Thread;
  std::mutex Mutex;
  std::vector<double> Samples;
};

double PeakRssMb()
{
  rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;
}

// Whether the field's lines are exactly the last lines of the stream whose tail is given.
bool TailExact(const std::vector<std::string>& shown, const std::vector<std::string>& expected)
{
  bool exact = shown.size() <= expected.size();
  for (std::size_t i = 0; exact && i < shown.size(); ++i)
    exact = shown[shown.size() - 1 - i] == expected[expected.size() - 1 - i];
  return exact;
}

// Answers a file dialog with one file (and, for the log's, the filter of its form); a message
// box is answered with OK and counted.
class TFilePresenter final : public TPresenter {
public:
  TFilePresenter(std::string file, int filter) : File(std::move(file)), Filter(filter) {}
  int MessageBox(QWidget*, const std::string& text, const std::string&, UINT) override
  {
    std::fprintf(stderr, "message box: %s\n", text.c_str());
    ++Boxes;
    return IDOK;
  }
  bool FileName(QWidget*, const std::string& title, TOpenSaveDialog::TAsk what, TOpenSaveDialog::TData& data) override
  {
    if (what == TOpenSaveDialog::TAsk::Folder)
      return false;
    if (what == TOpenSaveDialog::TAsk::Open)
      OpenTitle = title;
    else
      data.FilterIndex = Filter;
    data.FileName = File;
    return true;
  }

  std::string OpenTitle;
  int Boxes = 0;

private:
  std::string File;
  int Filter;
};

int NoArgc = 1;
char ProgramName[] = "kalvix";
char* NoArgv[] = {ProgramName, nullptr};

// The program on a scratch store whose COM1 names a fresh pseudo-terminal; never a real port.
// The sixteen triggers of TriggerRules.h are stored before the start.
bool WithTriggers = false;

struct TSession {
  char Root[32] = "/tmp/kalvix-bench-XXXXXX";
  int Master = -1, Slave = -1;
  std::unique_ptr<TKalvixApp> App;
  TEdit* Field = nullptr;
  double StartSeconds = 0;

  // With device, COM1 names that line (a pseudo-terminal the caller set up) at baud; without,
  // a fresh pseudo-terminal that the bench feeds.
  bool Start(bool textMode, bool blockingFeed, const char* device = nullptr, const char* baud = "256000")
  {
    if (!mkdtemp(Root))
      return false;
    setenv("XDG_CONFIG_HOME", Root, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!device) {
      if (openpty(&Master, &Slave, nullptr, nullptr, nullptr) != 0)
        return false;
      termios raw {};
      tcgetattr(Slave, &raw);
      cfmakeraw(&raw);
      tcsetattr(Slave, TCSANOW, &raw);
      device = ttyname(Slave);
    }
    if (std::strncmp(device, "/dev/pts/", 9) != 0)
      return false;   // never a real port: this is the machine's console on some hosts
    std::filesystem::create_directories(std::string(Root) + "/kalvix/ports");
    std::filesystem::create_symlink(device, std::string(Root) + "/kalvix/ports/COM1");
    StorePresetSettings(baud);
    if (WithTriggers)
      SaveTriggers(BenchTriggers());
    if (!blockingFeed && Master >= 0)
      fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
    const auto started = Clock::now();
    App = std::make_unique<TKalvixApp>("Kalvix", NoArgc, NoArgv);
    if (!App->StartInstance())
      return false;
    StartSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    TWindow* client = App->GetMainWindow()->GetClientWindow();
    if (textMode)
      SendMessage(client, WM_COMMAND, CM_SWITCHMODE, 0);
    Field = dynamic_cast<TEdit*>(client->ChildWithId(IDC_RECEIVE));
    return Field != nullptr;
  }
  ~TSession()
  {
    App.reset();
    if (Root[sizeof "/tmp/kalvix-bench-" - 1] != 'X')
      std::filesystem::remove_all(Root);
  }
};

// Writes as fast as the line takes bytes (blocking writes: nothing is lost) until total bytes
// or, with total 0, seconds have gone; ends the loop once the field shows the last line.
int Flood(bool textMode, std::size_t total, long seconds, const char* mode, const char* stream)
{
  total = (total + 319) / 320 * 320;
  TSession session;
  if (!session.Start(textMode, true))
    return 1;
  const bool idf = *stream != '\0', colours = std::strcmp(stream, "colours") == 0;
  if (colours)
    SendMessage(session.App->GetMainWindow()->GetClientWindow(), WM_COMMAND, CM_COLOURS, 0);
  // The lines the field must end with, from the tail of what was sent.
  const auto expectedLines = [&](const std::vector<std::uint8_t>& tail) {
    return ExpectedLines(colours ? WithoutSequences(tail) : tail, textMode);
  };
  TTail tail;
  std::atomic<bool> fed {false};
  std::atomic<std::size_t> written {0};
  TLatencyProbe probe;
  const double cpuBefore = CpuSeconds();
  const auto begin = Clock::now();
  std::thread feeder([&] {
    std::vector<std::uint8_t> block(320 * RecordSize);   // 20 480 bytes: whole records, whole lines
    std::uint64_t record = 0;
    const auto end = begin + std::chrono::seconds(seconds);
    while (total ? tail.Count < total : Clock::now() < end) {
      if (idf)
        block = IdfLines(record, 20000);
      for (std::size_t i = 0; !idf && i < block.size(); i += RecordSize)
        Record(record++, &block[i]);
      std::size_t done = 0;
      while (done < block.size()) {
        const ssize_t n = write(session.Master, block.data() + done, block.size() - done);
        if (n <= 0)
          return;
        done += std::size_t(n);
      }
      tail.Add(block.data(), block.size());
      written = tail.Count;
    }
    fed = true;
  });
  probe.Start();
  // The last line the stream must end with, in the field's text.
  std::string lastLine;
  Clock::time_point drained;
  QTimer finish;
  QObject::connect(&finish, &QTimer::timeout, [&] {
    int queued = 0;
    if (!fed || ioctl(session.Slave, FIONREAD, &queued) != 0 || queued > 0)
      return;
    if (lastLine.empty()) {
      const std::vector<std::string> expected = expectedLines(tail.Bytes());
      lastLine = expected[expected.size() - 2] + "\r\n" + expected.back();
    }
    const std::string text = session.Field->GetText();
    if (text.size() >= lastLine.size() && text.compare(text.size() - lastLine.size(), lastLine.size(), lastLine) == 0) {
      drained = Clock::now();
      QApplication::quit();
    }
  });
  finish.start(2);
  QApplication::exec();
  probe.Stop();
  feeder.join();
  const double cpu = CpuSeconds() - cpuBefore;
  const double elapsed = std::chrono::duration<double>(drained - begin).count();
  const std::vector<std::string> shown = SplitLines(session.Field->GetText());
  const bool exact = TailExact(shown, expectedLines(tail.Bytes()));
  const auto [latencyMax, latency99] = probe.Figures();
  std::printf("mode=%s%s%s flood_mb=%.1f seconds=%.3f drain_mb_s=%.2f field_chars=%d field_lines=%zu tail_exact=%s "
              "cpu_s=%.2f cpu_s_per_mb=%.3f peak_rss_mb=%.1f latency_max_ms=%.1f latency_p99_ms=%.1f\n",
              mode, idf ? " stream=" : "", stream, double(tail.Count) / 1e6, elapsed,
              double(tail.Count) / 1e6 / elapsed, session.Field->GetTextLen(), shown.size(), exact ? "yes" : "no", cpu,
              cpu / (double(tail.Count) / 1e6), PeakRssMb(), latencyMax, latency99);
  return exact ? 0 : 1;
}

// The menu item whose text, without its mnemonic and shortcut, is text; searched through every
// menu and submenu of the bar.
QAction* MenuItem(const QList<QAction*>& actions, const QString& text)
{
  for (QAction* action : actions) {
    QString shown = action->text().section('\t', 0, 0);
    shown.remove('&');
    if (shown == text)
      return action;
    if (action->menu())
      if (QAction* found = MenuItem(action->menu()->actions(), text))
        return found;
  }
  return nullptr;
}

// Watches for the transfer's window: the first dialog shown after the menu item was chosen, the
// time it was shown and the time it was hidden or destroyed, to the event, not to a tick.
class TTransferWatch : public QObject {
public:
  bool eventFilter(QObject* object, QEvent* e) override
  {
    auto* dialog = qobject_cast<QDialog*>(object);
    if (dialog && Armed && !Window && e->type() == QEvent::Show) {
      Window = dialog;
      ShownAt = Clock::now();
      Title = dialog->windowTitle().toStdString();
      QObject::connect(dialog, &QObject::destroyed, this, [this] { Gone(); });
    } else if (dialog && dialog == Window && (e->type() == QEvent::Hide || e->type() == QEvent::Close))
      Gone();
    return false;
  }
  void Gone()
  {
    if (!Hidden) {
      Hidden = true;
      HiddenAt = Clock::now();
      if (OnGone)
        OnGone();
    }
  }
  std::function<void()> OnGone;
  bool Armed = false, Hidden = false;
  QDialog* Window = nullptr;   // compared, never followed
  std::string Title;
  Clock::time_point ShownAt, HiddenAt;
};

double Seconds(Clock::time_point t)
{
  return std::chrono::duration<double>(t.time_since_epoch()).count();
}

// Sends file to the device on the line through File > Transfer, as a user at a boot loader's
// prompt would: types command (in text mode's notation) into the send field and clicks Send,
// waits until the receive field shows ready, then chooses the menu item and answers its open
// dialog with the file. Times from the choice until the transfer window is gone, and prints
// the figures with the times on CLOCK_MONOTONIC, so that they line up with a relay's trace.
int Transfer(const char* protocol, const char* device, const char* file, const char* command, const char* ready,
             const char* fieldOut)
{
  const char* item = std::strcmp(protocol, "raw") == 0      ? "Send Raw File..."
                     : std::strcmp(protocol, "xmodem") == 0 ? "Send with XMODEM..."
                     : std::strcmp(protocol, "ymodem") == 0 ? "Send with YMODEM..."
                                                            : nullptr;
  // Installed before the program starts, so that a port that cannot be opened is a counted
  // message, not a modal box that waits for nobody; given back after the program has gone.
  TFilePresenter presenter(file, 0);
  struct TInstalled {
    TPresenter* Previous;
    ~TInstalled() { TPresenter::Install(Previous); }
  } installed {TPresenter::Install(&presenter)};
  TSession session;
  if (!item || !session.Start(true, true, device, "115200") || presenter.Boxes > 0) {
    std::fprintf(stderr, "kalvix_load: cannot start on %s\n", device);
    return 1;
  }
  auto& frame = static_cast<TDecoratedFrame&>(*session.App->GetMainWindow());
  TWindow* client = frame.GetClientWindow();
  QAction* action = MenuItem(frame.GetMenuBar()->actions(), item);
  if (!action) {
    std::fprintf(stderr, "kalvix_load: no menu item \"%s\"; the menus hold:", item);
    const std::function<void(const QList<QAction*>&)> list = [&](const QList<QAction*>& actions) {
      for (QAction* a : actions) {
        std::fprintf(stderr, " \"%s\"", a->text().toLatin1().constData());
        if (a->menu())
          list(a->menu()->actions());
      }
    };
    list(frame.GetMenuBar()->actions());
    std::fprintf(stderr, "\n");
    return 1;
  }
  TTransferWatch watch;
  qApp->installEventFilter(&watch);

  dynamic_cast<TEdit&>(*client->ChildWithId(IDC_SENDTEXT)).SetText(command);
  qobject_cast<QAbstractButton*>(client->ChildWithId(IDC_SEND)->GetWidget())->click();
  const auto typed = Clock::now();
  Clock::time_point readySeen, started, ended;
  enum { Waiting, Running, Over, NoReadyLine, TimedOut } phase = Waiting;
  // While the transfer runs nothing of ours wakes the event loop, so that the program's pace
  // is its own; the window's going ends the wait, or the time limit.
  QTimer check, limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, [&] {
    phase = TimedOut;
    QApplication::quit();
  });
  watch.OnGone = [&] {
    ended = watch.HiddenAt;
    phase = Over;
    limit.stop();
    check.start(1);
  };
  QObject::connect(&check, &QTimer::timeout, [&] {
    const auto now = Clock::now();
    const std::string field = session.Field->GetText();
    if (phase == Waiting) {
      if (field.find(ready) != std::string::npos) {
        readySeen = now;
        phase = Running;
        check.stop();
        limit.start(std::chrono::seconds(300));
        watch.Armed = true;
        started = Clock::now();
        action->trigger();
      } else if (now - typed > std::chrono::seconds(10)) {
        phase = NoReadyLine;
        QApplication::quit();
      }
      return;
    }
    // Over: the board prints its totals and a new prompt; the field gets them before the end.
    const std::size_t readyAt = field.rfind(ready);
    if (now - ended > std::chrono::seconds(3) ||
        (readyAt != std::string::npos && field.find("=> ", readyAt) != std::string::npos))
      QApplication::quit();
  });
  check.start(1);
  QApplication::exec();
  qApp->removeEventFilter(&watch);
  const std::string field = session.Field->GetText();
  if (*fieldOut) {
    std::FILE* out = std::fopen(fieldOut, "wb");
    if (out) {
      std::fwrite(field.data(), 1, field.size(), out);
      std::fclose(out);
    }
  }
  const bool over = phase == Over;
  std::printf("protocol=%s typed=%.6f ready_seen=%.6f started=%.6f window_shown=%.6f ended=%.6f seconds=%.3f "
              "open_dialog=\"%s\" window=\"%s\" message_boxes=%d result=%s\nstatus=%s\n",
              protocol, Seconds(typed), phase != Waiting ? Seconds(readySeen) : 0.0,
              phase != Waiting ? Seconds(started) : 0.0, watch.Window ? Seconds(watch.ShownAt) : 0.0,
              over ? Seconds(ended) : 0.0, over ? std::chrono::duration<double>(ended - started).count() : 0.0,
              presenter.OpenTitle.c_str(), watch.Title.c_str(), presenter.Boxes,
              over                   ? "over"
              : phase == NoReadyLine ? "no_ready_line"
                                     : "timed_out",
              frame.GetStatusBar()->GetText().c_str());
  return over ? 0 : 1;
}
}   // namespace

// The plot window the client window has open, else null.
TPlotDlg* PlotWindow(TWindow* client)
{
  for (TWindow* child : client->GetChildren())
    if (auto* plot = dynamic_cast<TPlotDlg*>(child); plot && plot->IsCreated())
      return plot;
  return nullptr;
}

// Line n of the plot feed: its serial number, then values - 1 numbers that follow from it.
std::string PlotLine(long n, int values)
{
  std::string line = std::to_string(n);
  char value[32];
  for (int k = 2; k <= values; ++k) {
    std::snprintf(value, sizeof value, ",%.2f", double(n % 10000) * k / 100.0);
    line += value;
  }
  return line + "\r";
}

// Whether csv holds, one row a line, the lines from some serial up to last, each exactly.
bool PlotExportExact(const std::string& csv, long last, int values, long& rows)
{
  std::istringstream lines(csv);
  std::string row;
  std::getline(lines, row);
  rows = 0;
  long first = -1;
  bool exact = true;
  while (std::getline(lines, row)) {
    const std::size_t comma = row.find(',');
    const long serial = std::atol(row.c_str() + comma + 1);
    if (first < 0)
      first = serial;
    // Each value as the line printed it (the export writes the shortest form of the same number).
    const std::string line = PlotLine(serial, values);
    const char* got = row.c_str() + comma;
    const char* want = line.c_str() - 1;
    for (int k = 0; k < values && exact; ++k) {
      char* gotEnd = nullptr;
      char* wantEnd = nullptr;
      exact = *got == ',' && std::strtod(got + 1, &gotEnd) == std::strtod(want + 1, &wantEnd);
      got = gotEnd;
      want = wantEnd;
    }
    exact = exact && *got == '\0' && serial == first + rows;
    ++rows;
  }
  return exact && first + rows - 1 == last;
}

int PlotFeed(long linesPerSecond, int values, long seconds)
{
  TSession session;
  if (!session.Start(true, false))
    return 1;
  TWindow* client = session.App->GetMainWindow()->GetClientWindow();
  const std::string csv = std::string(session.Root) + "/plot.csv";
  TFilePresenter presenter(csv, 1);
  TPresenter* previous = TPresenter::Install(&presenter);
  // The feeder writes what is due every 10 ms; held, it writes nothing, and then goes on at the
  // rate from where it stopped.
  std::atomic<std::size_t> dropped {0};
  std::atomic<bool> feeding {true}, holding {false};
  std::atomic<long> sent {0};
  std::thread feeder([&] {
    auto begin = Clock::now();
    long base = 0, next = 0;
    while (feeding) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (holding) {
        begin = Clock::now();
        base = next;
        continue;
      }
      const long due =
        base + long(std::chrono::duration<double>(Clock::now() - begin).count() * double(linesPerSecond));
      std::string block;
      for (; next < due; ++next)
        block += PlotLine(next, values);
      const ssize_t n = write(session.Master, block.data(), block.size());
      dropped += block.size() - std::size_t(std::max<ssize_t>(n, 0));
      sent = next;
    }
  });
  // Redraws counted on the plot, each second's most.
  long redraws = 0;
  TLatencyProbe probe;
  probe.Start();
  int status = 0;
  for (int phase = 0; phase < 4; ++phase) {
    const bool open = phase % 2 == 1;
    if (open)
      SendMessage(client, WM_COMMAND, CM_PLOT, 0);
    QMetaObject::Connection counting;
    if (TPlotDlg* plot = PlotWindow(client))
      counting = QObject::connect(plot->PlotWidget(), &QCustomPlot::afterReplot, [&] { ++redraws; });
    redraws = 0;
    const double cpuBefore = CpuSeconds();
    const auto begin = Clock::now();
    QTest::qWait(int(seconds * 1000));
    const double cpu = CpuSeconds() - cpuBefore;
    const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
    const long redrawn = redraws;
    const auto [latencyMax, latency99] = probe.Figures();
    // Held while what was sent arrives: the field ends with the last line, the export holds it.
    holding = true;
    QTest::qWait(400);
    const std::string last = PlotLine(sent - 1, values);
    const std::string field = session.Field->GetText();
    const std::string shown = last.substr(0, last.size() - 1) + "\r\n";
    const bool fieldExact =
      field.size() >= shown.size() && field.compare(field.size() - shown.size(), shown.size(), shown) == 0;
    long rows = 0;
    bool exportExact = true;
    if (open) {
      SendMessage(PlotWindow(client), WM_COMMAND, IDC_PLOT_EXPORT, 0);
      std::ostringstream text;
      text << std::ifstream(csv).rdbuf();
      exportExact = PlotExportExact(text.str(), std::atol(last.c_str()), values, rows);
      QObject::disconnect(counting);
      SendMessage(PlotWindow(client), WM_COMMAND, IDCANCEL, 0);
      QTest::qWait(100);
    }
    holding = false;
    std::printf(
      "plot=%s lines_s=%ld values=%d seconds=%.1f cpu_s=%.2f cpu_core_pct=%.1f redraws_s=%.1f "
      "latency_max_ms=%.1f latency_p99_ms=%.1f lost_bytes=%zu field_last_line=%s export_rows=%ld export_exact=%s\n",
      open ? "open" : "closed", linesPerSecond, values, elapsed, cpu, 100 * cpu / elapsed, double(redrawn) / elapsed,
      latencyMax, latency99, dropped.load(), fieldExact ? "yes" : "no", rows,
      open ? (exportExact ? "yes" : "no") : "-");
    std::fflush(stdout);
    probe.Reset();
    status |= !fieldExact || !exportExact || dropped > 0;
  }
  probe.Stop();
  feeding = false;
  feeder.join();
  // Nothing new: no redraw.
  SendMessage(client, WM_COMMAND, CM_PLOT, 0);
  QTest::qWait(500);
  long idle = 0;
  QObject::connect(PlotWindow(client)->PlotWidget(), &QCustomPlot::afterReplot, [&] { ++idle; });
  QTest::qWait(2000);
  std::printf("redraws in 2 s without new lines: %ld\n", idle);
  TPresenter::Install(previous);
  return status;
}

int PlotFull()
{
  TSession session;
  if (!session.Start(true, false))
    return 1;
  TWindow* client = session.App->GetMainWindow()->GetClientWindow();
  SendMessage(client, WM_COMMAND, CM_PLOT, 0);
  TPlotDlg* plot = PlotWindow(client);
  plot->GetWidget()->resize(1100, 650);
  QTest::qWait(200);
  const double rssBefore = PeakRssMb();
  // Lines of all 16 series, 2 000 a second (stamped so), until every series is full.
  const auto start = TPlotDlg::TClock::now();
  const long lines = long(TPointStore::Capacity) + 1000;
  const auto fillBegin = Clock::now();
  std::string line;
  for (long n = 0; n < lines; ++n) {
    line.clear();
    for (int s = 0; s < 16; ++s) {
      char field[40];
      std::snprintf(field, sizeof field, "s%d:%.3f ", s, std::sin(double(n) / 2000.0 + s) * 10 + s * 5);
      line.append(field);
    }
    line.push_back('\n');
    plot->Received(reinterpret_cast<const std::uint8_t*>(line.data()), line.size(),
                   start + std::chrono::microseconds(n * 500));
  }
  const double fillSeconds = std::chrono::duration<double>(Clock::now() - fillBegin).count();
  QTest::qWait(200);   // the legend shows the series
  std::size_t points = 0;
  for (const TPointStore::TSeries& series : plot->Store().Series())
    points += series.Points.Size();
  int shown = 0;
  for (int i = 0; i < plot->PlotWidget()->graphCount(); ++i)
    shown += plot->PlotWidget()->graph(i)->visible();
  std::printf("plotfull shown=%d series=%zu points=%zu fill_s=%.1f rss_growth_mb=%.0f\n", shown,
              plot->Store().Series().size(), points, fillSeconds, PeakRssMb() - rssBefore);
  auto* spans = static_cast<QComboBox*>(plot->GetWidget()->findChild<QComboBox*>());
  for (int i = 0; i < spans->count(); ++i) {
    spans->setCurrentIndex(i);
    std::vector<double> times;
    for (int round = 0; round < 7; ++round) {
      const auto begin = Clock::now();
      plot->Redraw();
      times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("redraw span=%s median_ms=%.1f max_ms=%.1f\n", spans->itemText(i).toUtf8().constData(), times[3],
                times.back());
  }
  // The export of it all, which the window's thread waits for.
  const auto exportBegin = Clock::now();
  const int error = plot->Store().WriteCsv(std::string(session.Root) + "/full.csv");
  std::printf("export error=%d seconds=%.1f mb=%.0f\n", error,
              std::chrono::duration<double>(Clock::now() - exportBegin).count(),
              double(std::filesystem::file_size(std::string(session.Root) + "/full.csv")) / 1e6);
  return 0;
}

int main(int argc, char** argv)
{
  if (argc == 5 && std::strcmp(argv[1], "plot") == 0)
    return PlotFeed(std::atol(argv[2]), std::atoi(argv[3]), std::atol(argv[4]));
  if (argc == 2 && std::strcmp(argv[1], "plotfull") == 0)
    return PlotFull();
  if (argc == 2 && std::strcmp(argv[1], "preset") == 0) {
    StorePresetSettings();
    return 0;
  }
  if ((argc == 7 || argc == 8) && std::strcmp(argv[1], "transfer") == 0)
    return Transfer(argv[2], argv[3], argv[4], argv[5], argv[6], argc == 8 ? argv[7] : "");
  WithTriggers = argc == 5 && std::strcmp(argv[4], "triggers") == 0;
  if (WithTriggers)
    --argc;
  const char* option = argc == 5 ? argv[4] : "";
  const bool stamps = std::strcmp(option, "stamps") == 0;
  const bool colours = std::strcmp(option, "colours") == 0, idf = colours || std::strcmp(option, "idf") == 0;
  const char* logForm = std::strcmp(option, "raw") == 0 || std::strcmp(option, "log") == 0 ? option : "";
  if ((argc != 4 && argc != 5) || (std::strcmp(argv[1], "text") != 0 && std::strcmp(argv[1], "binary") != 0) ||
      (argc == 5 && !stamps && !idf && !*logForm)) {
    std::fprintf(stderr,
                 "usage: kalvix_load preset | kalvix_load text|binary RATE SECONDS [raw|log|stamps|idf|colours] | "
                 "kalvix_load text|binary RATE SECONDS triggers | "
                 "kalvix_load text|binary flood MB [idf|colours] | "
                 "kalvix_load text|binary soak SECONDS [idf|colours] | "
                 "kalvix_load plot LINES VALUES SECONDS | kalvix_load plotfull | "
                 "kalvix_load transfer raw|xmodem|ymodem DEVICE FILE COMMAND READY [FIELD_OUT]\n");
    return 2;
  }
  const bool textMode = std::strcmp(argv[1], "text") == 0;
  const bool flood = std::strcmp(argv[2], "flood") == 0;
  const bool soak = std::strcmp(argv[2], "soak") == 0;
  const long rate = flood || soak ? 0 : std::atol(argv[2]);
  const long seconds = flood ? 0 : std::atol(argv[3]);
  const double megabytes = flood ? std::atof(argv[3]) : 0;
  if ((!flood && !soak && rate <= 0) || (!flood && (seconds <= 0 || seconds > 3600)) ||
      (flood && (megabytes <= 0 || megabytes > 100000)) || ((flood || soak) && (*logForm || stamps)))
    return 2;
  if (flood || soak)
    return Flood(textMode, std::size_t(megabytes * 1e6), seconds, argv[1], idf ? option : "");
  // Whole records, and whole 80-value lines in binary mode: the last line is complete.
  std::size_t total = (std::size_t(rate * seconds) + 319) / 320 * 320;
  TSession session;
  if (!session.Start(textMode, false))
    return 1;
  TWindow* client = session.App->GetMainWindow()->GetClientWindow();
  const bool logRaw = std::strcmp(logForm, "raw") == 0;
  const std::string logFile = std::string(session.Root) + (logRaw ? "/capture.bin" : "/capture.log");
  TFilePresenter presenter(logFile, logRaw ? 1 : 2);
  if (*logForm) {
    TPresenter* previous = TPresenter::Install(&presenter);
    SendMessage(client, WM_COMMAND, CM_LOGTOFILE, 0);
    TPresenter::Install(previous);
  }
  if (stamps)
    SendMessage(client, WM_COMMAND, CM_TIMESTAMPS, 0);
  if (colours)
    SendMessage(client, WM_COMMAND, CM_COLOURS, 0);
  std::vector<std::uint8_t> sent(total);
  for (std::size_t i = 0; i < total; i += RecordSize)
    Record(i / RecordSize, &sent[i]);
  if (std::uint64_t line = 0; idf) {
    sent = IdfLines(line, total);
    total = sent.size();
  }

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
        const ssize_t n = write(session.Master, &sent[next], due - next);
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
  TLatencyProbe probe;
  probe.Start();
  QApplication::exec();
  probe.Stop();
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

  // The field holds the newest lines: they must be exactly the last lines of the stream.
  std::vector<std::string> shown = SplitLines(session.Field->GetText());
  // With stamps each line that has a character begins with "HH:MM:SS.mmm ": checked, then
  // taken off.
  bool stamped = true;
  for (std::string& line : shown) {
    if (!stamps || line.empty())
      continue;
    int h = 0, m = 0, sec = 0, ms = 0, n = 0;
    stamped = stamped && std::sscanf(line.c_str(), "%2d:%2d:%2d.%3d %n", &h, &m, &sec, &ms, &n) == 4 && n == 13;
    line.erase(0, 13);
  }
  const bool exact =
    stamped && TailExact(shown, ExpectedLines(colours ? WithoutSequences(delivered) : delivered, textMode));
  const auto [latencyMax, latency99] = probe.Figures();
  std::printf("mode=%s rate=%ld seconds=%ld sent=%zu lost=%zu field_chars=%d field_lines=%zu tail_exact=%s "
              "cpu_s=%.2f cpu_s_per_mb=%.3f peak_rss_mb=%.1f start_s=%.3f log=%s log_bytes=%llu log_exact=%s "
              "stamps=%s triggers=%zu stream=%s latency_max_ms=%.1f latency_p99_ms=%.1f\n",
              argv[1], rate, seconds, total, dropped, session.Field->GetTextLen(), shown.size(), exact ? "yes" : "no",
              cpu, cpu / (double(total) / 1e6), PeakRssMb(), session.StartSeconds, *logForm ? logForm : "none",
              static_cast<unsigned long long>(logBytes), logRaw ? (logExact ? "yes" : "no") : "-",
              stamps ? "on" : "off", WithTriggers ? BenchTriggers().size() : std::size_t(0),
              colours ? "idf-colours"
              : idf   ? "idf"
                      : "records",
              latencyMax, latency99);
  return exact && dropped == 0 && logExact ? 0 : 1;
}
