// BMP decoding of the Win32 toolkit: RLE8 with a V5 header as the help picture is
// stored, an uncompressed file, files that run short or lie, and pictures showing
// the images.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "resources/stored_data.h"
#include "tests/win32/toolkit_test_support.h"

namespace toolkit_test {
namespace {

using platform::ControlKind;
using platform::Rect;

class BmpWriter {
public:
    void u8(unsigned value) { bytes.push_back(static_cast<unsigned char>(value)); }
    void u16(unsigned value) {
        u8(value & 0xFF);
        u8((value >> 8) & 0xFF);
    }
    void u32(std::uint32_t value) {
        u16(value & 0xFFFF);
        u16(value >> 16);
    }
    void zeros(std::size_t count) { bytes.insert(bytes.end(), count, 0); }
    void at32(std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
    std::vector<unsigned char> bytes;
};

constexpr COLORREF white = RGB(255, 255, 255);
constexpr COLORREF red = RGB(255, 0, 0);
constexpr COLORREF green = RGB(0, 255, 0);
constexpr COLORREF blue = RGB(0, 0, 255);

// 5 x 3 pixels, 8 bits, RLE8, BITMAPV5HEADER with sRGB, four colours; rows bottom-up:
// an encoded run of 5, an absolute run of 3 (padded) and a run of 2, then two runs.
std::vector<unsigned char> rle8File() {
    const unsigned char stream[] = {
        0x05, 0x01, 0x00, 0x00,                          // bottom: 5 x red; end of line
        0x00, 0x03, 0x02, 0x03, 0x02, 0x00, 0x02, 0x00,  // green blue green (pad), 2 x white
        0x00, 0x00,                                      // end of line
        0x01, 0x03, 0x04, 0x02,                          // top: blue, 4 x green
        0x00, 0x01};                                     // end of bitmap
    const COLORREF table[] = {white, red, green, blue};
    const std::uint32_t offset = 14 + 124 + 4 * 4;
    BmpWriter w;
    w.u8('B');
    w.u8('M');
    w.u32(offset + sizeof(stream));
    w.u16(0);
    w.u16(0);
    w.u32(offset);
    w.u32(124);      // BITMAPV5HEADER
    w.u32(5);        // width
    w.u32(3);        // height, bottom-up
    w.u16(1);        // planes
    w.u16(8);        // bits per pixel
    w.u32(BI_RLE8);  // compression
    w.u32(sizeof(stream));
    w.u32(11811);
    w.u32(11811);
    w.u32(4);           // colours used
    w.u32(4);           // colours important
    w.zeros(16);        // masks
    w.u32(0x73524742);  // LCS_sRGB
    w.zeros(36 + 12);   // end points, gamma
    w.u32(LCS_GM_GRAPHICS);
    w.zeros(12);  // profile data, profile size, reserved
    for (COLORREF colour : table) {
        w.u8(GetBValue(colour));
        w.u8(GetGValue(colour));
        w.u8(GetRValue(colour));
        w.u8(0);
    }
    w.bytes.insert(w.bytes.end(), std::begin(stream), std::end(stream));
    return w.bytes;
}

const std::vector<std::vector<COLORREF>> rle8Rows = {  // top row first
    {blue, green, green, green, green},
    {green, blue, green, white, white},
    {red, red, red, red, red}};

// 2 x 2 pixels, 24 bits, uncompressed, BITMAPINFOHEADER; rows padded to 8 bytes.
std::vector<unsigned char> rgb24File() {
    BmpWriter w;
    w.u8('B');
    w.u8('M');
    w.u32(14 + 40 + 16);
    w.u32(0);
    w.u32(14 + 40);
    w.u32(40);
    w.u32(2);
    w.u32(2);
    w.u16(1);
    w.u16(24);
    w.u32(BI_RGB);
    w.u32(0);
    w.zeros(16);
    const COLORREF bottom[] = {red, green};
    const COLORREF top[] = {blue, white};
    for (const COLORREF* row : {bottom, top}) {
        for (int x = 0; x < 2; ++x) {
            w.u8(GetBValue(row[x]));
            w.u8(GetGValue(row[x]));
            w.u8(GetRValue(row[x]));
        }
        w.zeros(2);
    }
    return w.bytes;
}

// The pixels of a bitmap, top row first, as GDI hands them out.
std::vector<std::vector<COLORREF>> pixelsOf(HBITMAP bitmap) {
    BITMAP size = {};
    if (GetObjectW(bitmap, sizeof(size), &size) == 0) return {};
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.bmWidth;
    info.bmiHeader.biHeight = -size.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> bits(static_cast<std::size_t>(size.bmWidth) * size.bmHeight);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, size.bmHeight, bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != size.bmHeight) return {};
    std::vector<std::vector<COLORREF>> pixels(size.bmHeight);
    for (int y = 0; y < size.bmHeight; ++y) {
        for (int x = 0; x < size.bmWidth; ++x) {
            const std::uint32_t value = bits[static_cast<std::size_t>(y) * size.bmWidth + x];
            pixels[y].push_back(RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF));
        }
    }
    return pixels;
}

class ImagesTest : public ToolkitTest {
protected:
    HWND window = nullptr;
    HWND picture = nullptr;

