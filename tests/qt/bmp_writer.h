// Writes small BMP files by hand: a 124-byte version-5 header, a colour table and
// RLE8 pixel data, as the program's help picture is stored.
#pragma once

#include <cstdint>
#include <vector>

namespace qt_test {

struct Bgr {
    std::uint8_t blue, green, red;
};

inline void putU16(std::vector<unsigned char>& out, std::uint16_t value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

inline void putU32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

// A bottom-up 8-bit picture compressed as RLE8 (compression 1).
inline std::vector<unsigned char> rle8BmpV5(std::int32_t width, std::int32_t height,
                                            const std::vector<Bgr>& colours,
                                            const std::vector<unsigned char>& rle) {
    const std::uint32_t headerSize = 124;
    const std::uint32_t pixelOffset = 14 + headerSize + 4 * static_cast<std::uint32_t>(colours.size());
    const std::uint32_t fileSize = pixelOffset + static_cast<std::uint32_t>(rle.size());
    std::vector<unsigned char> out;
    out.push_back('B');
    out.push_back('M');
    putU32(out, fileSize);
    putU16(out, 0);
    putU16(out, 0);
    putU32(out, pixelOffset);

    putU32(out, headerSize);
    putU32(out, static_cast<std::uint32_t>(width));
    putU32(out, static_cast<std::uint32_t>(height));
    putU16(out, 1);  // planes
    putU16(out, 8);  // bits per pixel
    putU32(out, 1);  // RLE8
    putU32(out, static_cast<std::uint32_t>(rle.size()));
    putU32(out, 11811);  // 300 dpi, both ways
    putU32(out, 11811);
    putU32(out, static_cast<std::uint32_t>(colours.size()));  // colours used
    putU32(out, static_cast<std::uint32_t>(colours.size()));  // colours important
    for (int mask = 0; mask < 4; ++mask) putU32(out, 0);      // no bit fields
    putU32(out, 0x73524742);                                  // 'sRGB'
    for (int endpoint = 0; endpoint < 9; ++endpoint) putU32(out, 0);
    for (int gamma = 0; gamma < 3; ++gamma) putU32(out, 0);
    putU32(out, 2);  // rendering intent: graphics
    putU32(out, 0);  // no profile
    putU32(out, 0);
    putU32(out, 0);  // reserved

    for (const Bgr& colour : colours) {
        out.push_back(colour.blue);
        out.push_back(colour.green);
        out.push_back(colour.red);
        out.push_back(0);
    }
    out.insert(out.end(), rle.begin(), rle.end());
    return out;
}

}  // namespace qt_test
