#!/usr/bin/env python3
"""Draws Vellumite's artwork and writes it in the forms the program stores.

    python3 resources/make_art.py [OUTPUT_DIR]

Writes, into OUTPUT_DIR (this folder when not given):
  help_picture.bmp  210 x 259, 8 bits per pixel, RLE8, BITMAPV5HEADER: the help window's
                    picture, the emblem above the wordmark on plain white
  icon.ico          48 x 48, 256 colours: the emblem, for the Windows executable
  icon.png          48 x 48 with alpha: the same emblem, for the Linux build

The emblem is a sheet of vellum whose ruled bands fill from the bottom up, in steps of
a blue-to-green gradient: a volume being filled block by block.

PIL cannot write RLE8 nor an 8-bit icon, so both are encoded here; each output is then
read back (by the decoders below and by PIL) and compared pixel by pixel with what was
drawn. The output depends only on this script, the installed DejaVu font and PIL, so
running it again gives the same bytes.
"""

import io
import math
import os
import pathlib
import struct
import sys

try:
    from PIL import Image, ImageDraw, ImageFont
except ImportError:
    # Debian's python3-pil belongs to Debian's interpreter; another python3 may be first
    # on PATH.
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3", *sys.argv])
    raise

HERE = pathlib.Path(__file__).resolve().parent

PICTURE_WIDTH, PICTURE_HEIGHT = 210, 259
ICON_SIZE = 48
SUPERSAMPLE = 4  # drawn this many times larger, then averaged down: smooth edges

WHITE = (255, 255, 255)
INK = (35, 57, 91)            # outline and wordmark: deep slate blue
VELLUM = (251, 246, 233)      # the sheet
VELLUM_FOLD = (230, 220, 194)  # the folded-over corner
EMPTY_BAND = (221, 213, 192)  # a band not yet filled
FILL_STEPS = [                # bottom band first
    (36, 76, 170),
    (35, 122, 196),
    (28, 160, 168),
    (74, 190, 128),
]

WORDMARK = "VELLUMITE"
# Debian's fonts-dejavu-core. No fallback: another face would give other bytes.
WORDMARK_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

BI_RLE8 = 1
LCS_SRGB = 0x73524742
LCS_GM_GRAPHICS = 2
PIXELS_PER_METRE = 11811  # 300 dpi


# ---------------------------------------------------------------- drawing

def draw_emblem(draw, left, top, width, height, line=None):
    """The emblem in the box (left, top, width, height), in pixels of the drawing, with
    an outline `line` pixels wide (by default in proportion to the size)."""
    size = min(width, height)

    def x(u):
        return left + u * width

    def y(v):
        return top + v * height

    line = 0.055 * size if line is None else line
    diagonal_inset = line * math.sqrt(2)
    x0, y0, x1, y1, fold = x(0.16), y(0.04), x(0.84), y(0.96), 0.26 * size
    # The sheet: a page with its top right corner folded over, drawn as an ink shape
    # with the vellum inset into it, so that the outline keeps one width everywhere.
    # Its folded edge is the line x - y = edge.
    edge = x1 - fold - y0
    draw.polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)], fill=INK)
    draw.polygon([(x0 + line, y0 + line),
                  (edge - diagonal_inset + y0 + line, y0 + line),
                  (x1 - line, x1 - line - edge + diagonal_inset),
                  (x1 - line, y1 - line), (x0 + line, y1 - line)], fill=VELLUM)
    # The flap, its right angle at the bottom left, with a thinner outline of its own.
    flap_line = 0.5 * line
    flap_inset = flap_line * math.sqrt(2)
    draw.polygon([(x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold)], fill=INK)
    draw.polygon([(x1 - fold + flap_line, y0 + flap_line + flap_inset),
                  (x1 - fold + flap_line, y0 + fold - flap_line),
                  (x1 - flap_line - flap_inset, y0 + fold - flap_line)], fill=VELLUM_FOLD)

    # Five ruled bands; the bottom four are filled, the top one is filling.
    band_left, band_right = 0.27, 0.73
    band_height, band_gap = 0.07, 0.037
    bottom = 0.855
    radius = 0.02 * size
    for index in range(5):
        band_bottom = bottom - index * (band_height + band_gap)
        box = [x(band_left), y(band_bottom - band_height), x(band_right), y(band_bottom)]
        if index < len(FILL_STEPS):
            draw.rounded_rectangle(box, radius=radius, fill=FILL_STEPS[index])
        else:
            draw.rounded_rectangle(box, radius=radius, fill=EMPTY_BAND)
            part = [box[0], box[1], x(band_left + 0.45 * (band_right - band_left)), box[3]]
            draw.rounded_rectangle(part, radius=radius, fill=FILL_STEPS[-1])


