#pragma once
// The main window: a decorated frame whose client is the terminal window. Once set up, it is
// made 60 pixels taller than the size that exactly holds the client; at that size the client's
// controls have their template geometry, and a larger window gives their anchors the room.
#include "framework/TDecoratedFrame.h"

class TSDIDecFrame : public TDecoratedFrame {
public:
  // Without a client the frame makes the terminal window itself. The frame owns its client.
  TSDIDecFrame(TWindow* parent, const char* title, TWindow* clientWnd = nullptr, bool trackMenuSelection = false);

protected:
  void PrepareWindow() override;
};
