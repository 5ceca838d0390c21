#!/usr/bin/env python3
"""Draws the console's GIF images (buttons, tabs, headings, icons, logo) for
the style "style0" into both image folders of the web tree, and the site's
favicon.ico at its top.

The images are committed, so building and testing never need Python; run
this again only after changing a label or a colour here:
    scripts/make-images.py [web-root]        (default: install/web)
Standard library only: a 5x7 bitmap font and a GIF89a/LZW encoder live below.
"""
import os
import struct
import sys

# ---------------------------------------------------------------- the font
# Each glyph is eight rows of five pixels (the last row holds descenders);
# bit 4 is the leftmost column.
FONT = {
    'A': "0E 11 11 11 1F 11 11 00", 'B': "1E 11 11 1E 11 11 1E 00",
    'C': "0E 11 10 10 10 11 0E 00", 'D': "1C 12 11 11 11 12 1C 00",
    'E': "1F 10 10 1E 10 10 1F 00", 'F': "1F 10 10 1E 10 10 10 00",
    'G': "0E 11 10 17 11 11 0F 00", 'H': "11 11 11 1F 11 11 11 00",
    'I': "0E 04 04 04 04 04 0E 00", 'J': "07 02 02 02 02 12 0C 00",
    'K': "11 12 14 18 14 12 11 00", 'L': "10 10 10 10 10 10 1F 00",
    'M': "11 1B 15 15 11 11 11 00", 'N': "11 11 19 15 13 11 11 00",
    'O': "0E 11 11 11 11 11 0E 00", 'P': "1E 11 11 1E 10 10 10 00",
    'Q': "0E 11 11 11 15 12 0D 00", 'R': "1E 11 11 1E 14 12 11 00",
    'S': "0F 10 10 0E 01 01 1E 00", 'T': "1F 04 04 04 04 04 04 00",
    'U': "11 11 11 11 11 11 0E 00", 'V': "11 11 11 11 11 0A 04 00",
    'W': "11 11 11 15 15 15 0A 00", 'X': "11 11 0A 04 0A 11 11 00",
    'Y': "11 11 11 0A 04 04 04 00", 'Z': "1F 01 02 04 08 10 1F 00",
    'a': "00 00 0E 01 0F 11 0F 00", 'b': "10 10 16 19 11 11 1E 00",
    'c': "00 00 0E 10 10 11 0E 00", 'd': "01 01 0D 13 11 11 0F 00",
    'e': "00 00 0E 11 1F 10 0E 00", 'f': "06 09 08 1C 08 08 08 00",
    'g': "00 00 0F 11 11 0F 01 0E", 'h': "10 10 16 19 11 11 11 00",
    'i': "04 00 0C 04 04 04 0E 00", 'j': "02 00 06 02 02 02 12 0C",
    'k': "10 10 12 14 18 14 12 00", 'l': "0C 04 04 04 04 04 0E 00",
    'm': "00 00 1A 15 15 11 11 00", 'n': "00 00 16 19 11 11 11 00",
    'o': "00 00 0E 11 11 11 0E 00", 'p': "00 00 1E 11 11 1E 10 10",
    'q': "00 00 0D 13 11 0F 01 01", 'r': "00 00 16 19 10 10 10 00",
    's': "00 00 0E 10 0E 01 1E 00", 't': "08 08 1C 08 08 09 06 00",
    'u': "00 00 11 11 11 13 0D 00", 'v': "00 00 11 11 11 0A 04 00",
    'w': "00 00 11 11 15 15 0A 00", 'x': "00 00 11 0A 04 0A 11 00",
    'y': "00 00 11 11 11 0F 01 0E", 'z': "00 00 1F 02 04 08 1F 00",
    '0': "0E 11 13 15 19 11 0E 00", '1': "04 0C 04 04 04 04 0E 00",
    '2': "0E 11 01 02 04 08 1F 00", '3': "1F 02 04 02 01 11 0E 00",
    '4': "02 06 0A 12 1F 02 02 00", '5': "1F 10 1E 01 01 11 0E 00",
    '6': "06 08 10 1E 11 11 0E 00", '7': "1F 01 02 04 08 08 08 00",
    '8': "0E 11 11 0E 11 11 0E 00", '9': "0E 11 11 0F 01 02 0C 00",
    ' ': "00 00 00 00 00 00 00 00", '.': "00 00 00 00 00 0C 0C 00",
    ',': "00 00 00 00 0C 04 08 00", ':': "00 0C 0C 00 0C 0C 00 00",
    '-': "00 00 00 1F 00 00 00 00", "'": "0C 04 08 00 00 00 00 00",
    '?': "0E 11 01 02 04 00 04 00", '!': "04 04 04 04 00 00 04 00",
    '/': "00 01 02 04 08 10 00 00", '&': "0C 12 14 08 15 12 0D 00",
    '(': "02 04 08 08 08 04 02 00", ')': "08 04 02 02 02 04 08 00",
}
GLYPH_W, ADVANCE = 5, 6


