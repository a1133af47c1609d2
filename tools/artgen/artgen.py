#!/usr/bin/python3
"""Draws the updater's skin and icons and writes them where the resource script expects them.

    tools/artgen/artgen.py [output folder]     (default: client/ui/res)

Run with Debian's python3 and python3-pil (Pillow); the fonts come from fonts-wqy-microhei and
fonts-dejavu-core. The images it writes are committed, so building the program never needs this
script; run it again after changing the design and commit the new images with it.

Geometry that the window's code relies on (it paints at fixed places) is collected at the top;
change it only together with the window's layout.
"""

import math
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

# ---- geometry shared with the window code -------------------------------------------------
WINDOW_W, WINDOW_H = 500, 160
BAND_H = 27                       # title band rows 0..26; row 27 is its bottom edge line
CLOSE_X, CLOSE_W, CLOSE_H = 470, 30, 28
BAR_X, BAR_W, BAR_H = 149, 326, 13
BAR_YS = (93, 119)

# ---- palette ------------------------------------------------------------------------------
BAND_TOP = (52, 128, 222)
BAND_BOTTOM = (22, 86, 178)
BAND_HIGHLIGHT = (104, 164, 238)
BAND_EDGE = (14, 62, 134)          # the band's bottom line and the window's frame
BODY_TOP = (248, 251, 255)
BODY_BOTTOM = (226, 236, 249)
TROUGH_BORDER = (160, 184, 214)
TROUGH_FILL = (255, 255, 255)
TROUGH_SHADE = (232, 239, 248)
BAR_LEFT = (160, 212, 252)
BAR_RIGHT = (52, 142, 232)
FOOTER_TEXT = (112, 132, 160)
HOVER_TOP, HOVER_BOTTOM = (236, 86, 76), (204, 46, 40)
PRESSED_TOP, PRESSED_BOTTOM = (150, 26, 24), (120, 14, 14)
DISABLED_TOP, DISABLED_BOTTOM = (170, 174, 180), (138, 142, 148)

TITLE = "Halvenport 游戏大厅 · 自动更新"
FOOTER = "更新完成后将自动启动游戏大厅"

CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
SYMBOL_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

SS = 4  # supersampling factor for anything drawn with curves


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def vertical_gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    draw = ImageDraw.Draw(img)
    for y in range(h):
        draw.line([(0, y), (w - 1, y)], fill=lerp(top, bottom, y / max(1, h - 1)))
    return img


def horizontal_gradient(size, left, right):
    w, h = size
    img = Image.new("RGB", size)
    draw = ImageDraw.Draw(img)
    for x in range(w):
        draw.line([(x, 0), (x, h - 1)], fill=lerp(left, right, x / max(1, w - 1)))
    return img


