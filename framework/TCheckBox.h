#pragma once
// A check box of a dialog template: a click toggles it and reaches the parent as WM_COMMAND
// with BN_CLICKED. Its transfer field is a 32-bit check state.
#include "framework/TControl.h"

#include <cstdint>

constexpr std::uint32_t BF_UNCHECKED = 0;
constexpr std::uint32_t BF_CHECKED = 1;

class QAbstractButton;

class TCheckBox : public TControl {
public:
  TCheckBox(TWindow* parent, int resourceId);

  // BF_CHECKED or BF_UNCHECKED.
  std::uint32_t GetCheck() const;
  // Any state other than BF_UNCHECKED checks the box.
  void SetCheck(std::uint32_t state);
  void Check() { SetCheck(BF_CHECKED); }
  void Uncheck() { SetCheck(BF_UNCHECKED); }

  // Field: a check state. A disabled box takes part like any other. Any other field is left
  // alone.
  void Transfer(const TTransferField& field, TTransferDirection direction) override;

protected:
  bool Binds(const QWidget& widget) const override;

private:
  QAbstractButton* Box() const;
};
