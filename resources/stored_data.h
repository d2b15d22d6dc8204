#pragma once
// The program's stored data, compiled into the executable from the files in this
// folder: nothing is read from disk at run time. Each block is the exact bytes of
// its file, without a terminator, and lives as long as the program.

#include <cstddef>

struct StoredBlock {
    const unsigned char* data;
    std::size_t size;
};

// disclaimer.txt: 849 bytes of 7-bit ASCII, 7 lines separated by LF.
StoredBlock disclaimerTextBlock();
// help.txt: 2,638 bytes of 7-bit ASCII, 32 lines each ending with CR LF.
StoredBlock helpTextBlock();
// help_picture.bmp: a complete BMP file, 210 x 259, 8 bits per pixel, RLE8.
StoredBlock helpImageBlock();
// icon.png: the program's 48 x 48 icon, for toolkits that take it as an image file.
StoredBlock programIconBlock();
