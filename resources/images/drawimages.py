#!/usr/bin/env python3
"""Draws the program folder's pictures ("Image\\*.png") and the waiting-disc
animation. Everything is drawn here from shapes and a small pixel font, so the
pictures have a source and the build needs nothing but Python.

Sizes follow what the programs expect of them: backgrounds as large as the
page, face strips of 4 frames (push buttons) or 8 frames (check, radio and
arrow buttons, all of one frame size), the three tile icons alike, the start
panel's background at least 173 x 79."""
import argparse
import os
import struct
import zlib

PAGE_W, PAGE_H = 800, 580

# 5 x 7 glyphs, one string of five characters per row, '#' = ink.
GLYPHS = {
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "C": [" ####", "#    ", "#    ", "#    ", "#    ", "#    ", " ####"],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "N": ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "Q": [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "Z": ["#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"],
    "?": [" ### ", "#   #", "    #", "   # ", "  #  ", "     ", "  #  "],
    "!": ["  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "     ", "  #  "],
    "i": ["  #  ", "     ", " ##  ", "  #  ", "  #  ", "  #  ", " ### "],
    " ": ["     "] * 7,
}


class Canvas:
    def __init__(self, w, h, rgba=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = bytearray(bytes(rgba) * (w * h))

    def blend(self, x, y, rgba):
        if not (0 <= x < self.w and 0 <= y < self.h):
            return
        i = (y * self.w + x) * 4
        r, g, b, a = rgba
        if a == 255:
            self.px[i:i + 4] = bytes(rgba)
            return
        da = self.px[i + 3]
        oa = a + da * (255 - a) // 255
        if oa == 0:
            return
        for k, c in enumerate((r, g, b)):
            self.px[i + k] = min(255, (c * a + self.px[i + k] * da * (255 - a) // 255) // oa)
        self.px[i + 3] = oa

    def rect(self, x0, y0, x1, y1, rgba):
        for y in range(max(y0, 0), min(y1, self.h)):
            for x in range(max(x0, 0), min(x1, self.w)):
                self.blend(x, y, rgba)

    def round_rect(self, x0, y0, x1, y1, r, rgba):
        for y in range(y0, y1):
            for x in range(x0, x1):
                dx = max(x0 + r - x - 0.5, x - (x1 - r) + 0.5, 0)
                dy = max(y0 + r - y - 0.5, y - (y1 - r) + 0.5, 0)
                if dx * dx + dy * dy <= r * r:
                    self.blend(x, y, rgba)

    def disc(self, cx, cy, r, rgba):
        for y in range(int(cy - r), int(cy + r) + 1):
            for x in range(int(cx - r), int(cx + r) + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.blend(x, y, rgba)

    def vgradient(self, top, bottom):
        for y in range(self.h):
            t = y / max(self.h - 1, 1)
            c = bytes(int(top[k] + (bottom[k] - top[k]) * t) for k in range(3)) + b"\xff"
            self.px[y * self.w * 4:(y + 1) * self.w * 4] = c * self.w

    def text(self, x, y, s, scale, rgba):
        for ch in s:
            rows = GLYPHS[ch]
            for gy, row in enumerate(rows):
                for gx, cell in enumerate(row):
                    if cell == "#":
                        self.rect(x + gx * scale, y + gy * scale, x + (gx + 1) * scale, y + (gy + 1) * scale, rgba)
            x += 6 * scale

    def triangle(self, pts, rgba):
        (ax, ay), (bx, by), (cx, cy) = pts
        for y in range(int(min(ay, by, cy)), int(max(ay, by, cy)) + 1):
            for x in range(int(min(ax, bx, cx)), int(max(ax, bx, cx)) + 1):
                d1 = (x - bx) * (ay - by) - (ax - bx) * (y - by)
                d2 = (x - cx) * (by - cy) - (bx - cx) * (y - cy)
                d3 = (x - ax) * (cy - ay) - (cx - ax) * (y - ay)
                if not ((d1 < 0 or d2 < 0 or d3 < 0) and (d1 > 0 or d2 > 0 or d3 > 0)):
                    self.blend(x, y, rgba)

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                i = (y * other.w + x) * 4
                self.blend(ox + x, oy + y, tuple(other.px[i:i + 4]))

    def png(self):
        raw = b"".join(b"\x00" + bytes(self.px[y * self.w * 4:(y + 1) * self.w * 4]) for y in range(self.h))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

        ihdr = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)
        return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def strip(frame_w, frame_h, frames, draw):
    """A face strip: draw(canvas, x, index) paints frame index at x."""
    c = Canvas(frame_w * frames, frame_h)
    for i in range(frames):
        draw(c, i * frame_w, i)
    return c


# Per state: normal, hover, pressed, disabled.
FACE_FILL = [(38, 96, 170, 235), (60, 130, 215, 245), (22, 64, 125, 255), (110, 110, 110, 170)]


# The start button's black text needs a light face.
LIGHT_FILL = [(225, 235, 248, 245), (245, 250, 255, 255), (190, 205, 228, 255), (160, 160, 160, 170)]


def push_face(fw, fh, radius=5, fills=FACE_FILL):
    def draw(c, x, i):
        fill = fills[i % 4]
        c.round_rect(x, 0, x + fw, fh, radius, (255, 255, 255, 120))
        c.round_rect(x + 1, 1, x + fw - 1, fh - 1, radius - 1, fill)
        # A mark at the leading edge shows which way the face is mirrored.
        c.rect(x + 3, fh // 2 - 3, x + 6, fh // 2 + 3, (255, 255, 255, 140))
    return strip(fw, fh, 4, draw)


def focus_bar(fw, fh):
    def draw(c, x, i):
        alpha = [0, 70, 110, 0][i]
        if alpha:
            c.round_rect(x, 0, x + fw, fh, 3, (255, 255, 255, alpha))
    return strip(fw, fh, 4, draw)


def toggle_face(mark):
    size = 16

    def draw(c, x, i):
        checked, state = i >= 4, i % 4
        fill = FACE_FILL[state]
        if mark == "radio":
            c.disc(x + 7.5, 7.5, 7.5, (255, 255, 255, 200))
            c.disc(x + 7.5, 7.5, 6, fill)
            if checked:
                c.disc(x + 7.5, 7.5, 3, (255, 255, 255, 255))
        elif mark == "check":
            c.round_rect(x, 0, x + size, size, 2, (255, 255, 255, 200))
            c.round_rect(x + 1, 1, x + size - 1, size - 1, 2, fill)
            if checked:
                c.triangle([(x + 3, 8), (x + 7, 13), (x + 7, 9)], (255, 255, 255, 255))
                c.triangle([(x + 6, 13), (x + 13, 3), (x + 7, 9)], (255, 255, 255, 255))
        else:  # arrow: points to the text when folded, down when unfolded
            ink = (255, 255, 255, 255 if state != 3 else 120)
            if checked:
                c.triangle([(x + 3, 5), (x + 13, 5), (x + 8, 12)], ink)
            else:
                c.triangle([(x + 5, 3), (x + 5, 13), (x + 12, 8)], ink)
            if state in (1, 2):
                c.disc(x + 8, 8, 7.5, (255, 255, 255, 50))
    return strip(size, size, 8, draw)


def logo(word, w, h, fill, ink):
    c = Canvas(w, h)
    c.round_rect(0, 0, w, h, 6, fill)
    scale = max(1, min((w - 8) // (6 * len(word)), (h - 6) // 7))
    tw, th = 6 * scale * len(word) - scale, 7 * scale
    c.text((w - tw) // 2, (h - th) // 2, word, scale, ink)
    return c


def background(top, bottom, band):
    c = Canvas(PAGE_W, PAGE_H)
    c.vgradient(top, bottom)
    c.rect(0, 505, PAGE_W, 507, band)
    c.rect(0, 90, PAGE_W, 91, band)
    return c


def icon(glyph, fill):
    c = Canvas(32, 32)
    c.disc(15.5, 15.5, 15.5, (255, 255, 255, 230))
    c.disc(15.5, 15.5, 13.5, fill)
    c.text(16 - 7, 16 - 10, glyph, 3, (255, 255, 255, 255))
    return c


def panel_bg():
    c = Canvas(180, 80)
    c.round_rect(0, 0, 180, 80, 6, (28, 70, 128, 240))
    c.rect(0, 0, 180, 2, (120, 180, 240, 255))
    return c


def step_icons():
    processing = Canvas(48, 48)
    processing.disc(23.5, 23.5, 23.5, (60, 130, 215, 255))
    processing.triangle([(16, 12), (16, 36), (36, 24)], (255, 255, 255, 255))
    mirrored = Canvas(48, 48)
    mirrored.disc(23.5, 23.5, 23.5, (60, 130, 215, 255))
    mirrored.triangle([(32, 12), (32, 36), (12, 24)], (255, 255, 255, 255))
    done = Canvas(48, 48)
    done.disc(23.5, 23.5, 23.5, (40, 160, 80, 255))
    done.triangle([(12, 24), (21, 35), (21, 27)], (255, 255, 255, 255))
    done.triangle([(19, 35), (36, 14), (21, 27)], (255, 255, 255, 255))
    return processing, mirrored, done


def images():
    """name -> Canvas."""
    out = {
        "bg.png": background((20, 48, 92), (8, 22, 48), (90, 140, 210, 255)),
        "bg_mainpage.png": background((16, 60, 100), (6, 26, 52), (90, 170, 220, 255)),
        "main_bg.png": background((16, 60, 100), (6, 26, 52), (90, 170, 220, 255)),
        "logo_nv.png": logo("NORVALE", 120, 28, (255, 255, 255, 40), (255, 255, 255, 255)),
        "logo_zq.png": logo("ZQ", 64, 48, (200, 40, 40, 255), (255, 255, 255, 255)),
        "logo_corvane.png": logo("CORVANE", 64, 48, (255, 255, 255, 255), (30, 30, 30, 255)),
        "logo_corvane_white.png": logo("CORVANE", 64, 48, (0, 0, 0, 0), (255, 255, 255, 255)),
        "logo_velora.png": logo("VELORA", 64, 48, (120, 40, 160, 255), (255, 255, 255, 255)),
        "btn.png": push_face(90, 26),
        "btn_contact.png": push_face(100, 26),
        "btn_start.png": push_face(56, 20, 4, LIGHT_FILL),
        "btn_focusbar.png": focus_bar(174, 20),
        "btn_arrow.png": toggle_face("arrow"),
        "btn_check.png": toggle_face("check"),
        "btn_radio.png": toggle_face("radio"),
        "bg_start.png": panel_bg(),
        "icon_help.png": icon("?", (40, 120, 200, 255)),
        "icon_identify.png": icon("i", (40, 150, 110, 255)),
        "icon_precaution.png": icon("!", (200, 120, 30, 255)),
        "Utility_icon.png": icon("i", (60, 130, 215, 255)),
        "divider.png": Canvas(500, 2, (255, 255, 255, 90)),
        "Step_bullet.png": icon(" ", (60, 130, 215, 255)),
    }
    for prefix, word in (("nv_logo", "NORVALE"), ("revant_logo", "ZQ")):
        for suffix, alpha in (("", 200), ("_h", 255), ("_p", 160)):
            out[prefix + suffix + ".png"] = logo(word, 120, 28, (255, 255, 255, 40), (255, 255, 255, alpha))
    states = dict(zip("NHPD", FACE_FILL))
    for name in ("Back", "Recover"):
        for s in "NHP":
            c = Canvas(120, 32)
            c.round_rect(0, 0, 120, 32, 6, states[s])
            out["%s_%s.png" % (name, s)] = c
    for s in "NHP":
        c = Canvas(120, 32)
        c.round_rect(0, 0, 120, 32, 6, states[s])
        out["utilities-%s.png" % s] = c
    for s in "NHPD":
        c = Canvas(120, 32)
        c.round_rect(0, 0, 120, 32, 6, states[s])
        out["Button_%s.png" % s] = c
    processing, mirrored, done = step_icons()
    out["ZQ_Processing.png"] = processing
    out["ZQ_Processing_RTL.png"] = mirrored
    out["ZQ_Done.png"] = done
    return out


def avi(frames, w, h):
    """An uncompressed 8-bit AVI of the given frames (lists of palette indexes)."""
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in [(240, 240, 240), (60, 130, 215), (20, 48, 92)] + [(0, 0, 0)] * 253)
    stride = (w + 3) & ~3
    size = stride * h

    def lst(kind, body):
        return b"LIST" + struct.pack("<I", len(body) + 4) + kind + body

    def chk(kind, body):
        return kind + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")

    usec = 100000
    avih = struct.pack("<IIIIIIIIII4I", usec, size * 10, 0, 0x10, len(frames), 0, 1, size, w, h, 0, 0, 0, 0)
    strh = b"vids" + b"DIB " + struct.pack("<IHHIIIIIIIIhhhh", 0, 0, 0, 0, 1, 10, 0, len(frames), size, 0xFFFFFFFF, 0,
                                           0, 0, w, h)
    strf = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, size, 0, 0, 256, 0) + palette
    hdrl = lst(b"hdrl", chk(b"avih", avih) + lst(b"strl", chk(b"strh", strh) + chk(b"strf", strf)))
    movi_body = b""
    index = b""
    offset = 4
    for f in frames:
        rows = b"".join(bytes(f[y * w:(y + 1) * w]) + b"\0" * (stride - w) for y in reversed(range(h)))
        index += b"00db" + struct.pack("<III", 0x10, offset, len(rows))
        movi_body += chk(b"00db", rows)
        offset += 8 + len(rows)
    body = b"AVI " + hdrl + lst(b"movi", movi_body) + chk(b"idx1", index)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def wait_frames(w=48, h=48, count=8):
    """A disc with a bright sector going round."""
    import math
    frames = []
    for n in range(count):
        f = bytearray(w * h)
        for y in range(h):
            for x in range(w):
                dx, dy = x - w / 2 + 0.5, y - h / 2 + 0.5
                r = math.hypot(dx, dy)
                if 5 < r < 22:
                    sector = int(((math.atan2(dy, dx) + math.pi) / (2 * math.pi)) * count) % count
                    f[y * w + x] = 1 if sector == n else 2
        frames.append(f)
    return frames


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--images", help="folder to write the PNG files into")
    ap.add_argument("--avi", help="file to write the waiting-disc animation into")
    a = ap.parse_args()
    if a.images:
        os.makedirs(a.images, exist_ok=True)
        for name, canvas in images().items():
            with open(os.path.join(a.images, name), "wb") as f:
                f.write(canvas.png())
    if a.avi:
        os.makedirs(os.path.dirname(a.avi) or ".", exist_ok=True)
        with open(a.avi, "wb") as f:
            f.write(avi(wait_frames(), 48, 48))


if __name__ == "__main__":
    main()
