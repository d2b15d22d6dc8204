// BMP files held in memory, decoded with the platform's bitmap services.
#pragma once

#include <cstddef>

#include "platform/win32/toolkit_handles.h"

namespace platform::win32 {

// A bitmap of the file's pixel size in the screen's format, or none when the data
// is not a BMP file of a kind GDI draws (uncompressed, bit fields, RLE8, RLE4) or
// any part of it lies outside the data.
UniqueBitmap decodeBmp(const unsigned char* data, std::size_t size);

}  // namespace platform::win32
