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
  bool OpenFileName(QWidget*, const std::string& title, TOpenSaveDialog::TData& data) override
  {
    return AnswerFile(title, data, false);
  }
  bool SaveFileName(QWidget*, const std::string& title, TOpenSaveDialog::TData& data) override
  {
    return AnswerFile(title, data, true);
  }
  bool FolderName(QWidget*, const std::string& title, TOpenSaveDialog::TData& data) override
  {
    return AnswerFile(title, data, false);
  }

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
    bool Save;
  };
  std::vector<TFileRequest> FileRequests;
  std::string FileAnswer;
  int FilterAnswer = 0;

private:
  bool AnswerFile(const std::string& title, TOpenSaveDialog::TData& data, bool save);
  TPresenter* Previous;
};
