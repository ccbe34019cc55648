#pragma once
// Shows what the program asks the user: message boxes and the file dialogs. Replaceable, because a modal box
// blocks until someone answers it; tests install one that records the request and answers.
#include "framework/TOpenSaveDialog.h"
#include "platform/MessageTarget.h"

#include <string>

class QWidget;

class TPresenter {
public:
  virtual ~TPresenter() = default;
  // Shows text under caption, with the buttons and icon of type (MB_ flags), owned by owner
  // (null: none); returns the id of the button that closed it.
  virtual int MessageBox(QWidget* owner, const std::string& text, const std::string& caption, UINT type) = 0;
  // Asks for a file to open, a file to write (which need not exist) or an existing folder, as
  // what says; true with data.FileName (and for a file data.FilterIndex) set when one was chosen.
  virtual bool FileName(QWidget* owner, const std::string& title, TOpenSaveDialog::TAsk what,
                        TOpenSaveDialog::TData& data) = 0;

  // The presenter in use: the installed one, else the one that shows real Qt dialogs.
  static TPresenter& Current();
  // Installs presenter (null: back to the real one) and returns the one installed before.
  static TPresenter* Install(TPresenter* presenter);
};
