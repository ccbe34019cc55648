#pragma once
// The setup dialog: edits the port settings record in place. Its thirteen controls are
// created in the order of the record's fields; OK takes the record out of them only when the
// baud rate is a whole rate in its range, the three number fields are in range and the data
// bits go with the stop bits.
#include "framework/TCheckBox.h"
#include "framework/TComboBox.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "resources/ResourceIds.h"
#include "settings/TComSetupXfer.h"

class TComSetup : public TDialog {
public:
  TComSetup(TWindow* parent, TComSetupXfer& xfer, int resourceId = IDD_SETUP);

  // Arranges the four check boxes for the chosen handshake: "no" drives DTR and RTS by hand
  // and watches neither CTS nor DSR, "Hardware" does it all itself, "XOn / XOff" leaves all
  // four to the user.
  void UpdateHandshakeControls();

  // Refuses on the first field out of range (the baud rate, then the number fields), and,
  // independently, on data bits that do not go with the stop bits; each says why in a message
  // box.
  bool CanClose() override;

  // The message that refuses byteSize data bits (5 to 8; any other: none chosen) with stop bits
  // stopBits (ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS), or 0 when they go together.
  static UINT FramingRefusal(int byteSize, int stopBits);

protected:
  const TResponseTable& Responses() const override;
  void PrepareWindow() override;

private:
  TComboBox BaudRate;
  TComboBox Port;
  TComboBox DataBits;
  TComboBox Handshake;
  TComboBox Parity;
  TCheckBox SetDtr;
  TCheckBox SetRts;
  TComboBox StopBits;
  TCheckBox UseCts;
  TCheckBox UseDsr;
  TEdit LineLength;
  TEdit DelayChar;
  TEdit DelayTime;
};