def wordmark_font(height):
    if not os.path.exists(WORDMARK_FONT):
        sys.exit(f"make_art.py: {WORDMARK_FONT} is missing; install fonts-dejavu-core")
    return ImageFont.truetype(WORDMARK_FONT, height)


def draw_help_picture():
    s = SUPERSAMPLE
    image = Image.new("RGB", (PICTURE_WIDTH * s, PICTURE_HEIGHT * s), WHITE)
    draw = ImageDraw.Draw(image)
    emblem = 150
    draw_emblem(draw, (PICTURE_WIDTH - emblem) / 2 * s, 12 * s, emblem * s, emblem * s)

    # The wordmark, centred under the emblem.
    font = wordmark_font(29 * s)
    left, top, right, bottom = draw.textbbox((0, 0), WORDMARK, font=font)
    text_x = (PICTURE_WIDTH * s - (right - left)) / 2 - left
    text_y = 182 * s - top
    draw.text((text_x, text_y), WORDMARK, font=font, fill=INK)

    # Under it, the fill steps once more as a ruler.
    rule_top, rule_height = 226, 5
    rule_left, rule_right = 28, PICTURE_WIDTH - 28
    step = (rule_right - rule_left) / len(FILL_STEPS)
    for index, colour in enumerate(FILL_STEPS):
        draw.rectangle([(rule_left + index * step) * s, rule_top * s,
                        (rule_left + (index + 1) * step) * s - 1,
                        (rule_top + rule_height) * s - 1], fill=colour)
    return image.reduce(s)


def draw_icon():
    """48 x 48 RGBA. The transparent surround carries the ink colour, so that averaging
    the supersampled edge blends the outline with itself, not with black."""
    s = SUPERSAMPLE
    image = Image.new("RGBA", (ICON_SIZE * s, ICON_SIZE * s), INK + (0,))
    draw = ImageDraw.Draw(image)
    # Wider than the square, so that the sheet itself spans most of the 48 pixels; its
    # edges then fall on whole pixels, and a 3-pixel outline keeps them crisp.
    width = 56 * s
    draw_emblem(draw, (ICON_SIZE * s - width) / 2, 0, width, ICON_SIZE * s, line=3 * s)
    return image.reduce(s)


# ---------------------------------------------------------------- palette

def to_indexed(image, colours):
    """Maps an RGB image onto a palette of at most `colours` entries, without dithering.
    The entry nearest to white is made pure white, so the background stays 255,255,255.
    Returns (palette as a list of 256 RGB triples, list of rows of indices)."""
    first = image.quantize(colors=colours, method=Image.Quantize.MEDIANCUT,
                           dither=Image.Dither.NONE)
    flat = first.getpalette()[:colours * 3]
    flat += [0] * (colours * 3 - len(flat))
    palette = [tuple(flat[i:i + 3]) for i in range(0, colours * 3, 3)]
    nearest_white = min(range(colours),
                        key=lambda i: sum((255 - c) ** 2 for c in palette[i]))
    palette[nearest_white] = WHITE
    # Nearest entry by our own exact search (PIL's own mapping onto a given palette
    # works at reduced precision).
    nearest = {}
    for colour in set(image.getdata()):
        nearest[colour] = min(range(colours), key=lambda i: (
            sum((a - b) ** 2 for a, b in zip(colour, palette[i])), i))
    width, height = image.size
    pixels = list(image.getdata())
    rows = [[nearest[pixels[r * width + c]] for c in range(width)] for r in range(height)]
    palette += [(0, 0, 0)] * (256 - len(palette))
    return palette, rows


