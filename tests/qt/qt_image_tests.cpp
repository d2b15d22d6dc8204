// BMP decoding (RLE8 behind a version-5 header), the picture control, fonts, and
// the help window's look as Qt draws it.
#include <QBuffer>
#include <QDir>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <cstdlib>
#include <string>

#include "tests/qt/bmp_writer.h"
#include "tests/qt/qt_toolkit_fixture.h"

namespace qt_test {
namespace {

using platform::ControlKind;
using platform::Rect;

const std::vector<Bgr> palette = {
    {255, 255, 255},  // 0 white
    {0, 0, 255},      // 1 red
    {0, 255, 0},      // 2 green
    {255, 0, 0},      // 3 blue
};
constexpr QRgb white = 0xFFFFFFFF, red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF;

// 5 x 3, rows bottom-up. Every kind of RLE8 code: a run, an absolute run of odd
// length (padded to a word), end of line, a delta, end of bitmap.
const std::vector<unsigned char> fiveByThree = {
    0x05, 0x01, 0x00, 0x00,                    // bottom row: five red; end of line
    0x00, 0x03, 0x02, 0x03, 0x02, 0x00,        // middle row: green, blue, green (+ pad)
    0x02, 0x00, 0x00, 0x00,                    //   two white; end of line
    0x01, 0x03, 0x00, 0x02, 0x03, 0x00,        // top row: one blue; skip three
    0x01, 0x01, 0x00, 0x01,                    //   one red; end of bitmap
};

std::vector<unsigned char> fiveByThreeBmp() {
    return rle8BmpV5(5, 3, palette, fiveByThree);
}

constexpr int imageId = 19;

TEST_F(QtToolkitTest, DecodesRle8BehindAVersion5Header) {
    const std::vector<unsigned char> bmp = fiveByThreeBmp();
    ASSERT_TRUE(kit.loadBmpImage(imageId, bmp.data(), bmp.size()));
    ASSERT_TRUE(kit.imageExists(imageId));

    // What the toolkit decoded is what a picture control then shows.
    ASSERT_TRUE(kit.createWindow(16, windowSpec(L"Help", 100, 100)));
    ASSERT_TRUE(kit.createControl(16, 18, ControlKind::Picture, L"", Rect{10, 20, 50, 60}));
    kit.setPictureImage(18, imageId);
    auto* picture = findControl<QLabel>(18);
    ASSERT_NE(picture, nullptr);
    const QImage shown = picture->pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(5, 3));

