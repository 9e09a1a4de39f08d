#pragma once

// The one place orientation is worked out: the EXIF/TIFF orientation (1–8) a file records, what
// it asks of the stored rows, where the shown top-left corner lies in them, and turning a
// decoded stored region upright. Every reader turns its pictures through here.

#include "codec/conversion.h"
#include "pictures/bytes.h"
#include "pictures/picture.h"

namespace ravik {

// The orientation (1–8) recorded in an EXIF block (a TIFF structure, with or without the
// "Exif\0\0" prefix); 1 when there is none or it can't be read.
int exifOrientation(Bytes exif);

// An orientation value (1–8, as EXIF and TIFF number them; anything else counts as 1) as the
// mirror, flip and quarter turn that show the stored picture upright.
Orientation orientationFor(int value);

// The picture's size as shown.
Size shownSize(const Size& stored, const Orientation& orientation);

// The stored rectangle that becomes the shown top-left `corner`; the whole stored picture when
// `corner` is empty.
Rect storedCorner(const Size& stored, const Orientation& orientation, const Size& corner);

// A decoded stored region turned upright: mirrored, flipped, then turned a quarter clockwise.
Picture upright(const Picture& stored, const Orientation& orientation);

} // namespace ravik
