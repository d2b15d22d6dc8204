// The stored help picture and program icon: the BMP's header fields as the help
// window's decoder reads them, and its RLE8 pixel data expanded by a strict expander
// of this test's own.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resources/stored_data.h"

namespace {

constexpr std::size_t pixelOffset = 14 + 124 + 256 * 4;
constexpr int pictureWidth = 210;
constexpr int pictureHeight = 259;

std::uint32_t readU16(StoredBlock block, std::size_t at) {
    if (at + 2 > block.size) return 0xFFFFFFFF;
    return std::uint32_t(block.data[at]) | std::uint32_t(block.data[at + 1]) << 8;
}

std::uint32_t readU32(StoredBlock block, std::size_t at) {
    if (at + 4 > block.size) return 0xFFFFFFFF;
    return readU16(block, at) | readU16(block, at + 2) << 16;
}

// Expands an RLE8 stream of a bottom-up picture into palette indices, rows top-down.
// Answers nothing when a run would leave the picture, the stream is cut short, bytes
// follow the end-of-bitmap code, or a pixel is left unset.
std::optional<std::vector<int>> expandRle8(const unsigned char* data, std::size_t size,
                                           int width, int height) {
    std::vector<int> pixels(std::size_t(width) * height, -1);
    int x = 0;
    int y = 0;  // rows counted from the bottom
    std::size_t at = 0;
    auto put = [&](int index) {
        if (x < 0 || x >= width || y < 0 || y >= height) return false;
        pixels[std::size_t(height - 1 - y) * width + x] = index;
        ++x;
        return true;
    };
    for (;;) {
        if (at + 2 > size) return std::nullopt;
        const int count = data[at];
        const int code = data[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                if (!put(code)) return std::nullopt;
        } else if (code == 0) {  // end of line
            x = 0;
            ++y;
        } else if (code == 1) {  // end of bitmap
            break;
        } else if (code == 2) {  // delta
            if (at + 2 > size) return std::nullopt;
            x += data[at];
            y += data[at + 1];
            at += 2;
        } else {  // absolute run, padded to a whole word
            if (at + code > size) return std::nullopt;
            for (int i = 0; i < code; ++i)
                if (!put(data[at + i])) return std::nullopt;
            at += code + (code & 1);
        }
    }
    if (at != size) return std::nullopt;
    for (int index : pixels)
        if (index < 0) return std::nullopt;
    return pixels;
}

TEST(Rle8Expander, AcceptsAWellFormedStreamAndRejectsBrokenOnes) {
    // 4 x 2: bottom row an encoded run, top row an absolute run.
    const std::vector<unsigned char> good = {4, 7, 0, 0, 0, 3, 1, 2, 3, 0, 1, 9, 0, 0, 0, 1};
    const auto pixels = expandRle8(good.data(), good.size(), 4, 2);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(*pixels, (std::vector<int>{1, 2, 3, 9, 7, 7, 7, 7}));

    const std::vector<std::vector<unsigned char>> broken = {
        {5, 7, 0, 0, 4, 1, 0, 1},                    // a run past the end of the row
        {4, 7, 0, 0, 4, 1, 0, 0, 4, 1, 0, 1},        // a row above the picture
        {4, 7, 0, 0, 4, 1},                          // no end-of-bitmap
        {4, 7, 0, 0, 0, 1},                          // the top row never written
        {4, 7, 0, 0, 4, 1, 0, 1, 0, 0},              // bytes after end-of-bitmap
        {4, 7, 0, 0, 0, 4, 1, 2},                    // an absolute run cut short
    };
    for (const auto& stream : broken)
        EXPECT_FALSE(expandRle8(stream.data(), stream.size(), 4, 2));
}

TEST(HelpPicture, HasTheHeadersOfAnRle8BitmapV5File) {
    const StoredBlock bmp = helpImageBlock();
    ASSERT_GT(bmp.size, pixelOffset + 2);
    EXPECT_EQ(bmp.data[0], 'B');
    EXPECT_EQ(bmp.data[1], 'M');
    EXPECT_EQ(readU32(bmp, 2), bmp.size) << "file size";
    EXPECT_EQ(readU32(bmp, 6), 0u) << "reserved words";
    EXPECT_EQ(readU32(bmp, 10), pixelOffset);

    struct Field { std::size_t offset; std::uint32_t value; const char* name; };
    const std::uint32_t imageSize = std::uint32_t(bmp.size - pixelOffset);
    const std::array<Field, 17> fields = {{
        {14, 124, "header size (BITMAPV5HEADER)"},
        {18, pictureWidth, "width"},
        {22, pictureHeight, "height, positive: bottom-up"},
        {38, 11811, "horizontal pixels per metre"},
        {42, 11811, "vertical pixels per metre"},
        {46, 256, "colours used"},
        {50, 256, "colours important"},
        {34, imageSize, "size of the compressed pixel data"},
        {30, 1, "compression BI_RLE8"},
        {54, 0, "red mask"},
        {58, 0, "green mask"},
        {62, 0, "blue mask"},
        {66, 0, "alpha mask"},
        {70, 0x73524742, "colour space LCS_sRGB"},
        {122, 2, "intent LCS_GM_GRAPHICS"},
        {126, 0, "profile data"},
        {130, 0, "profile size"},
    }};
    for (const Field& field : fields)
        EXPECT_EQ(readU32(bmp, field.offset), field.value) << field.name;
    EXPECT_EQ(readU16(bmp, 26), 1u) << "planes";
    EXPECT_EQ(readU16(bmp, 28), 8u) << "bits per pixel";
    for (std::size_t at = 74; at < 122; at += 4)
        EXPECT_EQ(readU32(bmp, at), 0u) << "endpoints and gammas, offset " << at;
    EXPECT_EQ(readU32(bmp, 134), 0u) << "reserved";
    for (std::size_t entry = 0; entry < 256; ++entry)
        EXPECT_EQ(bmp.data[14 + 124 + entry * 4 + 3], 0) << "colour table entry " << entry;

    EXPECT_EQ(bmp.data[bmp.size - 2], 0x00);
    EXPECT_EQ(bmp.data[bmp.size - 1], 0x01) << "the stream ends with end-of-bitmap";
}

TEST(HelpPicture, ExpandsTo210By259PixelsWithPureWhiteCorners) {
    const StoredBlock bmp = helpImageBlock();
    ASSERT_GT(bmp.size, pixelOffset);
    const auto pixels = expandRle8(bmp.data + pixelOffset, bmp.size - pixelOffset,
                                   pictureWidth, pictureHeight);
    ASSERT_TRUE(pixels) << "the RLE8 stream does not expand to 210 x 259 pixels";

    auto colourAt = [&](int x, int y) {
        const int index = (*pixels)[std::size_t(y) * pictureWidth + x];
        const unsigned char* entry = bmp.data + 14 + 124 + index * 4;
        return std::array<int, 3>{entry[2], entry[1], entry[0]};  // stored blue, green, red
    };
    const std::array<int, 3> white = {255, 255, 255};
    EXPECT_EQ(colourAt(0, 0), white);
    EXPECT_EQ(colourAt(pictureWidth - 1, 0), white);
    EXPECT_EQ(colourAt(0, pictureHeight - 1), white);
    EXPECT_EQ(colourAt(pictureWidth - 1, pictureHeight - 1), white);

    // Not a blank sheet: the emblem and the wordmark are on it.
    std::size_t notWhite = 0;
    for (int y = 0; y < pictureHeight; ++y)
        for (int x = 0; x < pictureWidth; ++x)
            if (colourAt(x, y) != white) ++notWhite;
    EXPECT_GT(notWhite, std::size_t(pictureWidth * pictureHeight / 10));
}

TEST(ProgramIcon, IsA48By48Png) {
    const StoredBlock png = programIconBlock();
    const std::array<unsigned char, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GT(png.size, 33u);
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.data));
    auto bigEndian = [&](std::size_t at) {
        return std::uint32_t(png.data[at]) << 24 | std::uint32_t(png.data[at + 1]) << 16 |
               std::uint32_t(png.data[at + 2]) << 8 | std::uint32_t(png.data[at + 3]);
    };
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(png.data + 12), 4), "IHDR");
    EXPECT_EQ(bigEndian(16), 48u) << "width";
    EXPECT_EQ(bigEndian(20), 48u) << "height";
}

}  // namespace