def palette_bytes(palette):
    return b"".join(bytes((blue, green, red, 0)) for red, green, blue in palette)


# ---------------------------------------------------------------- RLE8

def encode_rle8_row(row):
    """One row as RLE8: encoded runs (count, index) for repeats, absolute runs
    (0, count, indices..., padded to a word) for 3 or more differing indices."""
    out = bytearray()
    i, n = 0, len(row)
    while i < n:
        run = 1
        while i + run < n and run < 255 and row[i + run] == row[i]:
            run += 1
        if run >= 2:
            out += bytes((run, row[i]))
            i += run
            continue
        # Differing indices up to the next repeat (or 255 of them).
        end = i
        while end < n and end - i < 255 and not (end + 1 < n and row[end + 1] == row[end]):
            end += 1
        literal = row[i:end]
        if len(literal) >= 3:
            out += bytes((0, len(literal))) + bytes(literal)
            if len(literal) % 2:
                out.append(0)
        else:
            for value in literal:
                out += bytes((1, value))
        i = end
    return bytes(out)


def encode_rle8(rows_top_down):
    """The whole picture bottom-up, an end-of-line after every row, end-of-bitmap last."""
    out = bytearray()
    for row in reversed(rows_top_down):
        out += encode_rle8_row(row) + b"\x00\x00"
    return bytes(out + b"\x00\x01")


def decode_rle8(data, width, height):
    """Our own expander, strict: every run must stay inside the picture and the stream
    must end with end-of-bitmap. Returns rows top-down; raises ValueError otherwise."""
    pixels = [[None] * width for _ in range(height)]
    x = y = 0  # y counts rows from the bottom
    i = 0

    def put(value):
        nonlocal x
        if y >= height or x >= width:
            raise ValueError(f"run past the picture at x={x} y={y}")
        pixels[height - 1 - y][x] = value
        x += 1

    while True:
        if i + 2 > len(data):
            raise ValueError("stream ends without end-of-bitmap")
        count, value = data[i], data[i + 1]
        i += 2
        if count:
            for _ in range(count):
                put(value)
        elif value == 0:
            x, y = 0, y + 1
        elif value == 1:
            break
        elif value == 2:
            if i + 2 > len(data):
                raise ValueError("truncated delta")
            x, y = x + data[i], y + data[i + 1]
            i += 2
        else:
            if i + value > len(data):
                raise ValueError("truncated absolute run")
            for k in range(value):
                put(data[i + k])
            i += value + (value % 2)
    if i != len(data):
        raise ValueError("bytes after end-of-bitmap")
    if any(p is None for row in pixels for p in row):
        raise ValueError("pixels left unset")
    return pixels


# ---------------------------------------------------------------- files

def bmp_file(palette, rows):
    height, width = len(rows), len(rows[0])
    pixel_data = encode_rle8(rows)
    offset = 14 + 124 + 256 * 4
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixel_data), 0, 0, offset)
    v5_header = struct.pack(
        "<IiiHHIIiiII"   # size .. important colours
        "IIII"           # red, green, blue, alpha masks
        "I"              # colour space type
        "36s"            # endpoints
        "III"            # gammas
        "IIII",          # intent, profile data, profile size, reserved
        124, width, height, 1, 8, BI_RLE8, len(pixel_data),
        PIXELS_PER_METRE, PIXELS_PER_METRE, 256, 256,
        0, 0, 0, 0,
        LCS_SRGB,
        bytes(36),
        0, 0, 0,
        LCS_GM_GRAPHICS, 0, 0, 0)
    assert len(v5_header) == 124
    return file_header + v5_header + palette_bytes(palette) + pixel_data