# ---- the emblem: a blue tile with two circling arrows around a golden spade ---------------
def emblem(size):
    """RGBA emblem of size x size pixels, drawn large and scaled down for smooth edges."""
    big = 512
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))

    # Tile: rounded square, diagonal blue gradient, a soft gloss over the upper half.
    tile = Image.new("RGBA", (big, big))
    top, bottom = (64, 150, 240), (12, 58, 140)
    px = tile.load()
    for y in range(big):
        for x in range(big):
            t = (x * 0.35 + y) / (big * 1.35)
            r, g, b = lerp(top, bottom, t)
            px[x, y] = (r, g, b, 255)
    mask = Image.new("L", (big, big), 0)
    margin = 16
    ImageDraw.Draw(mask).rounded_rectangle([margin, margin, big - margin, big - margin],
                                           radius=110, fill=255)
    shadow = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    sm = Image.new("L", (big, big), 0)
    ImageDraw.Draw(sm).rounded_rectangle([margin + 6, margin + 14, big - margin + 4,
                                          big - margin + 8], radius=110, fill=110)
    shadow.putalpha(sm.filter(ImageFilter.GaussianBlur(10)))
    img = Image.alpha_composite(img, shadow)
    img.paste(tile, (0, 0), mask)

    gloss = Image.new("RGBA", (big, big), (255, 255, 255, 0))
    gm = Image.new("L", (big, big), 0)
    ImageDraw.Draw(gm).ellipse([-120, -330, big + 120, 250], fill=54)
    gm = Image.composite(gm, Image.new("L", (big, big), 0), mask)
    gloss.putalpha(gm)
    img = Image.alpha_composite(img, gloss)

    # Two arrows chasing each other round the centre: the "update" sign.
    draw = ImageDraw.Draw(img)
    c = big / 2
    radius, width = 158, 34
    box = [c - radius, c - radius, c + radius, c + radius]
    white = (255, 255, 255, 255)
    for start, end in ((200, 330), (20, 150)):
        draw.arc(box, start, end, fill=white, width=width)
        # Arrowhead at the end of the arc, pointing along the direction of travel.
        a = math.radians(end)
        mid = radius - width / 2
        tip_x, tip_y = c + mid * math.cos(a), c + mid * math.sin(a)
        tangent = (-math.sin(a), math.cos(a))
        normal = (math.cos(a), math.sin(a))
        head, half = 62, 52
        p1 = (tip_x + tangent[0] * head, tip_y + tangent[1] * head)
        p2 = (tip_x + normal[0] * half, tip_y + normal[1] * half)
        p3 = (tip_x - normal[0] * half, tip_y - normal[1] * half)
        draw.polygon([p1, p2, p3], fill=white)

    # Golden spade in the middle, with a dark rim so it reads on the blue at small sizes.
    font = ImageFont.truetype(SYMBOL_FONT, 250)
    glyph = "\u2660"
    l, t, r, b = font.getbbox(glyph)
    gx, gy = c - (l + r) / 2, c - (t + b) / 2 + 4
    draw.text((gx, gy), glyph, font=font, fill=(10, 40, 100, 255), stroke_width=10,
              stroke_fill=(10, 40, 100, 255))
    spade = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    ImageDraw.Draw(spade).text((gx, gy), glyph, font=font, fill=(255, 255, 255, 255))
    gold = vertical_gradient((big, big), (255, 222, 110), (232, 160, 30)).convert("RGBA")
    img.paste(gold, (0, 0), spade)

    return img.resize((size, size), Image.LANCZOS)


# ---- bitmap 133: the whole window ----------------------------------------------------------
def title_band(width):
    band = vertical_gradient((width, BAND_H), BAND_TOP, BAND_BOTTOM)
    d = ImageDraw.Draw(band)
    d.line([(0, 0), (width - 1, 0)], fill=BAND_HIGHLIGHT)
    return band


def background():
    img = vertical_gradient((WINDOW_W, WINDOW_H), BODY_TOP, BODY_BOTTOM).convert("RGBA")
    img.paste(title_band(WINDOW_W), (0, 0))
    draw = ImageDraw.Draw(img)
    draw.line([(0, BAND_H), (WINDOW_W - 1, BAND_H)], fill=BAND_EDGE)

    # Title: the emblem small, then the product's name in white with a faint shadow.
    icon = emblem(20)
    img.alpha_composite(icon, (6, 4))
    font = ImageFont.truetype(CJK_FONT, 14)
    l, t, r, b = font.getbbox(TITLE)
    ty = (BAND_H - (b - t)) // 2 - t
    draw.text((32 + 1, ty + 1), TITLE, font=font, fill=(8, 44, 100, 160))
    draw.text((32, ty), TITLE, font=font, fill=(255, 255, 255, 255))

    # Logo in the free column left of the texts.
    logo = emblem(100)
    img.alpha_composite(logo, (24, 43))

    # A faint divider between the logo column and the figures.
    for y in range(44, 146):
        a = 1 - abs(y - 95) / 52
        draw.point((137, y), fill=lerp(BODY_TOP, TROUGH_BORDER, max(0.0, a) * 0.8))

    # Empty troughs: a 1-pixel border around exactly the area that the bar fill covers, so
    # the fill is cropped against clean white and never overlaps the border.
    for y in BAR_YS:
        draw.rectangle([BAR_X - 1, y - 1, BAR_X + BAR_W, y + BAR_H], outline=TROUGH_BORDER)
        draw.rectangle([BAR_X, y, BAR_X + BAR_W - 1, y + BAR_H - 1], fill=TROUGH_FILL)
        draw.line([(BAR_X, y), (BAR_X + BAR_W - 1, y)], fill=TROUGH_SHADE)

    footer = ImageFont.truetype(CJK_FONT, 11)
    draw.text((BAR_X, 140), FOOTER, font=footer, fill=FOOTER_TEXT)

    # Frame round the borderless window (the band carries its own top edge).
    draw.line([(0, BAND_H), (0, WINDOW_H - 1)], fill=BAND_EDGE)
    draw.line([(WINDOW_W - 1, BAND_H), (WINDOW_W - 1, WINDOW_H - 1)], fill=BAND_EDGE)
    draw.line([(0, WINDOW_H - 1), (WINDOW_W - 1, WINDOW_H - 1)], fill=BAND_EDGE)
    return img.convert("RGB")


