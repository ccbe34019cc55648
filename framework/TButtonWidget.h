#pragma once
// The Qt face of a push button. An owner-drawn one leaves its whole face to its TButton: on
// every paint the background is erased and the button draws the entire item, so pressing it
// or giving it the focus shows nothing of its own.
#include <QPointer>
#include <QPushButton>

class TButton;

class TButtonWidget : public QPushButton {
public:
  TButtonWidget(const QString& text, bool ownerDraw, QWidget* parent);

  bool IsOwnerDraw() const { return OwnerDraw; }
  // The button that draws an owner-drawn face; guard lives exactly as long as it.
  void SetDrawer(TButton* button, QObject* guard);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  bool OwnerDraw;
  TButton* Drawer = nullptr;
  QPointer<QObject> DrawerAlive;
};
