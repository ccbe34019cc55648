#pragma once
// A presenter that records every message box and answers it at once with OK, installed for
// its lifetime.
#include "framework/TPresenter.h"

#include <string>
#include <vector>

class TRecordingPresenter final : public TPresenter {
public:
  struct TBox {
    QWidget* Owner;
    std::string Text;
    std::string Caption;
    UINT Type;
  };

  TRecordingPresenter();
  ~TRecordingPresenter() override;
  TRecordingPresenter(const TRecordingPresenter&) = delete;
  TRecordingPresenter& operator=(const TRecordingPresenter&) = delete;

  int MessageBox(QWidget* owner, const std::string& text, const std::string& caption, UINT type) override;

  std::vector<TBox> Boxes;

private:
  TPresenter* Previous;
};
