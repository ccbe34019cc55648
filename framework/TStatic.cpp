#include "framework/TStatic.h"

#include "framework/Latin1.h"

#include <QLabel>
#include <algorithm>
#include <cstring>

TStatic::TStatic(TWindow* parent, int resourceId, UINT textLimit) : TControl(parent, resourceId), TextLimit(textLimit)
{}

bool TStatic::Binds(const QWidget& widget) const
{
  return qobject_cast<const QLabel*>(&widget) != nullptr;
}

int TStatic::GetText(char* buffer, int size) const
{
  if (!buffer || size <= 0)
    return 0;
  const auto* label = qobject_cast<QLabel*>(GetWidget());
  const std::string text = label ? ToBytes(label->text()) : std::string();
  const std::size_t n = std::min(text.size(), std::size_t(size - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return int(n);
}

void TStatic::SetText(std::string_view text)
{
  if (TextLimit > 0)
    text = text.substr(0, std::min<std::size_t>(text.size(), TextLimit - 1));
  if (auto* label = qobject_cast<QLabel*>(GetWidget()))
    label->setText(ToQString(text));
}
