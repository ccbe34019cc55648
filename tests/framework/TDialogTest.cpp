// Dialogs from templates: layout by the font's dialog units, binding, transfer, closing.
#include "framework/TButton.h"
#include "framework/TButtonWidget.h"
#include "framework/TCheckBox.h"
#include "framework/TComboBox.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "framework/TStatic.h"
#include "resources/ResourceIds.h"
#include "tests/support/RecordingPresenter.h"

#include <QDialog>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <tuple>
#include <gtest/gtest.h>

namespace {
// Accepts digits only; records every time it had to complain.
class TDigits final : public TValidator {
public:
  explicit TDigits(std::vector<int>* complaints) : Complaints(complaints) {}
  bool IsValidInput(const std::string& text) const override
  {
    return text.find_first_not_of("0123456789") == std::string::npos;
  }
  void Error(TWindow& owner) const override { Complaints->push_back(owner.GetId()); }

private:
  std::vector<int>* Complaints;
};

class TCommandCounter : public TDialog {
public:
  using TDialog::TDialog;
  int Sends = 0;
  int Changes = 0;

protected:
  const TResponseTable& Responses() const override
  {
    static constexpr TResponseEntry entries[] = {
      OnCommand<&TCommandCounter::CmSend>(IDC_SEND),
      OnNotify<&TCommandCounter::EnSendChange>(IDC_SENDTEXT, EN_CHANGE),
    };
    static const TResponseTable table {&TDialog::Responses(), entries};
    return table;
  }

private:
  void CmSend() { ++Sends; }
  void EnSendChange() { ++Changes; }
};
}

