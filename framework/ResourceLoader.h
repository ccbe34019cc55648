#pragma once
// A program's resources as the framework finds them: its templates, the strings of its string
// table, its bitmaps and icons, all from the set the program handed over.
#include "framework/ResourceTypes.h"
#include "platform/MessageTarget.h"

#include <QIcon>
#include <QImage>
#include <string>

// Hands a program's resources to the framework; every window, menu, string, bitmap and icon
// comes from them from now on. The application does it when it is made; whatever makes
// windows without an application does it before its first window. The tables must outlive them.
void UseResources(const TResourceSet& resources);

// The template with this id, or null.
const TDialogTemplate* FindDialogTemplate(int id);
// The menu or the accelerator table with this id, or null.
const TMenuTemplate* FindMenuTemplate(int id);
const TAcceleratorTable* FindAcceleratorTable(int id);

// Copies string id into buffer, at most size - 1 bytes followed by a terminator, and returns
// the number of bytes copied. An unknown id gives an empty string; size <= 0 writes nothing.
int LoadString(UINT id, char* buffer, int size);
// String id whole; empty for an unknown id.
std::string LoadString(UINT id);

// Bitmap resource id; a null image if there is none.
QImage LoadBitmap(int id);

// Icon group id with all its images; a null icon if there is none.
QIcon LoadIcon(int id);
