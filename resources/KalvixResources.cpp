#include "resources/KalvixResources.h"

const TResourceSet& KalvixResources()
{
  // The folders are the prefixes under which CMakeLists.txt compiles the bitmaps and the icon in.
  static const TResourceSet resources {
    .Dialogs = KalvixDialogs,
    .Menus = KalvixMenus,
    .Accelerators = KalvixAccelerators,
    .Strings = KalvixStrings,
    .BitmapFolder = ":/bitmap",
    .IconFolder = ":/icon",
  };
  return resources;
}
