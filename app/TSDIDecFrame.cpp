#include "app/TSDIDecFrame.h"

#include "terminal/TKalvixDlgClient.h"

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
}