def text_width(text, scale=1, bold=False):
    step = ADVANCE + (1 if bold else 0)
    return (len(text) * step - 1) * scale if text else 0


def draw_text(img, x, y, text, colour, scale=1, bold=False):
    """Bold doubles each stroke one pixel to the right, so it also widens
    the advance by one pixel to keep a gap between letters."""
    step = ADVANCE + (1 if bold else 0)
    for n, ch in enumerate(text):
        rows = [int(v, 16) for v in FONT[ch].split()]
        for r, bits in enumerate(rows):
            for c in range(GLYPH_W):
                if bits & (1 << (GLYPH_W - 1 - c)):
                    px = x + (n * step + c) * scale
                    py = y + r * scale
                    img.fill(px, py, scale + (1 if bold else 0), scale, colour)


# ------------------------------------------------------------ the canvas
# Palette indices; index 0 is transparent wherever an image asks for it.
PALETTE = [
    (255, 255, 255),  # 0 white / transparent
    (0, 0, 0),        # 1 black
    (99, 156, 156),   # 2 teal (the style's upper colour)
    (206, 206, 156),  # 3 khaki (navigation background)
    (57, 99, 99),     # 4 dark teal
    (240, 240, 220),  # 5 light face
    (128, 128, 128),  # 6 grey shadow
    (204, 0, 0),      # 7 red
    (230, 200, 0),    # 8 yellow
    (0, 150, 0),      # 9 green
    (0, 70, 200),     # 10 blue
    (255, 255, 255),  # 11 opaque white
    (160, 190, 190),  # 12 pale teal
    (90, 60, 30),     # 13 brown
    (250, 220, 180),  # 14 skin
    (200, 200, 200),  # 15 light grey
]
WHITE, BLACK, TEAL, KHAKI, DARK, FACE, GREY = 0, 1, 2, 3, 4, 5, 6
RED, YELLOW, GREEN, BLUE, OPAQUE, PALE, BROWN, SKIN, LIGHT = range(7, 16)


class Canvas:
    def __init__(self, w, h, bg=OPAQUE):
        self.w, self.h = w, h
        self.px = [bg] * (w * h)

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = c

    def fill(self, x, y, w, h, c):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.set(xx, yy, c)

    def disc(self, cx, cy, r, c):
        for yy in range(cy - r, cy + r + 1):
            for xx in range(cx - r, cx + r + 1):
                if (xx - cx) ** 2 + (yy - cy) ** 2 <= r * r + r // 2:
                    self.set(xx, yy, c)