TEST(Dialog, TemplateControlsTakeTheirPlacesInTheFontsDialogUnitsAndTheirStyles)
{
  TDialog dialog(nullptr, IDD_CLIENT);
  ASSERT_TRUE(dialog.Create());
  QWidget* widget = dialog.GetWidget();
  EXPECT_EQ(widget->windowTitle(), "Dialog Client");
  // The places below are those of the template's 8-point face as it resolves here: a dialog
  // unit is 7/4 pixel across and 13/8 pixel down.
  ASSERT_EQ(QFontInfo(dialog.DialogFont()).family(), "DejaVu Sans");
  EXPECT_EQ(widget->size(), QSize(705, 257));
  const std::pair<int, QRect> places[] = {
    {IDC_SENDTEXT, {0, 42, 609, 23}},
    {IDC_STOP, {611, 41, 91, 26}},
    {IDC_LED_DTR, {21, 7, 28, 23}},
    {IDC_RECEIVE, {0, 70, 707, 189}},
  };
  const auto control = [&](int id) {
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (child->property("controlId").toInt() == id)
        return child;
    return static_cast<QWidget*>(nullptr);
  };
  for (const auto& [id, place] : places) {
    ASSERT_NE(control(id), nullptr) << id;
    EXPECT_EQ(control(id)->geometry(), place) << id;
  }

  // Qt lists children bottom to top; the first control of a template lies on top.
  const QList<QWidget*> controls = widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  EXPECT_EQ(controls.back(), control(IDC_SENDTEXT));
  for (QWidget* child : controls)
    EXPECT_FALSE(child->isHidden());
  EXPECT_FALSE(static_cast<TButtonWidget*>(control(IDC_SEND))->IsOwnerDraw());
  EXPECT_TRUE(static_cast<TButtonWidget*>(control(IDC_LED_DTR))->IsOwnerDraw());
  auto* receive = qobject_cast<QPlainTextEdit*>(control(IDC_RECEIVE));
  ASSERT_NE(receive, nullptr);
  EXPECT_TRUE(receive->isReadOnly());
  EXPECT_EQ(receive->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(receive->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(receive->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_FALSE(receive->isUndoRedoEnabled());
}

TEST(Dialog, ControlObjectsBindToTheirIdsAndSignalsBecomeCommandsAndNotifications)
{
  TCommandCounter dialog(nullptr, IDD_CLIENT);
  TEdit receive(&dialog, IDC_RECEIVE, 65535);
  TEdit send(&dialog, IDC_SENDTEXT, 81);
  TButton sendButton(&dialog, IDC_SEND);
  ASSERT_TRUE(dialog.Create());
  dialog.Show(SW_SHOW);
  EXPECT_TRUE(receive.IsMultiLine());
  EXPECT_FALSE(send.IsMultiLine());
  EXPECT_EQ(sendButton.GetCaption(), "&Send");
  EXPECT_EQ(dialog.ChildWithId(IDC_SEND), &sendButton);

  QTest::keyClicks(send.GetWidget(), "12");
  EXPECT_EQ(dialog.Changes, 2);
  QTest::mouseClick(sendButton.GetWidget(), Qt::LeftButton);
  EXPECT_EQ(dialog.Sends, 1);
  sendButton.EnableWindow(false);
  QTest::mouseClick(sendButton.GetWidget(), Qt::LeftButton);
  EXPECT_EQ(dialog.Sends, 1);
}

TEST(Dialog, AControlMissingFromTheTemplateOrOfAnotherKindIsNotCreated)
{
  TDialog dialog(nullptr, IDD_CLIENT);
  TEdit stray(&dialog, 4711);
  TEdit send(&dialog, IDC_SENDTEXT);
  EXPECT_FALSE(dialog.Create());
  EXPECT_TRUE(dialog.IsCreated());
  EXPECT_FALSE(stray.IsCreated());
  EXPECT_TRUE(send.IsCreated());
  TDialog missing(nullptr, 31999);
  EXPECT_FALSE(missing.Create());
  EXPECT_EQ(missing.Execute(), -1);

  // Bound to a template control it cannot drive, a control would be dead: it is refused, and
  // so is the dialog.
  using TMake = std::function<std::unique_ptr<TControl>(TWindow*, int)>;
  const std::tuple<int, int, TMake> wrong[] = {
    {IDD_CLIENT, IDC_SEND, [](TWindow* p, int id) { return std::make_unique<TEdit>(p, id); }},
    {IDD_CLIENT, IDC_SENDTEXT, [](TWindow* p, int id) { return std::make_unique<TButton>(p, id); }},
    {IDD_CLIENT, IDC_RECEIVE, [](TWindow* p, int id) { return std::make_unique<TStatic>(p, id); }},
    {IDD_SETUP, IDC_SETDTR, [](TWindow* p, int id) { return std::make_unique<TComboBox>(p, id); }},
    {IDD_SETUP, IDC_PORT, [](TWindow* p, int id) { return std::make_unique<TCheckBox>(p, id); }},
  };
  for (const auto& [dialogId, id, make] : wrong) {
    TDialog other(nullptr, dialogId);
    const std::unique_ptr<TControl> control = make(&other, id);
    EXPECT_FALSE(other.Create()) << id;
    EXPECT_FALSE(control->IsCreated()) << id;
  }
}

TEST(Dialog, TransferMovesTheRecordInAtSetUpAndOutAtOkInCreationOrder)
{
  struct {
    char Second[6] = "abc";
    char First[81] = "first";
  } record;
  TDialog dialog(nullptr, IDD_CLIENT);
  // Creation order, not template order, decides which field a control takes.
  TEdit send(&dialog, IDC_SENDTEXT, sizeof record.Second);
  TEdit receive(&dialog, IDC_RECEIVE, sizeof record.First);
  std::uint32_t notText = 7;
  dialog.SetTransferBuffer({std::span<char>(record.Second), std::span<char>(record.First), &notText});

  QTimer::singleShot(0, [&] {
    EXPECT_EQ(send.GetText(), "abc");
    EXPECT_EQ(receive.GetText(), "first");
    send.SetText("0123456789");   // more than the 5 characters the field holds
    receive.SetText("line 1\r\nline 2");
    SendMessage(&dialog, WM_COMMAND, MakeWParam(IDOK, BN_CLICKED), 0);
  });
  EXPECT_EQ(dialog.Execute(), IDOK);
  EXPECT_STREQ(record.Second, "01234");
  EXPECT_STREQ(record.First, "line 1\r\nline 2");
  EXPECT_EQ(notText, 7u);
  EXPECT_FALSE(dialog.IsCreated());
}

TEST(Dialog, CancelLeavesTheRecordAndReturnsTheButtonsId)
{
  char text[10] = "keep";
  TDialog dialog(nullptr, IDD_CLIENT);
  TEdit send(&dialog, IDC_SENDTEXT, sizeof text);
  dialog.SetTransferBuffer({std::span<char>(text)});
  QTimer::singleShot(0, [&] {
    send.SetText("changed");
    QTest::keyClick(send.GetWidget(), Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.Execute(), IDCANCEL);
  EXPECT_STREQ(text, "keep");
}

TEST(Dialog, TheCloseCheckAsksChildrenInCreationOrderAndARefusalKeepsTheDialogOpen)
{
  std::vector<int> complaints;
  TDialog dialog(nullptr, IDD_CLIENT);
  TEdit receive(&dialog, IDC_RECEIVE);
  TEdit send(&dialog, IDC_SENDTEXT);
  receive.SetValidator(new TDigits(&complaints));
  send.SetValidator(new TDigits(&complaints));
  int rounds = 0;
  std::function<void()> step = [&] {
    ++rounds;
    if (rounds == 1) {
      send.SetText("x");   // programmatic text is not filtered
      receive.SetText("y");
      QTest::keyClick(send.GetWidget(), Qt::Key_Return);   // Enter is IDOK
      EXPECT_EQ(complaints, std::vector<int> {IDC_RECEIVE});
      receive.SetText("1");
      QTest::keyClick(send.GetWidget(), Qt::Key_Return);
      EXPECT_EQ(complaints, (std::vector<int> {IDC_RECEIVE, IDC_SENDTEXT}));
      EXPECT_EQ(dialog.GetWidget()->focusWidget(), send.GetWidget());
      send.SetText("2");
      QTest::keyClick(send.GetWidget(), Qt::Key_Return);
    }
  };
  QTimer::singleShot(0, step);
  EXPECT_EQ(dialog.Execute(), IDOK);
  EXPECT_EQ(rounds, 1);
  EXPECT_EQ(complaints.size(), 2u);
}

TEST(Dialog, AsAChildWindowItIsPartOfItsParentAndEndsWithOk)
{
  TWindow frame(nullptr, "Frame");
  frame.Attr.W = 800;
  frame.Attr.H = 400;
  TCommandCounter client(&frame, IDD_CLIENT);
  TEdit send(&client, IDC_SENDTEXT);
  ASSERT_TRUE(frame.Create());
  frame.Show(SW_SHOW);
  ASSERT_TRUE(client.IsCreated());
  EXPECT_FALSE(client.GetWidget()->isWindow());
  EXPECT_EQ(client.GetWidget()->parentWidget(), frame.GetWidget());
  EXPECT_TRUE(client.GetWidget()->isVisible());

  for (QPushButton* button : client.GetWidget()->findChildren<QPushButton*>())
    if (button->text() == "&Send")
      QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(client.Sends, 1);
  // The framework's own IDOK ends a modeless dialog: its window goes, the frame stays.
  QTest::keyClick(send.GetWidget(), Qt::Key_Return);
  EXPECT_FALSE(client.IsCreated());
  EXPECT_FALSE(send.IsCreated());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(frame.GetWidget()->findChildren<QDialog*>().isEmpty());
  EXPECT_FALSE(send.IsCreated());
}
