#include "app/TSDIDecFrame.h"

#include "terminal/TKalvixDlgClient.h"

#include <QLayout>
#include <QWidget>

TSDIDecFrame::TSDIDecFrame(TWindow* parent, const char* title, TWindow* clientWnd, bool trackMenuSelection)
  : TDecoratedFrame(parent, title, clientWnd ? clientWnd : new TKalvixDlgClient(nullptr, IDD_CLIENT),
                    trackMenuSelection)
{}

void TSDIDecFrame::PrepareWindow()
{
  TDecoratedFrame::PrepareWindow();
  QWidget* frame = GetWidget();
  frame->resize(frame->width(), frame->height() + 60);
  // The size it opens with is where the terminal window's controls have their template
  // geometry; a larger window gives them the room their anchors ask for. The layout, done
  // once already, places the client anew for this size only when told.
  frame->layout()->invalidate();
  frame->layout()->activate();
  if (auto* client = dynamic_cast<TDialog*>(GetClientWindow()); client && client->GetWidget())
    client->SetLayoutBase(client->GetWidget()->size());
}