# ------------------------------------------------------------ the encoder
def lzw(pixels, min_size):
    """GIF flavour of LZW: variable code width without early change."""
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    out, acc, nbits = bytearray(), 0, 0

    def put(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def reset():
        return {(-1, i): i for i in range(clear)}, eoi + 1, min_size + 1

    table, nxt, width = reset()
    put(clear, width)
    prefix = pixels[0]
    for k in pixels[1:]:
        if (prefix, k) in table:
            prefix = table[(prefix, k)]
            continue
        put(prefix, width)
        table[(prefix, k)] = nxt
        nxt += 1
        if nxt > (1 << width) and width < 12:
            width += 1
        if nxt == 4096:  # the table is full: start afresh
            put(clear, width)
            table, nxt, width = reset()
        prefix = k
    put(prefix, width)
    put(eoi, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif(canvas, transparent):
    head = b"GIF89a" + struct.pack("<HHBBB", canvas.w, canvas.h, 0xF3, 0, 0)
    head += b"".join(bytes(c) for c in PALETTE)
    if transparent:
        head += b"\x21\xF9\x04\x01\x00\x00\x00\x00"  # colour 0 is see-through
    head += b"\x2C" + struct.pack("<HHHHB", 0, 0, canvas.w, canvas.h, 0)
    data = lzw(canvas.px, 4)
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                      for i in range(0, len(data), 255))
    return head + b"\x04" + blocks + b"\x00\x3B"


def ico(canvas, transparent):
    """One 32-bit image in an icon file; colour 0 is see-through when asked."""
    rows = []
    for y in reversed(range(canvas.h)):  # the bitmap is stored bottom-up
        for x in range(canvas.w):
            c = canvas.px[y * canvas.w + x]
            r, g, b = PALETTE[c]
            rows.append(bytes([b, g, r, 0 if transparent and c == 0 else 255]))
    mask = bytes(((canvas.w + 31) // 32) * 4 * canvas.h)
    bitmap = struct.pack("<IiiHHIIiiII", 40, canvas.w, 2 * canvas.h, 1, 32, 0, 0, 0, 0, 0, 0)
    bitmap += b"".join(rows) + mask
    return (struct.pack("<HHH", 0, 1, 1)
            + struct.pack("<BBBBHHII", canvas.w, canvas.h, 0, 0, 1, 32, len(bitmap), 22) + bitmap)


# ------------------------------------------------------------ the shapes
def bevel(img, x, y, w, h, face):
    img.fill(x, y, w, h, face)
    img.fill(x, y, w, 1, OPAQUE)
    img.fill(x, y, 1, h, OPAQUE)
    img.fill(x, y + h - 1, w, 1, GREY)
    img.fill(x + w - 1, y, 1, h, GREY)


def button(label):
    img = Canvas(text_width(label, bold=True) + 14, 20, WHITE)
    bevel(img, 0, 0, img.w, img.h, TEAL)
    draw_text(img, 7, 6, label, OPAQUE, bold=True)
    return img, True


def tab(label):
    img = Canvas(text_width(label, bold=True) + 18, 26, WHITE)
    img.fill(3, 2, img.w - 6, img.h - 2, KHAKI)
    img.fill(1, 4, img.w - 2, img.h - 4, KHAKI)
    img.fill(3, 2, img.w - 6, 1, DARK)
    img.fill(1, 4, 1, img.h - 4, DARK)
    img.fill(img.w - 2, 4, 1, img.h - 4, DARK)
    img.set(2, 3, DARK)
    img.set(img.w - 3, 3, DARK)
    draw_text(img, 9, 11, label, BLACK, bold=True)
    return img, True


def heading(label):
    img = Canvas(text_width(label, 2, True) + 10, 24, WHITE)
    draw_text(img, 4, 3, label, DARK, scale=2, bold=True)
    img.fill(0, 21, img.w, 2, TEAL)
    return img, True


def subheading(label):
    img = Canvas(text_width(label, bold=True) + 8, 14, WHITE)
    draw_text(img, 2, 2, label, DARK, bold=True)
    img.fill(0, 12, img.w, 1, TEAL)
    return img, True


def caption(label):
    img = Canvas(text_width(label, bold=True) + 4, 11, WHITE)
    draw_text(img, 2, 2, label, BLACK, bold=True)
    return img, True


def side(label, small=False):
    """Navigation-bar entry: a square tile that fits the 90-pixel column."""
    lines = label.split("|")
    w, h = (64, 24) if small else (76, 20 + 10 * len(lines))
    img = Canvas(w, h, WHITE)
    bevel(img, 0, 0, w, h, DARK if small else TEAL)
    top = (h - (len(lines) * 10 - 3)) // 2
    for n, line in enumerate(lines):
        draw_text(img, (w - text_width(line, bold=True)) // 2, top + n * 10, line,
                  OPAQUE, bold=True)
    return img, True


def person(img, x, y, body):
    img.disc(x + 4, y + 3, 2, SKIN)
    img.fill(x + 1, y + 7, 7, 6, body)
    img.fill(x + 2, y + 6, 5, 1, body)


def icon(kind):
    img = Canvas(16, 16, WHITE)
    if kind == "person":
        person(img, 3, 1, BLUE)
    elif kind == "group":
        person(img, 0, 1, GREEN)
        person(img, 7, 2, BLUE)
    elif kind == "document":
        img.fill(3, 1, 9, 14, BLACK)
        img.fill(4, 2, 7, 12, OPAQUE)
        img.fill(10, 1, 2, 2, WHITE)
        for row in (5, 7, 9, 11):
            img.fill(5, row, 5, 1, GREY)
    return img, True


def ball(colour):
    img = Canvas(14, 14, WHITE)
    img.disc(7, 7, 6, BLACK)
    img.disc(7, 7, 5, colour)
    img.fill(5, 4, 2, 2, OPAQUE)
    return img, True


def spacer():
    return Canvas(1, 1, WHITE), True


def logo():
    img = Canvas(120, 40, WHITE)
    img.disc(18, 19, 17, TEAL)
    img.disc(18, 19, 12, OPAQUE)
    img.disc(18, 19, 8, DARK)
    draw_text(img, 36, 9, "Zarvo", DARK, scale=2, bold=True)
    draw_text(img, 38, 29, "operator", TEAL)
    return img, True


def favicon():
    img = Canvas(16, 16, WHITE)
    img.disc(8, 8, 7, TEAL)
    img.disc(8, 8, 5, OPAQUE)
    img.disc(8, 8, 3, DARK)
    return img, True


IMAGES = {
    # buttons under forms and tables
    "barchivelog": lambda: button("Archive Log"),
    "bcancel": lambda: button("Cancel"),
    "bchangeowner": lambda: button("Change Owner"),
    "bdeletegroup": lambda: button("Delete Group"),
    "bdone": lambda: button("Done"),
    "bemail": lambda: button("Send Email"),
    "bnext": lambda: button("Next 100"),
    "bpurgelog": lambda: button("Purge Log"),
    "bremovedeletedusers": lambda: button("Remove User"),
    "bsave": lambda: button("Save"),
    "bselectpeople": lambda: button("Select People"),
    "bselectuser": lambda: button("Select User"),
    "bstartsearch": lambda: button("Start Search"),
    "bviewlog": lambda: button("View Log"),
    "mlogin": lambda: button("Login"),
    # tabs of the manage-users bar and the help bar
    "faboutzarvo": lambda: tab("About Zarvo"),
    "fnewaccount": lambda: tab("New Account"),
    "fnoncurrentusers": lambda: tab("Non-Current Users"),
    "fresourceusage": lambda: tab("Resource Usage"),
    "fviewuserids": lambda: tab("User IDs"),
    "fzarvofeedback": lambda: tab("Feedback"),
    # page headings
    "hcreatenewaccount": lambda: heading("Create New Account"),
    "herror": lambda: heading("Error"),
    "hmanagegroups": lambda: heading("Manage Groups"),
    "hmanagelog": lambda: heading("Manage Log File"),
    "hnoncurrentusers": lambda: heading("Non-Current Users"),
    "hresourceusage": lambda: heading("Resource Usage"),
    "hviewuserids": lambda: heading("View User IDs"),
    "hzarvofeedback": lambda: heading("Zarvo Feedback"),
    # section headings and inline captions
    "schangegroupowner": lambda: subheading("Change Group Owner"),
    "sgroupsummary": lambda: subheading("Group Summary"),
    "sresourceusagesummary": lambda: subheading("Resource Usage Summary"),
    "susers": lambda: subheading("Users"),
    "tdays": lambda: caption("days"),
    "tlogmessagesinlast": lambda: caption("log messages in the last"),
    "tlookfor": lambda: caption("Look for"),
    # the side navigation bar
    "side_manageusers": lambda: side("Manage|Users"),
    "side_managegroups": lambda: side("Manage|Groups"),
    "side_managefacilities": lambda: side("Manage|Facilities"),
    "side_managelog": lambda: side("Manage|Log File"),
    "side_help": lambda: side("Help"),
    "side_babout": lambda: side("About", small=True),
    "side_blogout": lambda: side("Logout", small=True),
    # icons and marks
    "mpersonicon": lambda: icon("person"),
    "mgroupicon": lambda: icon("group"),
    "mdocumenticon": lambda: icon("document"),
    "mredball": lambda: ball(RED),
    "myellowball": lambda: ball(YELLOW),
    "mgreenball": lambda: ball(GREEN),
    "mblueball": lambda: ball(BLUE),
    "mspacer": spacer,
}


def write(path, maker, encode=gif):
    img, transparent = maker()
    data = encode(img, transparent)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "install", "web")
    for folder in ("admin/bin/images/style0", "common/bin/images/style0"):
        for name, maker in IMAGES.items():
            write(os.path.join(root, folder, name + ".gif"), maker)
    write(os.path.join(root, "common/bin/images/zarvologo.gif"), logo)
    write(os.path.join(root, "favicon.ico"), favicon, ico)
    print("wrote %d images" % (2 * len(IMAGES) + 2))


if __name__ == "__main__":
    main()
