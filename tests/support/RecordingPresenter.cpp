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
  return IDOK;
}

bool TRecordingPresenter::OpenFileName(QWidget*, const std::string& title, TOpenSaveDialog::TData& data)
{
  FileRequests.push_back({title, data});
  if (FileAnswer.empty())
    return false;
  data.FileName = FileAnswer;
  return true;
}
