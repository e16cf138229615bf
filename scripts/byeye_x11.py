#!/usr/bin/env python3
"""Small X11 helpers for the by-eye checks, with nothing but the standard
library: typing and pointer moves through the XTEST extension of the X
server named by DISPLAY, and screenshots from xwd files turned into PNG.

  byeye_x11.py type TEXT...        type each TEXT and press Return after it
  byeye_x11.py key KEYSYM          press one key (a name from KEYSYMS or 0x....)
  byeye_x11.py move X Y            move the pointer to root position X, Y
  byeye_x11.py click X Y           move there and click the left button
  byeye_x11.py shiftclick X Y      the same with Shift held down
  byeye_x11.py png IN.xwd OUT.png [X Y W H [SCALE]]
                                   the whole picture, or a part of it,
                                   every pixel SCALE times as large
  byeye_x11.py pixel IN.xwd X Y    the colour of one pixel as #rrggbb
"""

import os
import socket
import struct
import sys
import time
import zlib

KEYSYMS = {"Return": 0xFF0D, "Escape": 0xFF1B, "BackSpace": 0xFF08, "Tab": 0xFF09,
           "space": 0x20, "Shift_L": 0xFFE1}


class X11:
    def __init__(self):
        display = os.environ.get("DISPLAY", ":0")
        number = display.split(":")[1].split(".")[0]
        self.s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.s.connect("/tmp/.X11-unix/X" + number)
        self.s.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
        head = self._read(8)
        if head[0] != 1:
            raise SystemExit("X server refused the connection")
        extra = self._read(struct.unpack("<H", head[6:8])[0] * 4)
        vendor_len = struct.unpack("<H", extra[16:18])[0]
        formats = extra[21]
        self.min_keycode, self.max_keycode = extra[26], extra[27]
        screen = 32 + (vendor_len + 3) // 4 * 4 + 8 * formats
        self.root = struct.unpack("<I", extra[screen:screen + 4])[0]
        self.seq = 0
        self.xtest = self._extension(b"XTEST")
        self.keymap = self._keymap()

    def _read(self, n):
        data = b""
        while len(data) < n:
            chunk = self.s.recv(n - len(data))
            if not chunk:
                raise SystemExit("X server hung up")
            data += chunk
        return data

    def _reply(self):
        # Skips events and errors up to the reply of the last request.
        while True:
            packet = self._read(32)
            if packet[0] == 1:
                more = struct.unpack("<I", packet[4:8])[0] * 4
                return packet + self._read(more)
            if packet[0] == 0:
                raise SystemExit("X error %d" % packet[1])

    def _request(self, data):
        self.seq += 1
        self.s.sendall(data)

    def _extension(self, name):
        pad = (4 - len(name) % 4) % 4
        self._request(struct.pack("<BxHHxx", 98, 2 + (len(name) + pad) // 4, len(name)) + name + b"\0" * pad)
        reply = self._reply()
        if not reply[8]:
            raise SystemExit("no XTEST on this server")
        return reply[9]

    def _keymap(self):
        count = self.max_keycode - self.min_keycode + 1
        self._request(struct.pack("<BxHBBxx", 101, 2, self.min_keycode, count))
        reply = self._reply()
        per = reply[1]
        self.per = per
        self.spare = []  # keycodes without any keysym, for letters the layout lacks
        syms = {}
        for k in range(count):
            if not any(reply[32 + (k * per + level) * 4:36 + (k * per + level) * 4] != b"\0\0\0\0"
                       for level in range(per)):
                self.spare.append(self.min_keycode + k)
            for level in range(per):
                off = 32 + (k * per + level) * 4
                sym = struct.unpack("<I", reply[off:off + 4])[0]
                if sym and (sym, level) not in syms:
                    syms.setdefault(sym, (self.min_keycode + k, level))
        return syms

    def _fake(self, kind, detail, x=0, y=0):
        self._request(struct.pack("<BBHBBxxIIIIhhIxxxB", self.xtest, 2, 9, kind, detail, 0,
                                  self.root if kind == 6 else 0, 0, 0, x, y, 0, 0))

    def sync(self):
        self._request(struct.pack("<BxH", 43, 1))  # GetInputFocus
        self._reply()

    def provide(self, syms):
        # Letters the keyboard layout has no key for (Cyrillic on the plain
        # layout of Xvfb) go on spare keycodes, one each, on every level.
        # The client needs a moment to read the changed layout.
        changed = False
        for sym in syms:
            if sym in self.keymap:
                continue
            if not self.spare:
                raise SystemExit("no spare keycode left for keysym 0x%x" % sym)
            code = self.spare.pop(0)
            self._request(struct.pack("<BBHBBxx", 100, 1, 2 + self.per, code, self.per) +
                          struct.pack("<%dI" % self.per, *([sym] * self.per)))
            self.keymap[sym] = (code, 0)
            changed = True
        if changed:
            self.sync()
            time.sleep(0.5)

    def key(self, sym):
        if sym not in self.keymap:
            raise SystemExit("no key for keysym 0x%x" % sym)
        code, level = self.keymap[sym]
        shift = self.keymap[KEYSYMS["Shift_L"]][0]
        if level % 2 == 1:
            self._fake(2, shift)
        self._fake(2, code)
        self._fake(3, code)
        if level % 2 == 1:
            self._fake(3, shift)
        self.sync()
        time.sleep(0.03)

    def move(self, x, y):
        self._fake(6, 0, x, y)
        self.sync()

    def click(self, x, y, shift=False):
        self.move(x, y)
        time.sleep(0.1)
        held = self.keymap[KEYSYMS["Shift_L"]][0]
        if shift:
            self._fake(2, held)
            self.sync()
            time.sleep(0.05)
        self._fake(4, 1)
        self._fake(5, 1)
        if shift:
            self.sync()
            time.sleep(0.05)
            self._fake(3, held)
        self.sync()


def keysym(ch):
    return ord(ch) if ord(ch) < 0x100 else 0x1000000 + ord(ch)


def read_xwd(path):
    data = open(path, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bpp, stride, ncolors = fields[7], fields[11], fields[12], fields[19]
    # Pixels of 24 bits (three bytes) or 32 bits (four, one unused); lines
    # are bytes_per_line long whatever the pixels take of them.
    if bpp not in (24, 32):
        raise SystemExit("only 24- and 32-bit pixels are read, the file has %d bits" % bpp)
    size = bpp // 8
    start = header_size + 12 * ncolors
    pixels = data[start:start + stride * height]
    rows = []
    for y in range(height):
        line = pixels[y * stride:y * stride + width * size]
        rgb = bytearray(width * 3)
        if byte_order == 0:  # LSB first: B G R (X) in memory
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::size], line[1::size], line[0::size]
        else:
            rgb[0::3], rgb[1::3], rgb[2::3] = line[size - 3::size], line[size - 2::size], line[size - 1::size]
        rows.append(bytes(rgb))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\0" + r for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def main(argv):
    if len(argv) < 2:
        raise SystemExit(__doc__)
    cmd = argv[1]
    if cmd in ("type", "key", "move", "click", "shiftclick"):
        x = X11()
        if cmd == "type":
            x.provide(sorted({keysym(ch) for text in argv[2:] for ch in text}))
            for text in argv[2:]:
                for ch in text:
                    x.key(keysym(ch))
                x.key(KEYSYMS["Return"])
        elif cmd == "key":
            name = argv[2]
            x.key(KEYSYMS[name] if name in KEYSYMS else int(name, 16))
        elif cmd == "move":
            x.move(int(argv[2]), int(argv[3]))
        else:
            x.click(int(argv[2]), int(argv[3]), shift=cmd == "shiftclick")
    elif cmd == "png":
        width, height, rows = read_xwd(argv[2])
        if len(argv) >= 8:
            left, top, w, h = (int(v) for v in argv[4:8])
            scale = int(argv[8]) if len(argv) > 8 else 1
            part = []
            for r in rows[top:top + h]:
                line = r[left * 3:(left + w) * 3]
                if scale > 1:
                    line = b"".join(line[i:i + 3] * scale for i in range(0, len(line), 3))
                part.extend([line] * scale)
            width, height, rows = w * scale, h * scale, part
        write_png(argv[3], width, height, rows)
    elif cmd == "pixel":
        width, height, rows = read_xwd(argv[2])
        x, y = int(argv[3]), int(argv[4])
        print("#%02x%02x%02x" % tuple(rows[y][x * 3:x * 3 + 3]))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
