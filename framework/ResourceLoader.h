#pragma once
// Loading the program's resources: strings of the string table and bitmaps.
#include "platform/MessageTarget.h"

#include <QImage>

// Copies string id into buffer, at most size - 1 bytes followed by a terminator, and returns
// the number of bytes copied. An unknown id gives an empty string; size <= 0 writes nothing.
int LoadString(UINT id, char* buffer, int size);

// Bitmap resource id; a null image if there is none.
QImage LoadBitmap(int id);
