#include "triggers/TTriggersDlg.h"

#include "framework/ResourceLoader.h"
#include "framework/TRangeValidator.h"
#include "resources/ResourceIds.h"

#include <QWidget>
#include <algorithm>
#include <cstdio>

namespace {
constexpr UINT TextLimit = TTriggerRule::MaxText + 1;
constexpr UINT DelayLimit = 6;
}   // namespace

TTriggersDlg::TTriggersDlg(TWindow* parent, TTriggerRun& run)
  : TDialog(parent, IDD_TRIGGERS),
    Run(run),
    Triggers(run.Matcher()),
    List(this, IDC_TRIGGER_LIST),
    Add(this, IDC_TRIGGER_ADD),
    Remove(this, IDC_TRIGGER_REMOVE),
    Up(this, IDC_TRIGGER_UP),
    Down(this, IDC_TRIGGER_DOWN),
    On(this, IDC_TRIGGER_ON),
    Text(this, IDC_TRIGGER_TEXT, TextLimit),
    Regex(this, IDC_TRIGGER_REGEX),
    Reply(this, IDC_TRIGGER_REPLY, TextLimit),
    Delay(this, IDC_TRIGGER_DELAY, DelayLimit),
    Once(this, IDC_TRIGGER_ONCE),
    Note(this, IDC_TRIGGER_NOTE)
{
  Delay.SetValidator(new TRangeValidator(0, TTriggerRule::MaxDelay));
}

const TResponseTable& TTriggersDlg::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnCommand<&TTriggersDlg::CmAdd>(IDC_TRIGGER_ADD),
    OnCommand<&TTriggersDlg::CmRemove>(IDC_TRIGGER_REMOVE),
    OnCommand<&TTriggersDlg::CmUp>(IDC_TRIGGER_UP),
    OnCommand<&TTriggersDlg::CmDown>(IDC_TRIGGER_DOWN),
    OnNotify<&TTriggersDlg::LbnSelChange>(IDC_TRIGGER_LIST, LBN_SELCHANGE),
    OnCommand<&TTriggersDlg::Apply>(IDC_TRIGGER_ON),
    OnNotify<&TTriggersDlg::Apply>(IDC_TRIGGER_TEXT, EN_CHANGE),
    OnCommand<&TTriggersDlg::Apply>(IDC_TRIGGER_REGEX),
    OnNotify<&TTriggersDlg::Apply>(IDC_TRIGGER_REPLY, EN_CHANGE),
    OnNotify<&TTriggersDlg::Apply>(IDC_TRIGGER_DELAY, EN_CHANGE),
    OnCommand<&TTriggersDlg::Apply>(IDC_TRIGGER_ONCE),
    OnCommand<&TTriggersDlg::CmIgnore>(IDOK),
    OnMessage<&TTriggersDlg::TimerTick>(WM_TIMER),
  };
  static const TResponseTable table {&TDialog::Responses(), entries};
  return table;
}

void TTriggersDlg::Open(std::unique_ptr<TTriggersDlg>& window, TWindow* owner, TTriggerRun& run)
{
  if (!window)
    window = std::make_unique<TTriggersDlg>(owner, run);
  if (!window->IsCreated() && !window->Create())
    return;
  window->Show(SW_SHOW);
  window->GetWidget()->raise();
  window->GetWidget()->activateWindow();
}

void TTriggersDlg::PrepareWindow()
{
  TDialog::PrepareWindow();
  ShowRows();
  List.SetSelIndex(0);
  ShowRule();
  SetTimer(RefreshTimer, RefreshInterval);
}

std::string TTriggersDlg::Row(const TTriggerMatcher& triggers, std::size_t i)
{
  const TTriggerRule& rule = triggers.Rule(i);
  const char* state = !triggers.Error(i).empty() ? "refused" : rule.On ? "on" : "off";
  return std::string(state) + "   \"" + rule.Text + "\"   " + std::to_string(triggers.FireCount(i)) + " fired";
}

