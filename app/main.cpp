#include "app/TKalvixApp.h"

#include <csignal>

int main(int argc, char** argv)
{
  // A file that outgrows the process's size limit (a log, a received file) fails its write with
  // EFBIG, which is reported, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  TKalvixApp application("Kalvix", argc, argv);
  return application.Run();
}