def ico_file(palette, rows, opaque):
    """One 8-bit image: BITMAPINFOHEADER with the doubled height, palette, XOR rows and
    the AND mask (1 = transparent), both bottom-up, rows padded to 4 bytes."""
    size = len(rows)
    xor = b"".join(bytes(row) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(opaque):
        bits = bytearray(mask_stride)
        for column, is_opaque in enumerate(row):
            if not is_opaque:
                bits[column // 8] |= 0x80 >> (column % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(mask),
                       0, 0, 256, 0)
    image = info + palette_bytes(palette) + xor + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def icon_indexed(rgba):
    """The icon on a palette of 255 colours plus entry 0, black, for the transparent
    pixels (their XOR value must be 0 where the AND mask is set)."""
    opaque = [[rgba.getpixel((c, r))[3] >= 128 for c in range(ICON_SIZE)]
              for r in range(ICON_SIZE)]
    rgb = Image.new("RGB", rgba.size, WHITE)
    rgb.paste(rgba.convert("RGB"), mask=Image.eval(rgba.getchannel("A"),
                                                   lambda a: 255 if a >= 128 else 0))
    palette, rows = to_indexed(rgb, 255)
    palette = [(0, 0, 0)] + palette[:255]
    rows = [[value + 1 if opaque[r][c] else 0 for c, value in enumerate(row)]
            for r, row in enumerate(rows)]
    return palette, rows, opaque


# ---------------------------------------------------------------- checks

def check_help_picture(data, palette, rows):
    fields = struct.unpack_from("<2sIHHIIiiHHIIiiII", data, 0)
    signature, file_size, _, _, offset, header_size, width, height = fields[:8]
    assert signature == b"BM" and file_size == len(data) and offset == 1162
    assert header_size == 124 and (width, height) == (PICTURE_WIDTH, PICTURE_HEIGHT)
    decoded = decode_rle8(data[offset:], width, height)
    assert decoded == rows, "RLE8 stream does not decode to the drawing"
    for r, c in [(0, 0), (0, width - 1), (height - 1, 0), (height - 1, width - 1)]:
        assert palette[decoded[r][c]] == WHITE, "corner pixel is not pure white"
    with Image.open(io.BytesIO(data)) as opened:
        opened.load()
        assert opened.size == (width, height)
        seen = opened.convert("RGB")
        for r in range(height):
            for c in range(width):
                assert seen.getpixel((c, r)) == palette[rows[r][c]], "PIL reads it otherwise"


def check_icon(data, palette, rows, opaque):
    with Image.open(io.BytesIO(data)) as opened:
        opened.load()
        assert opened.size == (ICON_SIZE, ICON_SIZE)
        seen = opened.convert("RGBA")
        for r in range(ICON_SIZE):
            for c in range(ICON_SIZE):
                pixel = seen.getpixel((c, r))
                if opaque[r][c]:
                    assert pixel == palette[rows[r][c]] + (255,), "icon colour differs"
                else:
                    assert pixel[3] == 0, "icon surround is not transparent"


def main():
    out_dir = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else HERE
    out_dir.mkdir(parents=True, exist_ok=True)

    picture = draw_help_picture()
    palette, rows = to_indexed(picture, 256)
    bmp = bmp_file(palette, rows)
    check_help_picture(bmp, palette, rows)
    (out_dir / "help_picture.bmp").write_bytes(bmp)

    icon = draw_icon()
    icon_palette, icon_rows, opaque = icon_indexed(icon)
    ico = ico_file(icon_palette, icon_rows, opaque)
    check_icon(ico, icon_palette, icon_rows, opaque)
    (out_dir / "icon.ico").write_bytes(ico)

    png = io.BytesIO()
    icon.save(png, format="PNG")
    (out_dir / "icon.png").write_bytes(png.getvalue())

    print(f"help_picture.bmp {len(bmp)} bytes, icon.ico {len(ico)} bytes, "
          f"icon.png {len(png.getvalue())} bytes, in {out_dir}")


if __name__ == "__main__":
    main()
