#pragma once
// The Kalvix application: builds the main frame with the terminal window, then hands the
// command line to the registration of the program's entries.
#include "framework/TApplication.h"

#include <string>

class TKalvixApp : public TApplication {
public:
  TKalvixApp(const char* name, int& argc, char** argv);

  bool StartInstance() override;

protected:
  void BuildMainWindow() override;
  const TResponseTable& Responses() const override;

  void ShowAboutBox();
  void ScanCommandLine(const std::string& cmdLine);
};
