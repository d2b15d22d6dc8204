#include "platform/win32/toolkit_bmp.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace platform::win32 {
namespace {

constexpr std::size_t fileHeaderSize = 14;
constexpr std::size_t infoHeaderSize = 40;  // BITMAPINFOHEADER; V4 and V5 begin with it
constexpr std::size_t maskBytes = 3 * sizeof(std::uint32_t);
// Far beyond any picture of the program, small enough that no size computation overflows.
constexpr std::int64_t maxSide = 32768;
constexpr std::int64_t maxPixels = std::int64_t{1} << 26;

std::uint16_t readU16(const unsigned char* at) {
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::uint32_t readU32(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

std::int32_t readI32(const unsigned char* at) { return static_cast<std::int32_t>(readU32(at)); }

bool isAcceptedHeaderSize(std::uint32_t size) {
    // BITMAPINFOHEADER, its two extensions with masks, BITMAPV4HEADER, BITMAPV5HEADER.
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool isAcceptedFormat(std::uint32_t compression, std::uint16_t bitCount, std::int32_t height) {
    switch (compression) {
    case BI_RGB:
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
               bitCount == 24 || bitCount == 32;
    case BI_RLE8:
        return bitCount == 8 && height > 0;  // run-length data is always stored bottom-up
    case BI_RLE4:
        return bitCount == 4 && height > 0;
    case BI_BITFIELDS:
        return bitCount == 16 || bitCount == 32;
    default:
        return false;
    }
}

// What GDI is handed: a plain BITMAPINFOHEADER with its masks and colour table,
// and the pixel data, each copied out of the file so that they are aligned and
// cannot reach past its end.
struct DibParts {
    std::vector<std::uint32_t> info;  // BITMAPINFO storage, DWORD-aligned
    std::vector<unsigned char> bits;

    const BITMAPINFO* bitmapInfo() const { return reinterpret_cast<const BITMAPINFO*>(info.data()); }
};

std::optional<DibParts> splitBmp(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size < fileHeaderSize + infoHeaderSize) return std::nullopt;
    if (data[0] != 'B' || data[1] != 'M') return std::nullopt;
    const std::uint32_t bitsOffset = readU32(data + 10);
    const unsigned char* header = data + fileHeaderSize;
    const std::uint32_t headerSize = readU32(header);
    if (!isAcceptedHeaderSize(headerSize) || headerSize > size - fileHeaderSize) return std::nullopt;

    const std::int32_t width = readI32(header + 4);
    const std::int32_t height = readI32(header + 8);
    const std::uint16_t planes = readU16(header + 12);
    const std::uint16_t bitCount = readU16(header + 14);
    const std::uint32_t compression = readU32(header + 16);
    const std::uint32_t declaredImageSize = readU32(header + 20);
    const std::uint32_t coloursUsed = readU32(header + 32);
    const std::int64_t rows = std::llabs(static_cast<std::int64_t>(height));
    if (planes != 1 || width <= 0 || width > maxSide || rows == 0 || rows > maxSide ||
        width * rows > maxPixels || !isAcceptedFormat(compression, bitCount, height)) {
        return std::nullopt;
    }

    std::size_t tableStart = fileHeaderSize + headerSize;
    std::uint32_t masks[3] = {0, 0, 0};
    const bool hasMasks = compression == BI_BITFIELDS;
    if (hasMasks) {
        // Headers of 52 bytes and more hold the masks; after a 40-byte header they follow it.
        const unsigned char* maskAt = header + infoHeaderSize;
        if (headerSize == infoHeaderSize) {
            if (size - tableStart < maskBytes) return std::nullopt;
            tableStart += maskBytes;
        }
        for (int i = 0; i < 3; ++i) masks[i] = readU32(maskAt + 4 * i);
    }

    std::size_t colourCount = 0;
    if (bitCount <= 8) {
        const std::size_t maxColours = std::size_t{1} << bitCount;
        colourCount = coloursUsed == 0 ? maxColours : coloursUsed;
        if (colourCount > maxColours) return std::nullopt;
    }
    const std::size_t tableEnd = tableStart + colourCount * sizeof(RGBQUAD);
    if (tableEnd > size || bitsOffset < tableEnd || bitsOffset >= size) return std::nullopt;

    const std::size_t available = size - bitsOffset;
    std::size_t bitsSize = 0;
    if (compression == BI_RLE8 || compression == BI_RLE4) {
        // GDI reads no further than biSizeImage; a stream that claims more than the
        // file holds is cut at the file's end.
        bitsSize = declaredImageSize == 0 || declaredImageSize > available ? available
                                                                           : declaredImageSize;
    } else {
        const std::size_t stride = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
        bitsSize = stride * static_cast<std::size_t>(rows);
        if (bitsSize > available) return std::nullopt;
    }

    DibParts parts;
    const std::size_t infoBytes =
        infoHeaderSize + (hasMasks ? maskBytes : 0) + colourCount * sizeof(RGBQUAD);
    parts.info.assign((infoBytes + 3) / 4, 0);
    auto* info = reinterpret_cast<BITMAPINFOHEADER*>(parts.info.data());
    info->biSize = infoHeaderSize;
    info->biWidth = width;
    info->biHeight = height;
    info->biPlanes = 1;
    info->biBitCount = bitCount;
    info->biCompression = compression;
    info->biSizeImage = static_cast<DWORD>(bitsSize);
    info->biXPelsPerMeter = readI32(header + 24);
    info->biYPelsPerMeter = readI32(header + 28);
    info->biClrUsed = static_cast<DWORD>(colourCount);
    info->biClrImportant = 0;
    std::uint32_t* after = parts.info.data() + infoHeaderSize / 4;
    if (hasMasks) {
        for (int i = 0; i < 3; ++i) *after++ = masks[i];
    }
    for (std::size_t i = 0; i < colourCount; ++i) *after++ = readU32(data + tableStart + 4 * i);

    parts.bits.assign(data + bitsOffset, data + bitsOffset + bitsSize);
    return parts;
}

}  // namespace

UniqueBitmap decodeBmp(const unsigned char* data, std::size_t size) {
    const std::optional<DibParts> parts = splitBmp(data, size);
    if (!parts) return UniqueBitmap{};
    WindowDc screen(nullptr);
    if (screen.get() == nullptr) return UniqueBitmap{};
    const BITMAPINFO* info = parts->bitmapInfo();
    // GDI expands RLE8 and RLE4 itself while it copies the pixels into the bitmap.
    return UniqueBitmap{CreateDIBitmap(screen.get(), &info->bmiHeader, CBM_INIT, parts->bits.data(),
                                       info, DIB_RGB_COLORS)};
}

}  // namespace platform::win32