# ---- bitmap 140: close button frames --------------------------------------------------------
def cross(frame):
    big = frame.resize((CLOSE_W * SS, CLOSE_H * SS), Image.NEAREST).convert("RGBA")
    d = ImageDraw.Draw(big)
    cx, cy, half, width = 15 * SS, 13.5 * SS, 4.5 * SS, int(1.8 * SS)
    white = (255, 255, 255, 255)
    d.line([(cx - half, cy - half), (cx + half, cy + half)], fill=white, width=width)
    d.line([(cx - half, cy + half), (cx + half, cy - half)], fill=white, width=width)
    small = big.resize((CLOSE_W, CLOSE_H), Image.BOX).convert("RGB")
    # Only the cross is smoothed; every other pixel keeps its exact colour so that the normal
    # frame joins the band without a seam.
    out = frame.copy()
    fp, sp = out.load(), small.load()
    for y in range(CLOSE_H):
        for x in range(CLOSE_W):
            if abs(x + 0.5 - 15) <= 7 and abs(y + 0.5 - 13.5) <= 7:
                fp[x, y] = sp[x, y]
    return out


def close_frames(window):
    strip = Image.new("RGB", (CLOSE_W * 4, CLOSE_H))
    normal = window.crop((CLOSE_X, 0, CLOSE_X + CLOSE_W, CLOSE_H))
    frames = [normal,
              vertical_gradient((CLOSE_W, CLOSE_H), HOVER_TOP, HOVER_BOTTOM),
              vertical_gradient((CLOSE_W, CLOSE_H), PRESSED_TOP, PRESSED_BOTTOM),
              vertical_gradient((CLOSE_W, CLOSE_H), DISABLED_TOP, DISABLED_BOTTOM)]
    for i, f in enumerate(frames):
        strip.paste(cross(f), (i * CLOSE_W, 0))
    return strip


# ---- bitmap 141: bar fill ------------------------------------------------------------------
def bar():
    return horizontal_gradient((BAR_W, BAR_H), BAR_LEFT, BAR_RIGHT)


# ---- icons 130-132: the notification-area animation ----------------------------------------
def shield(stripe):
    """32 x 32, 16 colours: a dark-red shield with two horizontal stripes."""
    n = 32
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    outline = [(4, 3), (27, 3), (27, 15), (25, 21), (21, 26), (16, 30), (11, 26), (7, 21),
               (4, 15)]
    d.polygon(outline, fill=(40, 0, 0, 255))
    inner = [(6, 5), (25, 5), (25, 15), (23, 20), (20, 24), (16, 27), (12, 24), (8, 20),
             (6, 15)]
    d.polygon(inner, fill=(140, 16, 16, 255))
    # A lighter left half gives the shield some relief in so few colours.
    for y in range(5, 28):
        for x in range(6, 16):
            if img.getpixel((x, y)) == (140, 16, 16, 255):
                img.putpixel((x, y), (170, 30, 28, 255))
    light = tuple(min(255, c + 90) for c in stripe)
    for top in (10, 17):
        for y in (top, top + 1, top + 2):
            for x in range(5, 27):
                if img.getpixel((x, y))[3] and img.getpixel((x, y))[:3] != (40, 0, 0):
                    img.putpixel((x, y), stripe + (255,) if y != top else light + (255,))
    return img


