#include "framework/TFilterValidator.h"

#include "framework/Latin1.h"
#include "framework/TWindow.h"
#include "framework/WindowMessages.h"

#include <QCoreApplication>

TFilterValidator::TFilterValidator(std::string_view set)
{
  for (std::size_t i = 0; i < set.size(); ++i) {
    const auto first = static_cast<unsigned char>(set[i]);
    if (i + 2 < set.size() && set[i + 1] == '-') {
      const auto last = static_cast<unsigned char>(set[i + 2]);
      for (unsigned c = first; c <= last; ++c)
        Set.set(c);
      i += 2;
    } else {
      Set.set(first);
    }
  }
}

bool TFilterValidator::IsValidInput(const std::string& text) const
{
  for (char c : text)
    if (!Accepts(static_cast<unsigned char>(c)))
      return false;
  return true;
}

void TFilterValidator::Error(TWindow& owner) const
{
  owner.MessageBox("Invalid character in input", ToBytes(QCoreApplication::applicationName()).c_str(),
                   MB_OK | MB_ICONEXCLAMATION);
}