    void SetUp() override {
        window = makeWindow(16, L"Vellumite images test", 0xFFFFFF);
        ASSERT_NE(window, nullptr);
        picture = makeControl(window, 16, 18, ControlKind::Picture, L"", {591, 130, 210, 400});
    }

    HBITMAP shownBitmap() const {
        return reinterpret_cast<HBITMAP>(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    }

    bool load(const std::vector<unsigned char>& file) {
        return toolkit->loadBmpImage(19, file.data(), file.size());
    }
};

TEST_F(ImagesTest, Rle8WithV5HeaderDecodesToItsSizeAndColours) {
    ASSERT_TRUE(load(rle8File()));
    EXPECT_TRUE(toolkit->imageExists(19));
    toolkit->setPictureImage(18, 19);
    EXPECT_EQ(pixelsOf(shownBitmap()), rle8Rows);

    // The picture takes the image's pixel size at its place.
    RECT bounds = {};
    GetWindowRect(picture, &bounds);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&bounds), 2);
    EXPECT_EQ(bounds.right - bounds.left, 5);
    EXPECT_EQ(bounds.bottom - bounds.top, 3);
    EXPECT_EQ(bounds.left, px(591));
    EXPECT_EQ(bounds.top, py(130));
}

TEST_F(ImagesTest, HelpPictureDecodesToItsSizeWithWhiteCorners) {
    const StoredBlock stored = helpImageBlock();
    ASSERT_TRUE(toolkit->loadBmpImage(19, stored.data, stored.size));
    toolkit->setPictureImage(18, 19);
    const std::vector<std::vector<COLORREF>> pixels = pixelsOf(shownBitmap());
    ASSERT_EQ(pixels.size(), 259u);
    ASSERT_EQ(pixels.front().size(), 210u);
    for (COLORREF corner : {pixels.front().front(), pixels.front().back(), pixels.back().front(),
                            pixels.back().back()}) {
        EXPECT_EQ(corner, white);
    }
    const Rect shown = toolkit->controlRect(18);
    EXPECT_EQ(shown.width, platform::pixelsToUnits(210, toolkit->dpiX()));
    EXPECT_EQ(shown.height, platform::pixelsToUnits(259, toolkit->dpiY()));
}

TEST_F(ImagesTest, UncompressedFileDecodes) {
    ASSERT_TRUE(load(rgb24File()));
    toolkit->setPictureImage(18, 19);
    const std::vector<std::vector<COLORREF>> expected = {{blue, white}, {red, green}};
    EXPECT_EQ(pixelsOf(shownBitmap()), expected);
}

