#pragma once
// Loading the program's resources: strings of the string table, bitmaps and icons.
#include "platform/MessageTarget.h"

#include <QIcon>
#include <QImage>

// Copies string id into buffer, at most size - 1 bytes followed by a terminator, and returns
// the number of bytes copied. An unknown id gives an empty string; size <= 0 writes nothing.
int LoadString(UINT id, char* buffer, int size);

// Bitmap resource id; a null image if there is none.
QImage LoadBitmap(int id);

// Icon group id with all its images; a null icon if there is none.
QIcon LoadIcon(int id);
