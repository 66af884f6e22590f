#!/usr/bin/env python3
"""Writes the JPEGs with an EXIF orientation into tests/data (run from anywhere; needs only
libfreeimage.so.3). The files are committed; run this again only to change them.

Every picture is, once upright, four flat quadrants: red top left, green top right, blue bottom
left, white bottom right (64 x 32 pixels, the quadrants on the 8 x 8 blocks of the JPEG, quality
100 without chroma subsampling), so a test can tell every turn and mirror apart by its corners.
Each file stores the pixels the camera would have stored for its orientation, so turning them as
the tag says gives the upright picture back.

  jpg_exif1.jpg .. jpg_exif8.jpg   orientations 1 to 8 (odd ones Intel byte order, even Motorola)
  jpg_exif8_gray.jpg               orientation 8, 8-bit grey (quadrants 0, 85, 170, 255)
  jpg_phone6.jpg                   a phone-style photo: 300 x 200 stored, orientation 6 (upright
                                   200 x 300), with Make and Model
  jpg_exif_*.jpg                   damaged or lying EXIF over the pixels of orientation 6, which
                                   must open as stored: values 0, 9 and 255, the tag as a LONG, as
                                   two SHORTs, as no SHORT, a segment that ends inside the
                                   orientation entry, and a TIFF header that is none
"""

import ctypes
import os
import struct
import tempfile

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
W, H = 64, 32
RED, GREEN, BLUE, WHITE = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)
GREYS = (0, 85, 170, 255)

fi = ctypes.CDLL("libfreeimage.so.3")
fi.FreeImage_Allocate.restype = ctypes.c_void_p
fi.FreeImage_Allocate.argtypes = [ctypes.c_int] * 3 + [ctypes.c_uint] * 3
fi.FreeImage_GetScanLine.restype = ctypes.c_void_p
fi.FreeImage_GetScanLine.argtypes = [ctypes.c_void_p, ctypes.c_int]
fi.FreeImage_GetPalette.restype = ctypes.c_void_p
fi.FreeImage_GetPalette.argtypes = [ctypes.c_void_p]
fi.FreeImage_Save.argtypes = [ctypes.c_int, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
fi.FreeImage_Unload.argtypes = [ctypes.c_void_p]
FIF_JPEG = 2
JPEG_QUALITYSUPERB = 0x80
JPEG_SUBSAMPLING_444 = 0x10000


def upright_pixel(x, y, w, h, colours):
    """The upright picture: the quadrant of (x, y) in a w x h picture."""
    return colours[(2 if y >= h // 2 else 0) + (1 if x >= w // 2 else 0)]


def upright_of_stored(o, sx, sy, w, h):
    """Where stored pixel (sx, sy) shows in the upright w x h picture, for EXIF orientation o."""
    return {
        1: (sx, sy),
        2: (w - 1 - sx, sy),
        3: (w - 1 - sx, h - 1 - sy),
        4: (sx, h - 1 - sy),
        5: (sy, sx),
        6: (w - 1 - sy, sx),
        7: (w - 1 - sy, h - 1 - sx),
        8: (sy, h - 1 - sx),
    }[o]


def encode(o, w, h, colours, grey):
    """JPEG bytes of the pixels stored for orientation o of an upright w x h picture."""
    sw, sh = (h, w) if o >= 5 else (w, h)
    dib = fi.FreeImage_Allocate(sw, sh, 8 if grey else 24, 0, 0, 0)
    if grey:
        palette = (ctypes.c_ubyte * 1024).from_address(fi.FreeImage_GetPalette(dib))
        for i in range(256):
            palette[4 * i : 4 * i + 3] = [i, i, i]
    for sy in range(sh):
        # FreeImage keeps rows bottom-up, pixels blue-green-red.
        row = []
        for sx in range(sw):
            c = upright_pixel(*upright_of_stored(o, sx, sy, w, h), w, h, colours)
            row += [c] if grey else [c[2], c[1], c[0]]
        line = fi.FreeImage_GetScanLine(dib, sh - 1 - sy)
        ctypes.memmove(line, bytes(row), len(row))
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "p.jpg")
        fi.FreeImage_Save(FIF_JPEG, dib, path.encode(), JPEG_QUALITYSUPERB | JPEG_SUBSAMPLING_444)
        fi.FreeImage_Unload(dib)
        with open(path, "rb") as f:
            return f.read()


def exif(entries, big_endian, cut=None, header=None):
    """An APP1 segment: "Exif\\0\\0", a TIFF header and IFD0 with entries (tag, type, count, value
    bytes); values longer than 4 bytes go after the IFD. cut cuts the TIFF data to that many
    bytes, header replaces its first 8."""
    e = ">" if big_endian else "<"
    tiff = bytearray((b"MM" if big_endian else b"II") + struct.pack(e + "HI", 42, 8))
    data_at = 8 + 2 + 12 * len(entries) + 4
    data = bytearray()
    ifd = bytearray(struct.pack(e + "H", len(entries)))
    for tag, kind, n, value in entries:
        if len(value) <= 4:
            field = value.ljust(4, b"\0")
        else:
            field = struct.pack(e + "I", data_at + len(data))
            data += value + (b"\0" if len(value) % 2 else b"")
        ifd += struct.pack(e + "HHI", tag, kind, n) + field
    ifd += struct.pack(e + "I", 0)
    tiff += ifd + data
    if header is not None:
        tiff[:8] = header
    if cut is not None:
        tiff = tiff[:cut]
    body = b"Exif\0\0" + bytes(tiff)
    return b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body


def short(value, big_endian):
    return struct.pack(">H" if big_endian else "<H", value)


def orientation(value, big_endian):
    return (0x0112, 3, 1, short(value, big_endian))


def ascii_tag(tag, text):
    raw = text.encode() + b"\0"
    return (tag, 2, len(raw), raw)


def write(name, jpeg, app1):
    assert jpeg[:2] == b"\xff\xd8"
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(jpeg[:2] + app1 + jpeg[2:])


def main():
    colours = (RED, GREEN, BLUE, WHITE)
    for o in range(1, 9):
        be = o % 2 == 0
        write("jpg_exif%d.jpg" % o, encode(o, W, H, colours, False), exif([orientation(o, be)], be))
    write("jpg_exif8_gray.jpg", encode(8, W, H, GREYS, True), exif([orientation(8, False)], False))

    phone = [ascii_tag(0x010F, "TestPhone"), ascii_tag(0x0110, "TestPhone 6"), orientation(6, True)]
    write("jpg_phone6.jpg", encode(6, 200, 300, colours, False), exif(phone, True))

    six = encode(6, W, H, colours, False)
    for value in (0, 9, 255):
        write("jpg_exif_value%d.jpg" % value, six, exif([orientation(value, True)], True))
    write("jpg_exif_long.jpg", six, exif([(0x0112, 4, 1, struct.pack("<I", 6))], False))
    write("jpg_exif_two.jpg", six, exif([(0x0112, 3, 2, short(6, False) * 2)], False))
    write("jpg_exif_none.jpg", six, exif([(0x0112, 3, 0, b"")], False))
    # The segment ends inside the orientation entry, before its value.
    write("jpg_exif_cut.jpg", six, exif([orientation(6, False)], False, cut=8 + 2 + 8))
    write("jpg_exif_header.jpg", six, exif([orientation(6, False)], False, header=b"XX*\0\0\0\0\x08"))


if __name__ == "__main__":
    main()