TEST_F(ImagesTest, FilesThatRunShortOrLieAreRefused) {
    using Edit = std::function<void(std::vector<unsigned char>&)>;
    auto set32 = [](std::size_t offset, std::uint32_t value) {
        return Edit([=](std::vector<unsigned char>& f) {
            for (int i = 0; i < 4; ++i) f[offset + i] = static_cast<unsigned char>(value >> (8 * i));
        });
    };
    auto set16 = [](std::size_t offset, unsigned value) {
        return Edit([=](std::vector<unsigned char>& f) {
            f[offset] = static_cast<unsigned char>(value);
            f[offset + 1] = static_cast<unsigned char>(value >> 8);
        });
    };
    const struct {
        const char* what;
        Edit edit;
    } cases[] = {
        {"empty", [](std::vector<unsigned char>& f) { f.clear(); }},
        {"cut inside the header", [](std::vector<unsigned char>& f) { f.resize(60); }},
        {"cut inside the colour table", [](std::vector<unsigned char>& f) { f.resize(14 + 124 + 6); }},
        {"no signature", [](std::vector<unsigned char>& f) { f[1] = 'N'; }},
        {"unknown header size", set32(14, 64)},
        {"header larger than the file", set32(14, 0x10000000)},
        {"pixels at the end", [](std::vector<unsigned char>& f) {
             const auto size = static_cast<std::uint32_t>(f.size());
             for (int i = 0; i < 4; ++i) f[10 + i] = static_cast<unsigned char>(size >> (8 * i));
         }},
        {"pixels inside the colour table", set32(10, 14 + 124 + 4)},
        {"pixels far beyond", set32(10, 0xFFFFFFF0u)},
        {"zero width", set32(18, 0)},
        {"negative width", set32(18, 0xFFFFFFFBu)},
        {"top-down run-length data", set32(22, static_cast<std::uint32_t>(-3))},
        {"huge", set32(18, 100000)},
        {"more colours than 8 bits hold", set32(46, 300)},
        {"odd bit count", set16(28, 7)},
        {"RLE8 of 4-bit pixels", set16(28, 4)},
        {"unknown compression", set32(30, 9)},
        {"two planes", set16(26, 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<unsigned char> file = rle8File();
        c.edit(file);
        EXPECT_FALSE(toolkit->loadBmpImage(19, file.data(), file.size()));
        EXPECT_FALSE(toolkit->imageExists(19));
    }
    EXPECT_FALSE(toolkit->loadBmpImage(19, nullptr, 100));

    std::vector<unsigned char> shortPixels = rgb24File();
    shortPixels.resize(shortPixels.size() - 1);
    EXPECT_FALSE(load(shortPixels));

    // 8 bits without a colour count need all 256 entries.
    std::vector<unsigned char> fewColours = rle8File();
    for (int i = 0; i < 4; ++i) fewColours[46 + i] = 0;
    EXPECT_FALSE(load(fewColours));
}

TEST_F(ImagesTest, RunLengthStreamCutShortStaysInsideTheData) {
    // The stream claims more bytes than the file holds; only what is there is read.
    std::vector<unsigned char> file = rle8File();
    file.resize(file.size() - 7);
    const bool loaded = load(file);
    EXPECT_EQ(toolkit->imageExists(19), loaded);
}

TEST_F(ImagesTest, ReloadingReplacesTheImageInItsPicturesAndAFailureLeavesNone) {
    ASSERT_TRUE(load(rle8File()));
    toolkit->setPictureImage(18, 19);
    const HBITMAP first = shownBitmap();
    ASSERT_NE(first, nullptr);

    ASSERT_TRUE(load(rgb24File()));
    const HBITMAP second = shownBitmap();
    EXPECT_NE(second, first);
    EXPECT_EQ(pixelsOf(second).size(), 2u);

    std::vector<unsigned char> broken = rle8File();
    broken[0] = 'X';
    EXPECT_FALSE(load(broken));
    EXPECT_FALSE(toolkit->imageExists(19));
    EXPECT_EQ(shownBitmap(), nullptr);
    EXPECT_EQ(GetObjectType(second), 0u);  // released

    // A picture asked to show a missing image keeps its asked size.
    EXPECT_FALSE(toolkit->imageExists(42));
    makeControl(window, 16, 20, ControlKind::Picture, L"", {0, 0, 210, 400});
    toolkit->setPictureImage(20, 42);
    EXPECT_EQ(toolkit->controlRect(20).width, 210);
    EXPECT_EQ(toolkit->controlRect(20).height, 400);
}

}  // namespace
}  // namespace toolkit_test