    struct Pixel {
        int x, y;
        QRgb colour;
    };
    const Pixel expected[] = {
        {0, 0, blue},  {4, 0, red},                                                 // top
        {0, 1, green}, {1, 1, blue},  {2, 1, green}, {3, 1, white}, {4, 1, white},  // middle
        {0, 2, red},   {2, 2, red},   {4, 2, red},                                  // bottom
    };
    for (const Pixel& pixel : expected) {
        EXPECT_EQ(shown.pixel(pixel.x, pixel.y) | 0xFF000000u, pixel.colour)
            << "pixel " << pixel.x << ", " << pixel.y;
    }
}

TEST_F(QtToolkitTest, DataThatIsNoPictureLeavesNoImageUnderItsNumber) {
    const std::vector<unsigned char> bmp = fiveByThreeBmp();
    ASSERT_TRUE(kit.loadBmpImage(imageId, bmp.data(), bmp.size()));

    const unsigned char text[] = "not a picture at all";
    EXPECT_FALSE(kit.loadBmpImage(imageId, text, sizeof text));
    EXPECT_FALSE(kit.imageExists(imageId)) << "the earlier image is released";

    EXPECT_FALSE(kit.loadBmpImage(imageId, nullptr, 0));
    EXPECT_FALSE(kit.imageExists(imageId));
}

TEST_F(QtToolkitTest, HostileRle8StreamsAreDecodedSafelyOrRefused) {
    const std::vector<std::vector<unsigned char>> streams = {
        {0xFF, 0x01, 0x00, 0x01},                    // a run far past the row's end
        {0x00, 0xFF, 0x01, 0x02, 0x00, 0x01},        // an absolute run longer than the data
        {0x00, 0x02, 0xFF, 0xFF, 0x01, 0x01, 0x00, 0x01},  // a delta beyond the picture
        {0x05, 0x01},                                // no end of bitmap
        {},                                          // no pixel data at all
    };
    for (const std::vector<unsigned char>& stream : streams) {
        const std::vector<unsigned char> bmp = rle8BmpV5(5, 3, palette, stream);
        // Either answer is fine; reading outside the data is not.
        if (kit.loadBmpImage(imageId, bmp.data(), bmp.size())) {
            EXPECT_TRUE(kit.imageExists(imageId));
        }
    }
    // A file cut anywhere in its headers is refused.
    const std::vector<unsigned char> bmp = fiveByThreeBmp();
    for (std::size_t size : {std::size_t{2}, std::size_t{14}, std::size_t{60}, std::size_t{137}}) {
        EXPECT_FALSE(kit.loadBmpImage(imageId, bmp.data(), size)) << size << " bytes";
    }
}

TEST_F(QtToolkitTest, PictureTakesTheImageSizeOrKeepsTheAskedOne) {
    ASSERT_TRUE(kit.createWindow(16, windowSpec(L"Help", 800, 400)));
    ASSERT_TRUE(kit.createControl(16, 18, ControlKind::Picture, L"", Rect{591, 130, 210, 400}));
    kit.setPictureImage(18, imageId);  // nothing loaded under that number
    EXPECT_EQ(kit.controlRect(18), (Rect{591, 130, 210, 400}));

    const std::vector<unsigned char> bmp = fiveByThreeBmp();
    ASSERT_TRUE(kit.loadBmpImage(imageId, bmp.data(), bmp.size()));
    kit.setPictureImage(18, imageId);
    EXPECT_EQ(kit.controlRect(18), (Rect{591, 130, 5, 3}));
    auto* picture = findControl<QLabel>(18);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(picture->alignment(), Qt::AlignLeft | Qt::AlignTop);
}

TEST_F(QtToolkitTest, FontsAreLoadedReplacedAndGivenToControls) {
    ASSERT_TRUE(kit.createWindow(16, windowSpec(L"Help", 800, 400)));
    ASSERT_TRUE(kit.createControl(16, 17, ControlKind::TextBox, L"", Rect{0, 0, 590, 400}));
    auto* box = findControl<QPlainTextEdit>(17);
    ASSERT_NE(box, nullptr);

    // Character height: Qt's pixel size.
    ASSERT_TRUE(kit.loadFont(15, L"Lucida Console", -13));
    kit.setControlFont(17, 15);
    EXPECT_EQ(box->font().pixelSize(), 13);
    EXPECT_EQ(box->font().weight(), QFont::Normal);
    EXPECT_FALSE(box->font().italic());
    EXPECT_EQ(kit.hgHeightPixels(17), QFontMetrics(box->font()).height());

    // Loading under the same number replaces the font.
    ASSERT_TRUE(kit.loadFont(15, L"Lucida Console", -20));
    kit.setControlFont(17, 15);
    EXPECT_EQ(box->font().pixelSize(), 20);

    // A positive height asks for the whole cell: a close match is enough.
    ASSERT_TRUE(kit.loadFont(15, L"No Such Face Anywhere", 24));
    kit.setControlFont(17, 15);
    EXPECT_NEAR(QFontMetrics(box->font()).height(), 24, 2);

    // An unknown font number changes nothing.
    const QFont before = box->font();
    kit.setControlFont(17, 77);
    EXPECT_EQ(box->font(), before);
}

TEST_F(QtToolkitTest, ProgramIconComesFromPngOrBmpData) {
    for (const char* format : {"PNG", "BMP"}) {
        QImage art(48, 48, QImage::Format_RGB32);
        art.fill(format == std::string("PNG") ? Qt::green : Qt::blue);
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(art.save(&buffer, format));
        kit.setProgramIcon(reinterpret_cast<const unsigned char*>(data.constData()),
                           static_cast<std::size_t>(data.size()));

        ASSERT_TRUE(kit.createWindow(1, windowSpec(L"Vellumite 0.1", 100, 100)));
        const QImage shown = findWindow(1)->windowIcon().pixmap(QSize(48, 48)).toImage();
        ASSERT_FALSE(shown.isNull()) << format;
        EXPECT_EQ(shown.pixelColor(24, 24), art.pixelColor(24, 24)) << format;
        kit.destroyWindow(1);
    }
    // Data that is no picture leaves the icon as it was.
    const qint64 before = QApplication::windowIcon().cacheKey();
    const unsigned char text[] = "no icon";
    kit.setProgramIcon(text, sizeof text);
    EXPECT_EQ(QApplication::windowIcon().cacheKey(), before);
}

// The help window as Qt draws it: white background, the text box on the left,
// the picture at its own pixel size at 591, 130. With VELLUMITE_SCREENSHOT_DIR
// set, the picture is also saved there to be looked at.
TEST_F(QtToolkitTest, HelpWindowLook) {
    platform::WindowSpec spec = windowSpec(L"Help", 800, 400);
    spec.centred = true;
    spec.background = 0xFFFFFF;
    ASSERT_TRUE(kit.createWindow(16, spec));
    ASSERT_TRUE(kit.createControl(16, 17, ControlKind::TextBox, L"", Rect{0, 0, 590, 400}));
    ASSERT_TRUE(kit.loadFont(15, L"Lucida Console", -13));
    kit.setControlFont(17, 15);
    std::wstring help;
    for (int line = 0; line < 40; ++line) {
        help += L"Paragraph " + std::to_wstring(line) +
                L": a line of help long enough to be wrapped at the width of the box by the box itself, "
                L"since every paragraph is stored as one line.\r\n";
    }
    kit.setText(17, help);
    kit.insertAtStart(17, L"Vellumite 0.1 (c) the maker\r\n");

    // A larger picture of the same kinds of codes: 40 x 30, a red block on white.
    std::vector<unsigned char> rle;
    for (int row = 0; row < 30; ++row) {
        if (row >= 10 && row < 20) {
            rle.insert(rle.end(), {10, 0, 20, 1, 10, 0});
        } else {
            rle.insert(rle.end(), {40, 0});
        }
        rle.insert(rle.end(), {0, 0});
    }
    rle.insert(rle.end(), {0, 1});
    const std::vector<unsigned char> bmp = rle8BmpV5(40, 30, palette, rle);
    ASSERT_TRUE(kit.loadBmpImage(imageId, bmp.data(), bmp.size()));
    ASSERT_TRUE(kit.createControl(16, 18, ControlKind::Picture, L"", Rect{591, 130, 210, 400}));
    kit.setPictureImage(18, imageId);

    QWidget* window = findWindow(16);
    ASSERT_NE(window, nullptr);
    QCoreApplication::processEvents();  // the box lays its text out and shows its scroll bar
    EXPECT_TRUE(findControl<QPlainTextEdit>(17)->verticalScrollBar()->isVisible());
    const QImage look = window->grab().toImage();
    ASSERT_EQ(look.size(), QSize(800, 400));
    EXPECT_EQ(look.pixel(700, 50) | 0xFF000000u, white) << "white background";
    EXPECT_EQ(look.pixel(591 + 5, 130 + 5) | 0xFF000000u, white) << "the picture's white";
    EXPECT_EQ(look.pixel(591 + 15, 130 + 15) | 0xFF000000u, red) << "the picture's red block";
    EXPECT_EQ(look.pixel(591 + 35, 130 + 15) | 0xFF000000u, white) << "the picture is not scaled";

    if (const char* dir = std::getenv("VELLUMITE_SCREENSHOT_DIR")) {
        look.save(QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("help-window.png")));
    }
}

}  // namespace
}  // namespace qt_test
