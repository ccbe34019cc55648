// One session of the real program for the fault loop (FaultLoopTest.cpp), with the fault
// injector linked in: TKalvixApp offscreen on the store, lock directory and COM1 link the loop
// made, run through its own Run() and ended by the SIGTERM the loop sends. The script plays a
// user from timers inside the running program: Send, File > Log to File (raw, to LOG_FILE),
// Setup OK with four values changed, then nothing. It tells the loop, one line each on stdout:
//   box TEXT         a message box (answered OK)
//   logging PORT     the log runs, or its box was shown: the loop feeds the first part
//   ready PORT       Setup is over: the loop feeds the rest
// PORT is "open" while Send can be used, else "closed": a line carries nothing to a port that
// is not open (the next open drops what waits on it).
//   idle_cpu_ms MS   the CPU the program used in half a second idle, the rest having arrived
//
//   fault_session LOG_FILE
#include "app/TKalvixApp.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TEdit.h"
#include "resources/ResourceIds.h"
#include "tests/support/ModalDialog.h"
#include "tests/support/RecordingPresenter.h"

#include <QApplication>
#include <QDialog>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

void Say(const std::string& line)
{
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

long CpuMs()
{
  rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

QAction* Menu(TKalvixApp& app, const QString& top, const QString& item = {})
{
  return MenuItem(*app.GetMainWindow()->GetMenuBar(), top, item);
}

// Setup OK with the baud rate, parity, line length and delay time changed; a refused OK is
// cancelled, so that the session does not wait.
void Setup(TKalvixApp& app)
{
  PlayModal([&] { Menu(app, "Set&up")->trigger(); },
            [](QDialog& d) {
              Choose(d, IDC_BAUDRATE, "38400");
              Choose(d, IDC_PARITY, "odd");
              // Chosen again as stored: a value the start could not read (a fault) had its default
              // shown, which OK would store as confirmed.
              Choose(d, IDC_HANDSHAKE, "no");
              Type(d, IDC_LINELENGTH, "40");
              Type(d, IDC_DELAYTIME, "5");
              Click(d, IDOK);
            });
}

}   // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: fault_session LOG_FILE\n");
    return 2;
  }
  TRecordingPresenter presenter;
  presenter.FileAnswer = argv[1];
  presenter.FilterAnswer = 1;   // Raw data
  presenter.WhileShown = [&] { Say("box " + presenter.Boxes.back().Text); };
  int appArgc = 1;
  char* appArgv[] = {argv[0], nullptr};
  TKalvixApp app("Kalvix", appArgc, appArgv);

  const auto port = [&] {
    const TWindow* send = app.GetMainWindow()->GetClientWindow()->ChildWithId(IDC_SEND);
    return send->GetWidget()->isEnabled() ? std::string(" open") : std::string(" closed");
  };
  long idleFrom = 0;
  QTimer::singleShot(100, [&] {
    TWindow* client = app.GetMainWindow()->GetClientWindow();
    dynamic_cast<TEdit&>(*client->ChildWithId(IDC_SENDTEXT)).SetText("");
    QTest::keyClicks(client->ChildWithId(IDC_SENDTEXT)->GetWidget(), "41,42");
    QTest::mouseClick(client->ChildWithId(IDC_SEND)->GetWidget(), Qt::LeftButton);
    QTimer::singleShot(300, [&] {
      Menu(app, "&File", "&Log to File...")->trigger();
      Say("logging" + port());
      QTimer::singleShot(300, [&] {
        Setup(app);
        Say("ready" + port());
        QTimer::singleShot(300, [&] {
          idleFrom = CpuMs();
          QTimer::singleShot(500, [&] { Say("idle_cpu_ms " + std::to_string(CpuMs() - idleFrom)); });
        });
      });
    });
  });
  return app.Run();
}
