#pragma once
// A presenter that records every message box and answers it at once with OK, installed for
// its lifetime.
#include "framework/TPresenter.h"

#include <functional>
#include <string>
#include <vector>

class TRecordingPresenter final : public TPresenter {
public:
  TRecordingPresenter();
  ~TRecordingPresenter() override;

  int MessageBox(QWidget* owner, const std::string& text, const std::string& caption, UINT type) override;
  bool FileName(QWidget*, const std::string& title, TOpenSaveDialog::TAsk what, TOpenSaveDialog::TData& data) override;

  struct TBox {
    QWidget* Owner;
    std::string Text, Caption;
    UINT Type;
  };
  std::vector<TBox> Boxes;
  // Runs inside each message box before it is answered, as a user who takes time to read it.
  std::function<void()> WhileShown;
  // File dialogs asked for, with what they were given; each is answered with FileAnswer and
  // the filter FilterAnswer (0: the one given), or cancelled when FileAnswer is empty.
  struct TFileRequest {
    std::string Title;
    TOpenSaveDialog::TData Data;
    TOpenSaveDialog::TAsk What;
  };
  std::vector<TFileRequest> FileRequests;
  std::string FileAnswer;
  int FilterAnswer = 0;

private:
  TPresenter* Previous;
};
