#include "tests/support/RecordingPresenter.h"

#include "framework/WindowMessages.h"

TRecordingPresenter::TRecordingPresenter() : Previous(TPresenter::Install(this)) {}

TRecordingPresenter::~TRecordingPresenter()
{
  TPresenter::Install(Previous);
}

int TRecordingPresenter::MessageBox(QWidget* owner, const std::string& text, const std::string& caption, UINT type)
{
  Boxes.push_back({owner, text, caption, type});
  if (WhileShown)
    WhileShown();
  return IDOK;
}

bool TRecordingPresenter::FileName(QWidget*, const std::string& title, TOpenSaveDialog::TAsk what,
                                   TOpenSaveDialog::TData& data)
{
  FileRequests.push_back({title, data, what});
  if (FileAnswer.empty())
    return false;
  data.FileName = FileAnswer;
  if (FilterAnswer)
    data.FilterIndex = FilterAnswer;
  return true;
}
