#include "framework/TValidator.h"

#include "framework/ResourceLoader.h"
#include "framework/TApplication.h"
#include "framework/TWindow.h"
#include "resources/ResourceIds.h"

void TValidator::Error(TWindow& owner) const
{
  char text[128];
  LoadString(IDS_INVALIDINPUT, text, sizeof text);
  const TApplication* application = owner.GetApplication();
  owner.MessageBox(text, application ? application->GetName().c_str() : "", MB_OK | MB_ICONEXCLAMATION);
}