# ---- file writers --------------------------------------------------------------------------
def write_bmp24(img, path):
    img = img.convert("RGB")
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    px = img.load()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b = px[x, y]
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        pixels += row
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def and_mask(alpha, w, h):
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if alpha[x, y] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return out


def paletted_image(img, bpp):
    """ICO image entry (header, palette, XOR and AND bitmaps) with a palette of 2^bpp."""
    w, h = img.size
    colours = 1 << bpp
    alpha = img.getchannel("A")
    # Quantise only the opaque pixels; transparent ones take index 0 and the AND mask.
    solid = Image.new("RGB", img.size, (0, 0, 0))
    solid.paste(img.convert("RGB"), (0, 0), alpha.point(lambda a: 255 if a >= 128 else 0))
    # Index 0 is kept black for the transparent pixels: the screen is (screen AND mask) XOR
    # colour, so anything but black there would tint whatever lies behind the icon.
    q = solid.quantize(colors=colours - 1, method=Image.MEDIANCUT, dither=Image.NONE)
    pal = [0, 0, 0] + q.getpalette()[: (colours - 1) * 3]
    pal += [0] * (colours * 3 - len(pal))
    palette = bytearray()
    for i in range(colours):
        r, g, b = pal[i * 3: i * 3 + 3]
        palette += bytes((b, g, r, 0))
    idx = q.load()
    a = alpha.load()
    stride = ((w * bpp + 31) // 32) * 4
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            v = idx[x, y] + 1 if a[x, y] >= 128 else 0
            if bpp == 8:
                row[x] = v
            else:
                row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        xor += row
    mask = and_mask(a, w, h)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bpp, 0, len(xor) + len(mask), 0, 0,
                         colours, 0)
    return header + palette + xor + mask


def truecolour_image(img):
    w, h = img.size
    px = img.load()
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            xor += bytes((b, g, r, a) if a else (0, 0, 0, 0))
    mask = and_mask(img.getchannel("A").load(), w, h)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0,
                         0, 0)
    return header + xor + mask


def write_ico(entries, path):
    """entries: list of (size, bpp, data)."""
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    blobs = b""
    for size, bpp, data in entries:
        colours = (1 << bpp) if bpp < 8 else 0
        dim = size if size < 256 else 0
        out += struct.pack("<BBBBHHII", dim, dim, colours, 0, 1, bpp, len(data),
                           offset + len(blobs))
        blobs += data
    with open(path, "wb") as f:
        f.write(out + blobs)


def app_icon(path):
    entries = []
    for bpp in (4, 8):
        for size in (48, 32, 24, 16):
            entries.append((size, bpp, paletted_image(emblem(size), bpp)))
    for size in (128, 64, 48, 32, 24, 16):
        entries.append((size, 32, truecolour_image(emblem(size))))
    write_ico(entries, path)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "client", "ui",
                                                             "res")
    os.makedirs(out, exist_ok=True)
    window = background()
    write_bmp24(window, os.path.join(out, "Background.bmp"))
    write_bmp24(close_frames(window), os.path.join(out, "CloseButton.bmp"))
    write_bmp24(bar(), os.path.join(out, "ProgressBar.bmp"))
    app_icon(os.path.join(out, "Refreshor.ico"))
    for name, stripe in (("TrayBlue", (30, 90, 230)), ("TrayGreen", (30, 170, 60)),
                         ("TrayRed", (240, 40, 40))):
        write_ico([(32, 4, paletted_image(shield(stripe), 4))], os.path.join(out, name + ".ico"))


if __name__ == "__main__":
    main()
