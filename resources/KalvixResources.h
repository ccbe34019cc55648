#pragma once
// The program's resources as one set, which it hands to the framework at start (UseResources):
// the dialog templates, the menu and accelerators, the string table, the LED bitmaps and the icon.
#include "framework/ResourceTypes.h"

const TResourceSet& KalvixResources();

// The tables, each from the file of its kind.
extern const std::span<const TDialogTemplate> KalvixDialogs;
extern const std::span<const TMenuTemplate> KalvixMenus;
extern const std::span<const TAcceleratorTable> KalvixAccelerators;
extern const std::span<const TStringEntry> KalvixStrings;
