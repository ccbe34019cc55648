#pragma once
// Response tables: each window class, and the application, keeps a static table that maps a
// message number, a command id, or a control id with a notification code to one of its member
// functions. A table points to its base class's table, which is searched after it. A class
// declares
//   const TResponseTable& Responses() const override;
// and defines it with a function-local static table whose Base is &TBase::Responses().
#include "framework/WindowMessages.h"

#include <cstdint>
#include <span>

struct TResponseEntry {
  enum class TKind : std::uint8_t { Message, Command, Notify };
  TKind Kind;
  UINT Code;   // Message: the message number; Notify: the notification code
  int Id;      // Command: the command id; Notify: the control id
  LRESULT (*Call)(TMessageTarget& target, WPARAM wParam, LPARAM lParam);

  bool Matches(UINT msg, WPARAM wParam) const;
};

struct TResponseTable {
  const TResponseTable* Base;
  std::span<const TResponseEntry> Entries;

  // The first matching entry of this table, else of the base tables in turn; null if none.
  const TResponseEntry* Find(UINT msg, WPARAM wParam) const;
};

namespace ResponseDetail {
template <class> struct TOwner;
template <class C, class R, class... A> struct TOwner<R (C::*)(A...)> {
  using Type = C;
};

template <auto Handler> LRESULT CallMessage(TMessageTarget& target, WPARAM wParam, LPARAM lParam)
{
  using C = typename TOwner<decltype(Handler)>::Type;
  return (static_cast<C&>(target).*Handler)(wParam, lParam);
}

template <auto Handler> LRESULT CallCommand(TMessageTarget& target, WPARAM, LPARAM)
{
  using C = typename TOwner<decltype(Handler)>::Type;
  (static_cast<C&>(target).*Handler)();
  return 0;
}
}

// A message: Handler is LRESULT (C::*)(WPARAM, LPARAM).
template <auto Handler> constexpr TResponseEntry OnMessage(UINT msg)
{
  return {TResponseEntry::TKind::Message, msg, 0, &ResponseDetail::CallMessage<Handler>};
}

// A menu or accelerator command, or a button click: Handler is void (C::*)().
template <auto Handler> constexpr TResponseEntry OnCommand(int id)
{
  return {TResponseEntry::TKind::Command, 0, id, &ResponseDetail::CallCommand<Handler>};
}

// A notification from child control id: Handler is void (C::*)().
template <auto Handler> constexpr TResponseEntry OnNotify(int id, UINT code)
{
  return {TResponseEntry::TKind::Notify, code, id, &ResponseDetail::CallCommand<Handler>};
}
