#pragma once
// A dialog built from a dialog template: its controls are made in template order, placed by
// dialog units of the template's font, and bound to the control objects with their ids. Run
// modally with Execute, or created as a child window of its parent (a client window).
#include "framework/TWindow.h"

#include <QFont>
#include <QRect>
#include <cstdint>
#include <vector>

struct TDialogTemplate;

class TDialog : public TWindow {
public:
  TDialog(TWindow* parent, int resourceId);
  ~TDialog() override;

  int GetResourceId() const { return ResourceId; }
  // Runs the dialog modally and returns the id it was closed with (IDOK, IDCANCEL or what
  // CloseWindow got); -1 when there is no template of its id.
  int Execute();
  // Ends the dialog with retValue: a modal run returns it, a modeless dialog is destroyed.
  void CloseWindow(int retValue = IDCANCEL);

  // The fields handed to the controls that take part in transfer, in creation order.
  void SetTransferBuffer(std::vector<TTransferField> fields) { TransferFields = std::move(fields); }
  // Moves the record into the controls (SetData) or out of them (GetData). Surplus fields or
  // controls are left alone.
  void TransferData(TTransferDirection direction);

  // A rectangle in dialog units in pixels, by the base units of font.
  static QRect MapDialogRect(const QFont& font, int x, int y, int width, int height);
  // The template's font; the application font when there is no template.
  QFont DialogFont() const;
  // The dialog's size at which its controls have their template geometry (at first, the
  // template's own size). Larger than that, each control follows the right and bottom edges
  // by the difference as its template's anchor asks; smaller, all keep their template
  // geometry.
  void SetLayoutBase(QSize size);

protected:
  const TResponseTable& Responses() const override;
  QWidget* MakeWidget(QWidget* parentWidget) override;
  QWidget* TemplateWidget(int id) const override;
  // The dialog's own set-up: the transfer record goes into the controls.
  void PrepareWindow() override;

  // IDOK: closes with IDOK after the close check, taking the record out of the controls.
  void CmOk();
  // IDCANCEL: closes with IDCANCEL.
  void CmCancel();

private:
  int ResourceId;
  const TDialogTemplate* Template;
  bool Modal = false;
  // Places the anchored controls for the dialog's size.
  void LayOut(QSize size);

  struct TControlPlace {
    int Id;
    QWidget* Widget;
    QRect Place;   // in pixels, at the layout base
    std::uint32_t Anchor;
  };
  std::vector<TTransferField> TransferFields;
  std::vector<TControlPlace> ControlWidgets;   // in template order
  QSize LayoutBase;
};