void TTriggersDlg::ShowRows()
{
  const int count = int(Triggers.Count());
  if (List.GetCount() != count) {
    const int selected = Selected();
    List.ClearList();
    for (int i = 0; i < count; ++i)
      List.AddString(Row(Triggers, std::size_t(i)));
    List.SetSelIndex(selected);
    return;
  }
  for (int i = 0; i < count; ++i)
    List.SetString(i, Row(Triggers, std::size_t(i)));
}

void TTriggersDlg::ShowRule()
{
  const int i = Selected();
  const bool chosen = i >= 0;
  const TTriggerRule rule = chosen ? Triggers.Rule(std::size_t(i)) : TTriggerRule {};
  Showing = true;
  On.SetCheck(chosen && rule.On);
  Text.SetText(rule.Text);
  Regex.SetCheck(rule.Regex);
  Reply.SetText(rule.Reply);
  Delay.SetText(chosen ? std::to_string(rule.Delay) : "");
  Once.SetCheck(rule.Once);
  Showing = false;
  for (TWindow* field : std::initializer_list<TWindow*> {&On, &Text, &Regex, &Reply, &Delay, &Once, &Remove})
    field->EnableWindow(chosen);
  Add.EnableWindow(Triggers.Count() < TTriggerMatcher::MaxRules);
  Up.EnableWindow(i > 0);
  Down.EnableWindow(chosen && std::size_t(i) + 1 < Triggers.Count());
  ShowNote();
}

void TTriggersDlg::ShowNote()
{
  const int i = Selected();
  const std::string& error = i >= 0 ? Triggers.Error(std::size_t(i)) : StoreError;
  const std::string& reason = error.empty() ? StoreError : error;
  if (reason.empty()) {
    Note.SetText("");
    return;
  }
  char format[160], text[160 + 2 * TTriggerRule::MaxText];
  LoadString(error.empty() ? IDS_TRIGGERS_NOT_SAVED : IDS_TRIGGER_BAD_EXPRESSION, format, sizeof format);
  std::snprintf(text, sizeof text, format, reason.c_str());
  Note.SetText(text);
}

void TTriggersDlg::Apply()
{
  const int i = Selected();
  if (Showing || i < 0)
    return;
  TTriggerRule rule;
  rule.On = On.GetCheck() == BF_CHECKED;
  rule.Text = Text.GetText();
  rule.Regex = Regex.GetCheck() == BF_CHECKED;
  rule.Reply = Reply.GetText();
  rule.Delay = std::clamp(TRangeValidator::Value(Delay.GetText()), 0, TTriggerRule::MaxDelay);
  rule.Once = Once.GetCheck() == BF_CHECKED;
  if (rule == Triggers.Rule(std::size_t(i)))
    return;
  Triggers.Set(std::size_t(i), rule);
  Store();
  ShowRows();
  ShowNote();
}

void TTriggersDlg::CmAdd()
{
  if (!Triggers.Insert(Triggers.Count(), TTriggerRule {}))
    return;
  Store();
  ShowRows();
  List.SetSelIndex(int(Triggers.Count()) - 1);
  ShowRule();
  Text.SetFocus();
}

void TTriggersDlg::CmRemove()
{
  const int i = Selected();
  if (i < 0)
    return;
  Triggers.Remove(std::size_t(i));
  Store();
  ShowRows();
  List.SetSelIndex(std::min(i, int(Triggers.Count()) - 1));
  ShowRule();
}

void TTriggersDlg::MoveBy(int step)
{
  const int i = Selected(), to = i + step;
  if (i < 0 || to < 0 || std::size_t(to) >= Triggers.Count())
    return;
  Triggers.Move(std::size_t(i), std::size_t(to));
  Store();
  ShowRows();
  List.SetSelIndex(to);
  ShowRule();
}

LRESULT TTriggersDlg::TimerTick(WPARAM id, LPARAM)
{
  if (id != RefreshTimer)
    return 0;
  ShowRows();
  const int i = Selected();
  if (i >= 0 && (On.GetCheck() == BF_CHECKED) != Triggers.Rule(std::size_t(i)).On) {
    Showing = true;
    On.SetCheck(Triggers.Rule(std::size_t(i)).On);
    Showing = false;
  }
  return 0;
}

void TTriggersDlg::Store()
{
  StoreError = Run.Store();
}
