#pragma once
// The receive field's options in the Line menu: Time Stamps, Colours and Local Echo. Check
// items whose states are kept in the store beside the port settings, as values of their own
// that older builds do not read: read at start, written at each change.
class TFrameWindow;
class TReceiveView;

class TReceiveOptions {
public:
  explicit TReceiveOptions(TReceiveView& view) : View(view) {}

  // The stored states go to the view; what cannot be read stays off.
  void Load();
  // The option of command (CM_TIMESTAMPS, CM_COLOURS or CM_LOCALECHO) the other way, stored;
  // the check marks follow.
  void Toggle(int command, TFrameWindow* frame);
  // The check marks as the view has the options.
  void ShowChecks(TFrameWindow* frame) const;

private:
  TReceiveView& View;
};
