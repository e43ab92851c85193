"""Pictures for the end-to-end test, in plain Python so that what the program
wrote is checked by a reader of our own: 24-bit pixels in memory, BMP and
PNG writers, a PNG reader that checks every chunk, the X screen dump (xwd)
reader, and the search for a picture on the screen.
"""

import struct
import zlib


class Image:
    """width x height pixels, rows top to bottom, each pixel the three bytes
    red, green, blue; no padding between rows."""

    def __init__(self, width, height, data=None):
        self.width = width
        self.height = height
        self.data = bytearray(data) if data is not None else bytearray(width * height * 3)
        assert len(self.data) == width * height * 3

    @classmethod
    def from_function(cls, width, height, colour):
        image = cls(width, height)
        d = image.data
        i = 0
        for y in range(height):
            for x in range(width):
                d[i:i + 3] = bytes(colour(x, y))
                i += 3
        return image

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def row(self, y, x0=0, x1=None):
        x1 = self.width if x1 is None else x1
        return bytes(self.data[(y * self.width + x0) * 3:(y * self.width + x1) * 3])

    def crop(self, left, top, right, bottom):
        """Columns left..right-1 of rows top..bottom-1."""
        out = Image(right - left, bottom - top)
        for y in range(top, bottom):
            out.data[(y - top) * out.width * 3:(y - top + 1) * out.width * 3] = self.row(y, left, right)
        return out

    def first_difference(self, other):
        """None when both are equal, else a text naming the first differing pixel."""
        if (self.width, self.height) != (other.width, other.height):
            return "size %dx%d, expected %dx%d" % (other.width, other.height, self.width, self.height)
        if self.data == other.data:
            return None
        for y in range(self.height):
            if self.row(y) != other.row(y):
                for x in range(self.width):
                    if self.pixel(x, y) != other.pixel(x, y):
                        return "pixel (%d, %d) is %s, expected %s" % (x, y, other.pixel(x, y), self.pixel(x, y))
        return "differs"


def inverted(rgb):
    return tuple(255 - c for c in rgb)


def scaled_row(image, y, scale, x0=0, x1=None):
    """Row y of `image`, each pixel repeated `scale` times, as bytes."""
    row = image.row(y, x0, x1)
    if scale == 1:
        return row
    return b"".join(row[i:i + 3] * scale for i in range(0, len(row), 3))


