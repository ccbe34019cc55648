#pragma once
// The Kalvix application: builds the main frame with the terminal window, then hands the
// command line to the registration of the program's entries.
#include "framework/TApplication.h"

#include <string>

class TKalvixApp : public TApplication {
public:
  TKalvixApp(const char* name, int& argc, char** argv);

  bool StartInstance() override;

  // True when an option of the command line is a leading part of "unregister" (any letter case).
  static bool AsksToUnregister(const std::string& cmdLine);

protected:
  void BuildMainWindow() override;
  const TResponseTable& Responses() const override;

  void ShowAboutBox();
  // Writes the program's icon entry, or removes the program's entries when the command line
  // asks to unregister.
  void ScanCommandLine(const std::string& cmdLine);
  void WriteRegistration();
  void RemoveRegistration();
};