def find_picture(screen, image, scale=1):
    """The screen position (left, top) where `image` appears whole, each of
    its pixels drawn as a scale x scale block, or None. The screen and the
    picture are matched pixel for pixel: a picture drawn blurred, shifted by
    part of a pixel or at another size is not found."""
    probe = scaled_row(image, 0, scale, 0, min(image.width, 24))
    wide = image.width * scale
    data = bytes(screen.data)
    stride = screen.width * 3
    start = 0
    while True:
        at = data.find(probe, start)
        if at < 0:
            return None
        start = at + 1
        if at % 3:
            continue
        top, left = divmod(at // 3, screen.width)
        if left + wide > screen.width or top + image.height * scale > screen.height:
            continue
        if all(data[(top + sy) * stride + left * 3:(top + sy) * stride + (left + wide) * 3]
               == scaled_row(image, sy // scale, scale)
               for sy in range(image.height * scale)):
            return left, top


# --- BMP and PNG ---------------------------------------------------------------

def bmp_bytes(image):
    """A 24-bit bottom-up Windows bitmap."""
    stride = (image.width * 3 + 3) & ~3
    pixels = bytearray()
    for y in reversed(range(image.height)):
        row = bytearray(image.row(y))
        row[0::3], row[2::3] = row[2::3], row[0::3]  # red, green, blue -> blue, green, red
        pixels += row + bytes(stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, image.width, image.height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def _chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def png_bytes(image):
    """A truecolour PNG, 8 bits per sample, no filtering."""
    raw = b"".join(b"\0" + image.row(y) for y in range(image.height))
    return (b"\x89PNG\r\n\x1a\n"
            + _chunk(b"IHDR", struct.pack(">IIBBBBB", image.width, image.height, 8, 2, 0, 0, 0))
            + _chunk(b"IDAT", zlib.compress(raw, 6)) + _chunk(b"IEND", b""))


class PngError(Exception):
    pass


def read_png(data):
    """(Image, chunk names, IHDR fields) of a non-interlaced 8-bit truecolour
    PNG with or without alpha; every chunk's CRC is checked. Pixels with alpha
    must be opaque."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise PngError("no PNG signature")
    pos, names, idat, ihdr = 8, [], b"", None
    while pos < len(data):
        if pos + 12 > len(data):
            raise PngError("truncated chunk at byte %d" % pos)
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if len(body) != length or zlib.crc32(kind + body) != crc:
            raise PngError("bad chunk %r at byte %d" % (kind, pos))
        names.append(kind.decode("latin-1"))
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
        if kind == b"IEND":
            break
    if ihdr is None or names[-1] != "IEND":
        raise PngError("chunks %s" % names)
    width, height, depth, colour, _, _, interlace = ihdr
    if depth != 8 or colour not in (2, 6) or interlace:
        raise PngError("unsupported IHDR %s" % (ihdr,))
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * bpp
    if len(raw) != height * (stride + 1):
        raise PngError("%d bytes of pixel data for %dx%d" % (len(raw), width, height))
    previous = bytearray(stride)
    image = Image(width, height)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        _unfilter(kind, line, previous, bpp)
        if bpp == 4:
            if any(a != 255 for a in line[3::4]):
                raise PngError("row %d is not opaque" % y)
            rgb = bytearray(width * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[0::4], line[1::4], line[2::4]
        else:
            rgb = line
        image.data[y * width * 3:(y + 1) * width * 3] = rgb
        previous = line
    return image, names, ihdr


def _unfilter(kind, line, previous, bpp):
    n = len(line)
    if kind == 0:
        return
    if kind == 1:
        for i in range(bpp, n):
            line[i] = (line[i] + line[i - bpp]) & 255
    elif kind == 2:
        for i in range(n):
            line[i] = (line[i] + previous[i]) & 255
    elif kind == 3:
        for i in range(n):
            left = line[i - bpp] if i >= bpp else 0
            line[i] = (line[i] + ((left + previous[i]) >> 1)) & 255
    elif kind == 4:
        for i in range(n):
            a = line[i - bpp] if i >= bpp else 0
            b = previous[i]
            c = previous[i - bpp] if i >= bpp else 0
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
            line[i] = (line[i] + pred) & 255
    else:
        raise PngError("filter type %d" % kind)


# --- the X screen dump ---------------------------------------------------------

def read_xwd(data):
    """The picture of an xwd dump of a 24-bit TrueColor screen."""
    fields = struct.unpack(">25I", data[:100])
    header_size, _, pixmap_format, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask, ncolors = fields[14], fields[15], fields[16], fields[19]
    if (pixmap_format != 2 or bits_per_pixel not in (24, 32)
            or (red_mask, green_mask, blue_mask) != (0xFF0000, 0xFF00, 0xFF)):
        raise ValueError("unexpected xwd format: depth %d, %d bits per pixel, masks %x %x %x"
                         % (depth, bits_per_pixel, red_mask, green_mask, blue_mask))
    size = bits_per_pixel // 8
    start = header_size + ncolors * 12
    pixels = data[start:start + bytes_per_line * height]
    if bytes_per_line != width * size:
        pixels = b"".join(pixels[y * bytes_per_line:y * bytes_per_line + width * size] for y in range(height))
    image = Image(width, height)
    # Least significant byte first: blue, green, red (and one unused byte).
    b, g, r = (0, 1, 2) if byte_order == 0 else (size - 1, size - 2, size - 3)
    image.data[0::3] = pixels[r::size]
    image.data[1::3] = pixels[g::size]
    image.data[2::3] = pixels[b::size]
    return image
