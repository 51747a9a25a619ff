#!/usr/bin/python3
"""Draws every image of the launcher's default skin into an output folder, each also at
twice its size ("name@2x.png") for screens of 192 DPI and more."""

# The skin is original work of this project: every pixel comes from the shapes below,
# so the images can be rebuilt at any time and the same script always gives the same
# bytes (fixed random seed, no time stamps in the files).

import argparse
import math
import os
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
SS = 4  # supersampling factor for small anti-aliased shapes
# Pixels per unit of the image being drawn: 1, or 2 for the "@2x" files. Every size and
# position below is in units; the helpers (and pix()) turn them into pixels.
K = 1


def pix(*values):
    """Units to pixels: one number, or a tuple of them."""
    if len(values) == 1 and isinstance(values[0], (tuple, list)):
        values = values[0]
    out = tuple(v * K for v in values)
    return out[0] if len(out) == 1 else out


def new(mode, size, color=0):
    """Image.new with its size in units."""
    return Image.new(mode, pix(size), color)


def paste(dst, src, xy):
    dst.paste(src, pix(xy))

WINDOW = (900, 560)
TITLE_H = 44
# Panels drawn into the background; the skin places its controls inside them.
GROUP_DX = (16, 56, 300, 404)    # x, y, w, h
GROUP_WT = (328, 56, 300, 404)
BROWSER = (640, 56, 244, 404)
BOTTOM = (16, 470, 868, 78)
GROUP_HEADER_H = 30

SPEED_BUTTON = (136, 28)
TAG = (32, 18)
ENTER = (148, 46)
BACK = (112, 36)
CLOSE = (32, 26)
REFRESH = (24, 24)  # the round arrow beside the speed legend
EDIT = (330, 30)
HINT = (380, 212)
HINT_BUTTON = (96, 32)

BANDS = {
    # lit bars, lit colour, accent colour
    "fast": (4, (72, 214, 110), (52, 180, 90)),
    "normal": (3, (246, 184, 52), (220, 150, 30)),
    "slow": (1, (236, 72, 64), (200, 50, 46)),
}

TAGS = [
    # file, text, top colour, bottom colour
    ("item_tuijian.png", "\u63a8\u8350", (255, 110, 70), (214, 52, 36)),   # 推荐
    ("item_new.png", "\u65b0", (96, 214, 96), (34, 150, 60)),               # 新
    ("item_huodong.png", "\u6d3b\u52a8", (214, 96, 236), (140, 42, 178)),   # 活动
    ("item_double.png", "\u53cc\u500d", (255, 212, 80), (220, 140, 20)),    # 双倍
    ("item_bisai.png", "\u6bd4\u8d5b", (90, 170, 255), (36, 96, 210)),      # 比赛
]

MIN_CONTRAST = 4.5  # text against its ground, as the accessibility guidelines count it


def luminance(c):
    """Relative luminance of an sRGB colour."""
    def lin(v):
        v /= 255.0
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    return 0.2126 * lin(c[0]) + 0.7152 * lin(c[1]) + 0.0722 * lin(c[2])


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


TAG_DARK_INK = (60, 28, 0)
TAG_LIGHT_INK = (255, 255, 255)


def tag_palette(top, bottom):
    """The ink that reads best on a ribbon, and the ribbon's colours deepened (or lightened)
    until that ink has at least MIN_CONTRAST against every part of it."""
    def worst(ink, t, b):
        return min(contrast(ink, t), contrast(ink, b))
    ink = TAG_LIGHT_INK if worst(TAG_LIGHT_INK, top, bottom) >= worst(TAG_DARK_INK, top, bottom) \
        else TAG_DARK_INK
    toward = (0, 0, 0) if ink == TAG_LIGHT_INK else (255, 255, 255)
    for _ in range(40):
        if worst(ink, top, bottom) >= MIN_CONTRAST:
            break
        top, bottom = lerp(top, toward, 0.05), lerp(bottom, toward, 0.05)
    return ink, top, bottom


# Two colour variants of one design: night blue and dusk red.
THEMES = {
    "fwq_ditu.png": {
        "top": (10, 22, 44), "bottom": (6, 12, 26), "glow": (40, 110, 190),
        "line": (70, 140, 220), "node": (120, 200, 255), "panel": (8, 18, 36),
        "accent": (230, 180, 80), "header": (22, 46, 84),
    },
    "fwq_ditu_01.png": {
        "top": (40, 14, 26), "bottom": (18, 6, 14), "glow": (170, 60, 70),
        "line": (210, 100, 90), "node": (255, 170, 140), "panel": (30, 10, 18),
        "accent": (240, 190, 90), "header": (78, 26, 38),
    },
}

# What lies on each background and must match it: the district and back buttons, the
# selection box, the measuring note, the close cross and the hint box. The first set is
# the skin's own (plain names); the other's files carry the theme's suffix (zentPorter.xml
# and HintMsg.xml name it in their <Theme>). The panels are drawn into the backgrounds.
LOOKS = {
    "fwq_ditu.png": {
        "suffix": "",
        "button": ((38, 50, 72), (21, 28, 42), (68, 86, 118)), "bars_dim": (70, 82, 102),
        "down": ((58, 62, 68), (40, 43, 48), (92, 96, 104), (110, 114, 120)),
        "plate": ((70, 104, 156), (36, 58, 100), (112, 150, 210), (236, 242, 252), (0, 10, 30)),
        "edit": ((4, 8, 16), (14, 22, 38), (96, 128, 180)),
        "note": (184, 198, 218), "cross": (190, 202, 220),
        "hint": ((22, 36, 62), (10, 18, 34), (38, 64, 104), (24, 42, 74)),
    },
    "fwq_ditu_01.png": {
        "suffix": "_01",
        "button": ((74, 38, 46), (44, 20, 26), (132, 76, 80)), "bars_dim": (108, 76, 82),
        "down": ((66, 58, 60), (46, 40, 42), (104, 94, 96), (122, 112, 114)),
        "plate": ((166, 72, 68), (108, 34, 38), (220, 130, 116), (255, 244, 240), (40, 0, 6)),
        "edit": ((16, 6, 10), (38, 14, 22), (186, 102, 96)),
        "note": (226, 196, 190), "cross": (226, 204, 200),
        "hint": ((62, 22, 32), (34, 10, 18), (104, 38, 50), (74, 26, 36)),
    },
}
OWN_LOOK = LOOKS["fwq_ditu.png"]

_fonts = {}


def font(size):
    size = size * K
    if size not in _fonts:
        _fonts[size] = ImageFont.truetype(FONT_PATH, size, index=0)
    return _fonts[size]


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def rgba(c, a=255):
    return (c[0], c[1], c[2], a)


def vgradient(size, top, bottom):
    """An RGBA image that fades from top to bottom colour (either may carry alpha)."""
    top = top if len(top) == 4 else rgba(top)
    bottom = bottom if len(bottom) == 4 else rgba(bottom)
    mask = Image.linear_gradient("L").resize(pix(size), Image.BILINEAR)
    return Image.composite(new("RGBA", size, bottom), new("RGBA", size, top), mask)


def rrect_mask(size, radius, inset=0):
    """Anti-aliased rounded-rectangle coverage mask."""
    w, h = size
    s = SS * K
    big = Image.new("L", (w * s, h * s), 0)
    ImageDraw.Draw(big).rounded_rectangle(
        (inset * s, inset * s, (w - inset) * s - 1, (h - inset) * s - 1),
        radius=radius * s, fill=255)
    return big.resize(pix(size), Image.LANCZOS)


def masked(img, mask):
    """img with its alpha multiplied by mask."""
    out = img.copy()
    out.putalpha(ImageChops.multiply(img.getchannel("A"), mask))
    return out


def aa(size, draw_fn):
    """Runs draw_fn(draw, scale) on a supersampled layer and returns it at size."""
    w, h = size
    s = SS * K
    big = Image.new("RGBA", (w * s, h * s), (0, 0, 0, 0))
    draw_fn(ImageDraw.Draw(big), s)
    return big.resize(pix(size), Image.LANCZOS)


def rrect_outline(size, radius, color, width=1, inset=0):
    def draw(d, s):
        w, h = size
        d.rounded_rectangle((inset * s, inset * s, (w - inset) * s - 1, (h - inset) * s - 1),
                            radius=radius * s, outline=color, width=width * s)
    return aa(size, draw)


def text_layer(size, xy, s, px, fill, anchor="mm", shadow=None, bold=False, blur=0.8):
    """Text drawn onto a transparent layer, with an optional soft drop shadow."""
    layer = new("RGBA", size, (0, 0, 0, 0))
    f = font(px)
    stroke = K if bold else 0
    xy = pix(xy)
    if shadow:
        sh = new("RGBA", size, (0, 0, 0, 0))
        ImageDraw.Draw(sh).text((xy[0], xy[1] + K), s, font=f, fill=shadow, anchor=anchor,
                                stroke_width=stroke, stroke_fill=shadow)
        layer = Image.alpha_composite(layer, sh.filter(ImageFilter.GaussianBlur(blur * K)) if blur else sh)
    d = ImageDraw.Draw(layer)
    if bold:
        # Drawn twice half a unit apart: thicker strokes than the light face has.
        d.text(xy, s, font=f, fill=fill, anchor=anchor)
        d.text((xy[0] + 0.5 * K, xy[1]), s, font=f, fill=fill, anchor=anchor)
    else:
        d.text(xy, s, font=f, fill=fill, anchor=anchor)
    return layer


def over(base, layer, xy=(0, 0)):
    base.alpha_composite(layer, dest=pix(xy))
    return base


# ---------------------------------------------------------------- speed icons

def signal_bars(size, lit, lit_color, dim_color, x0, base_y):
    heights = (6, 9, 12, 15)

    def draw(d, s):
        for i, hgt in enumerate(heights):
            x = x0 + i * 5
            c = lit_color if i < lit else dim_color
            d.rounded_rectangle((x * s, (base_y - hgt) * s, (x + 3) * s, base_y * s),
                                radius=1 * s, fill=c)
    return aa(size, draw)


def gear(size, cx, cy, r, color, hole_color):
    def draw(d, s):
        teeth = 8
        pts = []
        for i in range(teeth * 4):
            a = 2 * math.pi * i / (teeth * 4)
            rr = r if (i % 4) in (0, 1) else r * 0.72
            pts.append(((cx + rr * math.cos(a)) * s, (cy + rr * math.sin(a)) * s))
        d.polygon(pts, fill=color)
        d.ellipse(((cx - r * 0.62) * s, (cy - r * 0.62) * s, (cx + r * 0.62) * s,
                   (cy + r * 0.62) * s), fill=color)
        d.ellipse(((cx - r * 0.28) * s, (cy - r * 0.28) * s, (cx + r * 0.28) * s,
                   (cy + r * 0.28) * s), fill=hole_color)
    return aa(size, draw)


def speed_button(band, state, look=OWN_LOOK):
    """A district button background: signal bars at the left, room for the caption."""
    w, h = SPEED_BUTTON
    down = band == "down"
    if down:
        top, bottom, border, accent = look["down"]
    else:
        top, bottom, border = look["button"]
        accent = BANDS[band][2]
    if state == 1:  # hover: lifted and lit by the band colour
        top, bottom = lerp(top, (255, 255, 255), 0.10), lerp(bottom, (255, 255, 255), 0.06)
        border = lerp(border, accent, 0.75) if not down else lerp(border, (255, 255, 255), 0.25)
    elif state == 2:  # pressed: sunk
        top, bottom = lerp(bottom, (0, 0, 0), 0.25), lerp(top, (0, 0, 0), 0.10)
        border = lerp(border, accent, 0.5) if not down else border
    mask = rrect_mask((w, h), 4)
    # Slightly translucent, so the buttons take the hue of either background.
    img = masked(vgradient((w, h), rgba(top, 218), rgba(bottom, 218)), mask)

    # Glass highlight on the upper half, none when pressed.
    if state != 2:
        hl = vgradient((w, h // 2), (255, 255, 255, 30), (255, 255, 255, 0))
        layer = new("RGBA", (w, h), (0, 0, 0, 0))
        paste(layer, hl, (0, 1))
        img = Image.alpha_composite(img, masked(layer, rrect_mask((w, h), 4, inset=1)))

    # Accent stripe along the left edge, clipped to the rounded shape.
    stripe = new("RGBA", (w, h), (0, 0, 0, 0))
    ImageDraw.Draw(stripe).rectangle(pix(0, 0, 3, h + 1) if K > 1 else (0, 0, 2, h), fill=rgba(accent, 230))
    img = Image.alpha_composite(img, masked(stripe, mask))

    dy = 1 if state == 2 else 0
    if down:
        img = over(img, gear((w, h), 16, 14 + dy, 7, (196, 200, 206, 255),
                             rgba(lerp(top, bottom, 0.5))))
    else:
        lit, lit_color, _ = BANDS[band]
        if state == 1:
            lit_color = lerp(lit_color, (255, 255, 255), 0.2)
        img = over(img, signal_bars((w, h), lit, rgba(lit_color), rgba(look["bars_dim"]), 7, 21 + dy))

    # Divider between the icon and the caption.
    div = new("RGBA", (w, h), (0, 0, 0, 0))
    dd = ImageDraw.Draw(div)
    dd.rectangle((pix(28), pix(6), pix(29) - 1, pix(h - 6) - 1), fill=(0, 0, 0, 90))
    dd.rectangle((pix(29), pix(6), pix(30) - 1, pix(h - 6) - 1), fill=(255, 255, 255, 28))
    img = Image.alpha_composite(img, div)

    img = Image.alpha_composite(img, rrect_outline((w, h), 4, rgba(border, 255)))
    if state == 1:
        glow = rrect_outline((w, h), 3, rgba(lerp(border, (255, 255, 255), 0.3), 90), inset=1)
        img = Image.alpha_composite(img, glow)
    return img


# ------------------------------------------------------------------------ tags

def tag_image(label, top, bottom):
    """A small ribbon that sits on a district button's top-right corner."""
    ink, top, bottom = tag_palette(top, bottom)
    w, h = TAG
    body_h = h - 3
    img = new("RGBA", (w, h), (0, 0, 0, 0))

    # The fold under the ribbon's right end, darker, as if wrapped round the corner.
    def fold(d, s):
        d.polygon([((w - 4) * s, (body_h - 1) * s), (w * s, (body_h - 1) * s),
                   ((w - 4) * s, h * s)], fill=rgba(lerp(bottom, (0, 0, 0), 0.45)))
    img = over(img, aa((w, h), fold))

    body = new("RGBA", (w, h), (0, 0, 0, 0))
    paste(body, vgradient((w, body_h), top, bottom), (0, 0))
    bm = new("L", (w, h), 0)
    paste(bm, rrect_mask((w, body_h), 4), (0, 0))
    body = masked(body, bm)
    img = Image.alpha_composite(img, body)

    hl = new("RGBA", (w, h), (0, 0, 0, 0))
    paste(hl, vgradient((w, body_h // 2), (255, 255, 255, 70), (255, 255, 255, 0)), (0, 0))
    img = Image.alpha_composite(img, masked(hl, bm))
    edge = new("RGBA", (w, h), (0, 0, 0, 0))
    paste(edge, rrect_outline((w, body_h), 4, rgba(lerp(bottom, (0, 0, 0), 0.35), 200)), (0, 0))
    img = Image.alpha_composite(img, edge)
    # Drawn once at a size whose strokes stay apart: a doubled small face runs together.
    px = 12
    img = Image.alpha_composite(img, text_layer((w, h), (w / 2, body_h / 2), label, px,
                                                rgba(ink)))
    return img


# --------------------------------------------------------------------- buttons

def plate_button(size, label, px, top, bottom, border, text, shadow, state, radius=6):
    w, h = size
    if state == 1:
        top, bottom = lerp(top, (255, 255, 255), 0.16), lerp(bottom, (255, 255, 255), 0.10)
    elif state == 2:
        top, bottom = lerp(bottom, (0, 0, 0), 0.18), lerp(top, (0, 0, 0), 0.12)
    mask = rrect_mask((w, h), radius)
    img = masked(vgradient((w, h), rgba(top), rgba(bottom)), mask)
    if state != 2:
        hl = new("RGBA", (w, h), (0, 0, 0, 0))
        paste(hl, vgradient((w, h // 2), (255, 255, 255, 70), (255, 255, 255, 8)), (0, 0))
        img = Image.alpha_composite(img, masked(hl, rrect_mask((w, h), radius, inset=1)))
    img = Image.alpha_composite(img, rrect_outline((w, h), radius, rgba(border)))
    img = Image.alpha_composite(img, rrect_outline((w, h), radius - 1,
                                                   (255, 255, 255, 50 if state != 2 else 15),
                                                   inset=1))
    dy = 1 if state == 2 else 0
    img = Image.alpha_composite(img, text_layer((w, h), (w / 2, h / 2 + dy), label, px, text,
                                                shadow=shadow, bold=True))
    return img


def enter_button(state):
    return plate_button(ENTER, "\u8fdb\u5165\u6e38\u620f", 19,           # 进入游戏
                        (255, 214, 104), (214, 132, 26), (132, 74, 8),
                        (255, 255, 255, 255), (110, 50, 0, 230), state, radius=7)


def back_button(state, look=OWN_LOOK):
    top, bottom, border, text, shadow = look["plate"]
    return plate_button(BACK, "\u8fd4\u56de\u767b\u5f55", 14,            # 返回登录
                        top, bottom, border, rgba(text), rgba(shadow, 220), state)


def hint_ok_button(state):
    return plate_button(HINT_BUTTON, "\u786e\u5b9a", 14,                  # 确定
                        (255, 210, 100), (212, 132, 28), (132, 74, 8),
                        (255, 255, 255, 255), (110, 50, 0, 230), state, radius=5)


def hint_cancel_button(state, look=OWN_LOOK):
    top, bottom, border, text, shadow = look["plate"]
    return plate_button(HINT_BUTTON, "\u53d6\u6d88", 14,                  # 取消
                        top, bottom, border, rgba(text), rgba(shadow, 220), state, radius=5)


def close_button(state, look=OWN_LOOK):
    w, h = CLOSE
    img = new("RGBA", (w, h), (0, 0, 0, 0))
    if state:
        c = (214, 58, 52) if state == 1 else (160, 36, 32)
        img = masked(vgradient((w, h), rgba(lerp(c, (255, 255, 255), 0.12), 235), rgba(c, 235)),
                     rrect_mask((w, h), 4))
    color = (250, 250, 250, 255) if state else rgba(look["cross"])

    def cross(d, s):
        cx, cy, r = w / 2, h / 2 + (0.5 if state == 2 else 0), 5.5
        d.line(((cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s), fill=color, width=2 * s)
        d.line(((cx - r) * s, (cy + r) * s, (cx + r) * s, (cy - r) * s), fill=color, width=2 * s)
    return Image.alpha_composite(img, aa((w, h), cross))


def refresh_button(state, look=OWN_LOOK):
    """Measure again: a round arrow; hover lights a plate behind it, pressed sinks it."""
    w, h = REFRESH
    img = new("RGBA", (w, h), (0, 0, 0, 0))
    if state:
        top, bottom, border = look["button"][0], look["button"][1], look["button"][2]
        if state == 2:
            top, bottom = bottom, top
        img = masked(vgradient((w, h), rgba(top, 235), rgba(bottom, 235)), rrect_mask((w, h), 12))
        img = Image.alpha_composite(img, rrect_outline((w, h), 12, rgba(border), inset=0))
    color = (250, 250, 250, 255) if state else rgba(look["cross"])
    dy = 0.5 if state == 2 else 0

    def arrow(d, s):
        cx, cy, r = w / 2, h / 2 + dy, 6.5
        d.arc(((cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s), 40, 320, fill=color, width=2 * s)
        # The head at the arc's end (40 degrees), pointing along it.
        hx, hy = cx + r * 0.766, cy - r * 0.643
        d.polygon(((hx + 1.5) * s, (hy - 4.5) * s, (hx + 4.0) * s, (hy + 1.5) * s,
                   (hx - 2.5) * s, (hy + 1.0) * s), fill=color)
    return Image.alpha_composite(img, aa((w, h), arrow))


def selected_frame():
    """Drawn over the chosen district's button (which shows its band-lit hover look): a
    bright inner rim, so the choice stays visible once the pointer has left."""
    w, h = SPEED_BUTTON
    img = rrect_outline((w, h), 4, (255, 255, 255, 150), inset=1)
    return Image.alpha_composite(img, rrect_outline((w, h), 3, (255, 255, 255, 50), inset=2))


def measuring_note(look=OWN_LOOK):
    """'Measuring' for a group's header, shown until the list's districts are drawn."""
    w, h = 140, GROUP_HEADER_H
    return text_layer((w, h), (w - 2, h / 2), "\u6b63\u5728\u6d4b\u901f\u2026", 13,   # 正在测速…
                      rgba(look["note"]), anchor="rm")


def edit_frame(look=OWN_LOOK):
    w, h = EDIT
    top, bottom, border = look["edit"]
    img = masked(vgradient((w, h), rgba(top, 235), rgba(bottom, 235)), rrect_mask((w, h), 4))
    inner = new("RGBA", (w, h), (0, 0, 0, 0))
    ImageDraw.Draw(inner).rectangle((pix(4), pix(1), pix(w - 4) - 1, pix(2) - 1), fill=(0, 0, 0, 120))
    img = Image.alpha_composite(img, inner)
    img = Image.alpha_composite(img, rrect_outline((w, h), 4, rgba(border)))
    return img


# ------------------------------------------------------------------ background

def emblem(size, accent):
    """The launcher's mark: a faceted hexagon with a notch, in the accent colour."""
    w, h = size

    def draw(d, s):
        cx, cy, r = w / 2, h / 2, min(w, h) / 2 - 1
        hexa = [((cx + r * math.cos(math.pi / 6 + k * math.pi / 3)) * s,
                 (cy + r * math.sin(math.pi / 6 + k * math.pi / 3)) * s) for k in range(6)]
        d.polygon(hexa, fill=rgba(lerp(accent, (0, 0, 0), 0.35)))
        r2 = r * 0.78
        inner = [((cx + r2 * math.cos(math.pi / 6 + k * math.pi / 3)) * s,
                  (cy + r2 * math.sin(math.pi / 6 + k * math.pi / 3)) * s) for k in range(6)]
        d.polygon(inner, fill=rgba(accent))
        # A Z-like bolt cut through the middle.
        z = [(cx - r * 0.42, cy - r * 0.40), (cx + r * 0.42, cy - r * 0.40),
             (cx - r * 0.12, cy + r * 0.18), (cx + r * 0.42, cy + r * 0.18),
             (cx + r * 0.42, cy + r * 0.40), (cx - r * 0.42, cy + r * 0.40),
             (cx + r * 0.12, cy - r * 0.18), (cx - r * 0.42, cy - r * 0.18)]
        d.polygon([(x * s, y * s) for x, y in z], fill=(30, 16, 4, 255))
    return aa(size, draw)


def map_layer(theme, rnd):
    """A stylised network map: a faint grid, land masses of dotted cells, linked nodes."""
    w, h = WINDOW
    s = 2 * K
    big = Image.new("RGBA", (w * s, h * s), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)
    line = theme["line"]
    for x in range(0, w, 30):
        d.line((x * s, 0, x * s, h * s), fill=rgba(line, 14), width=K)
    for y in range(0, h, 30):
        d.line((0, y * s, w * s, y * s), fill=rgba(line, 14), width=K)

    # Land masses: blobs made of small dots on a hex lattice.
    blobs = [(170, 200, 150, 90), (420, 330, 130, 80), (700, 170, 170, 95),
             (300, 460, 110, 50), (820, 420, 100, 70), (60, 420, 80, 60)]
    for bx, by, rx, ry in blobs:
        k = [rnd.uniform(0.75, 1.25) for _ in range(5)]
        ph = [rnd.uniform(0, 2 * math.pi) for _ in range(5)]
        for gy in range(int(by - ry * 1.4), int(by + ry * 1.4), 8):
            off = 4 if (gy // 8) % 2 else 0
            for gx in range(int(bx - rx * 1.4) + off, int(bx + rx * 1.4), 8):
                a = math.atan2((gy - by) / ry, (gx - bx) / rx)
                rad = 1 + 0.18 * sum(k[i] * math.sin((i + 2) * a + ph[i]) for i in range(3))
                dist = math.hypot((gx - bx) / rx, (gy - by) / ry)
                if dist < rad:
                    edge = max(0.0, min(1.0, (rad - dist) * 3))
                    al = int(20 + 34 * edge)
                    d.ellipse(((gx - 1.3) * s, (gy - 1.3) * s, (gx + 1.3) * s, (gy + 1.3) * s),
                              fill=rgba(line, al))

    # Server nodes and the links between them.
    nodes = [(rnd.uniform(30, w - 30), rnd.uniform(TITLE_H + 20, h - 30)) for _ in range(22)]
    links = set()
    for i, (x1, y1) in enumerate(nodes):
        near = sorted(range(len(nodes)), key=lambda j: math.hypot(nodes[j][0] - x1,
                                                                   nodes[j][1] - y1))
        links.update((min(i, j), max(i, j)) for j in near[1:3])  # each node to its two nearest
    for i, j in sorted(links):
        (x1, y1), (x2, y2) = nodes[i], nodes[j]
        d.line((x1 * s, y1 * s, x2 * s, y2 * s), fill=rgba(line, 40), width=s)
    for x, y in nodes:
        r = rnd.choice((2.0, 2.5, 3.0))
        d.ellipse(((x - r * 2.4) * s, (y - r * 2.4) * s, (x + r * 2.4) * s, (y + r * 2.4) * s),
                  fill=rgba(theme["node"], 24))
        d.ellipse(((x - r) * s, (y - r) * s, (x + r) * s, (y + r) * s),
                  fill=rgba(theme["node"], 150))
    return big.resize(pix(w, h), Image.LANCZOS)


def radial_glow(size, center, radius, color, alpha):
    w, h = size
    small = Image.new("L", (w // 4, h // 4), 0)
    d = ImageDraw.Draw(small)
    cx, cy, r = center[0] / 4, center[1] / 4, radius / 4
    d.ellipse((cx - r, cy - r, cx + r, cy + r), fill=alpha)
    mask = small.filter(ImageFilter.GaussianBlur(r / 2.2)).resize(pix(size), Image.BILINEAR)
    layer = new("RGBA", size, rgba(color))
    layer.putalpha(mask)
    return layer


def panel(size, theme, header_h=0, header_title=None):
    """A framed translucent panel with an optional header plate."""
    w, h = size
    img = masked(vgradient((w, h), rgba(theme["panel"], 200), rgba(theme["panel"], 170)),
                 rrect_mask((w, h), 8))
    if header_h:
        hdr = new("RGBA", (w, h), (0, 0, 0, 0))
        paste(hdr, vgradient((w, header_h), rgba(lerp(theme["header"], (255, 255, 255), 0.08), 235),
                             rgba(theme["header"], 220)), (0, 0))
        hd = ImageDraw.Draw(hdr)
        hd.rectangle((0, pix(header_h), pix(w + 1) - 1, pix(header_h + 1) - 1), fill=rgba(theme["accent"], 150))
        img = Image.alpha_composite(img, masked(hdr, rrect_mask((w, h), 8)))
        # A short gold bar at the header's left, where the group label starts.
        mark = new("RGBA", (w, h), (0, 0, 0, 0))
        ImageDraw.Draw(mark).rectangle((pix(10), pix(8), pix(14) - 1, pix(header_h - 7) - 1), fill=rgba(theme["accent"]))
        img = Image.alpha_composite(img, mark)
        if header_title:
            img = Image.alpha_composite(img, text_layer((w, h), (20, header_h / 2), header_title,
                                                        14, (240, 232, 210, 255), anchor="lm",
                                                        shadow=(0, 0, 0, 200), bold=True))
    img = Image.alpha_composite(img, rrect_outline((w, h), 8, rgba(theme["line"], 120)))
    img = Image.alpha_composite(img, rrect_outline((w, h), 7, (255, 255, 255, 14), inset=1))
    return img


def legend(theme):
    """Speed legend for the title bar: mini bars with their meaning."""
    items = [(4, BANDS["fast"][1], "\u7545\u901a"),     # 畅通
             (3, BANDS["normal"][1], "\u826f\u597d"),   # 良好
             (1, BANDS["slow"][1], "\u7e41\u5fd9"),     # 繁忙
             (0, None, "\u7ef4\u62a4")]                 # 维护
    w, h = 300, 20
    img = new("RGBA", (w, h), (0, 0, 0, 0))
    x = 0
    for lit, color, label in items:
        if color is None:
            img = over(img, gear((w, h), x + 8, h / 2, 6, (180, 186, 194, 255), (0, 0, 0, 0)))
        else:
            bars = signal_bars((w, h), lit, rgba(color), (80, 90, 108, 255), x, h - 2)
            img = over(img, bars)
        img = Image.alpha_composite(img, text_layer((w, h), (x + 24, h / 2), label, 12,
                                                    (200, 210, 226, 255), anchor="lm"))
        x += 64
    return img


def background(name, theme):
    w, h = WINDOW
    rnd = random.Random(20261208)  # same map on both variants, same bytes on every run
    img = vgradient((w, h), rgba(theme["top"]), rgba(theme["bottom"]))
    img = Image.alpha_composite(img, radial_glow((w, h), (180, 120), 360, theme["glow"], 110))
    img = Image.alpha_composite(img, radial_glow((w, h), (760, 480), 300, theme["glow"], 60))
    img = Image.alpha_composite(img, map_layer(theme, rnd))

    # Title bar: darker strip, gold rule, mark and title.
    bar = new("RGBA", (w, h), (0, 0, 0, 0))
    paste(bar, vgradient((w, TITLE_H), (0, 0, 0, 150), (0, 0, 0, 90)), (0, 0))
    bd = ImageDraw.Draw(bar)
    bd.rectangle((0, pix(TITLE_H), pix(w + 1) - 1, pix(TITLE_H + 1) - 1), fill=rgba(theme["accent"], 170))
    bd.rectangle((0, pix(TITLE_H + 1), pix(w + 1) - 1, pix(TITLE_H + 2) - 1), fill=(0, 0, 0, 120))
    img = Image.alpha_composite(img, bar)
    img = over(img, emblem((30, 30), theme["accent"]), (16, 7))
    img = Image.alpha_composite(img, text_layer((w, h), (54, TITLE_H / 2), "\u9009\u62e9\u5927\u533a",
                                                19, (250, 238, 206, 255), anchor="lm",
                                                shadow=(0, 0, 0, 230), bold=True))  # 选择大区
    img = over(img, legend(theme), (160, 12))

    for box, title in ((GROUP_DX, "\u7535\u4fe1"), (GROUP_WT, "\u7f51\u901a"),   # 电信, 网通
                       (BROWSER, "\u6d3b\u52a8\u516c\u544a")):                    # 活动公告
        x, y, pw, ph = box
        img = over(img, panel((pw, ph), theme, GROUP_HEADER_H, title), (x, y))

    # A quiet mark in the middle of the notice panel, seen while no page is shown.
    bx, by, bw, bh = BROWSER
    mark = emblem((72, 72), lerp(theme["line"], theme["panel"], 0.55))
    my = by + GROUP_HEADER_H + (bh - GROUP_HEADER_H - 72) // 2 - 12
    img = over(img, mark, (bx + (bw - 72) // 2, my))
    img = Image.alpha_composite(img, text_layer((w, h), (bx + bw / 2, my + 92),
                                                "\u7cbe\u5f69\u6d3b\u52a8  \u656c\u8bf7\u671f\u5f85",  # 精彩活动  敬请期待
                                                13, rgba(lerp(theme["line"], (255, 255, 255), 0.2), 120)))

    x, y, pw, ph = BOTTOM
    img = over(img, panel((pw, ph), theme), (x, y))
    # Outer frame of the borderless window.
    frame = new("RGBA", (w, h), (0, 0, 0, 0))
    fd = ImageDraw.Draw(frame)
    fd.rectangle((0, 0, pix(w) - 1, pix(h) - 1), outline=rgba(theme["accent"], 130), width=K)
    fd.rectangle((K, K, pix(w - 1) - 1, pix(h - 1) - 1), outline=(0, 0, 0, 160), width=K)
    img = Image.alpha_composite(img, frame)
    return img.convert("RGB")


def hint_background(background="fwq_ditu.png"):
    w, h = HINT
    theme = THEMES[background]
    top, bottom, bar_top, bar_bottom = LOOKS[background]["hint"]
    # Square and opaque: the box is a rectangular window, a rounded edge would show its corners.
    img = vgradient((w, h), rgba(top), rgba(bottom))
    bar = new("RGBA", (w, h), (0, 0, 0, 0))
    paste(bar, vgradient((w, 34), rgba(bar_top, 255), rgba(bar_bottom, 255)), (0, 0))
    bd = ImageDraw.Draw(bar)
    bd.rectangle((0, pix(34), pix(w + 1) - 1, pix(35) - 1), fill=rgba(theme["accent"], 170))
    img = Image.alpha_composite(img, bar)
    img = over(img, emblem((22, 22), theme["accent"]), (12, 6))
    img = Image.alpha_composite(img, text_layer((w, h), (42, 17), "\u63d0\u793a", 15,      # 提示
                                                (250, 238, 206, 255), anchor="lm",
                                                shadow=(0, 0, 0, 220), bold=True))
    well = masked(vgradient((w - 32, 102), (0, 0, 0, 90), (0, 0, 0, 60)), rrect_mask((w - 32, 102), 6))
    img = over(img, well, (16, 48))
    img = over(img, rrect_outline((w - 32, 102), 6, rgba(theme["line"], 70)), (16, 48))
    frame = new("RGBA", (w, h), (0, 0, 0, 0))
    fd = ImageDraw.Draw(frame)
    fd.rectangle((0, 0, pix(w) - 1, pix(h) - 1), outline=rgba(theme["accent"], 200), width=K)
    fd.rectangle((K, K, pix(w - 1) - 1, pix(h - 1) - 1), outline=(255, 255, 255, 20), width=K)
    img = Image.alpha_composite(img, frame)
    return img


# ---------------------------------------------------------------------- output

def all_images():
    """Every image of the skin as (file name, drawing function)."""
    out = []
    for name, theme in THEMES.items():
        out.append((name, lambda n=name, t=theme: background(n, t)))
    for band in BANDS:
        for state in range(3):
            out.append(("fuwuqi_%s%02d.tga" % (band, state),
                        lambda b=band, s=state: speed_button(b, s)))
    out.append(("fuwuqi_down.tga", lambda: speed_button("down", 0)))
    out.append(("fuwuqi_selected.png", selected_frame))
    for fname, label, top, bottom in TAGS:
        out.append((fname, lambda l=label, t=top, b=bottom: tag_image(l, t, b)))
    for state in range(3):
        out.append(("btn_enter%02d.png" % state, lambda s=state: enter_button(s)))
        out.append(("btn_back%02d.png" % state, lambda s=state: back_button(s)))
        out.append(("btn_close%02d.png" % state, lambda s=state: close_button(s)))
        out.append(("btn_refresh%02d.png" % state, lambda s=state: refresh_button(s)))
        out.append(("hint_ok%02d.png" % state, lambda s=state: hint_ok_button(s)))
        out.append(("hint_cancel%02d.png" % state, lambda s=state: hint_cancel_button(s)))
    out.append(("edit_select.png", edit_frame))
    out.append(("measuring.png", measuring_note))
    out.append(("hint_bg.png", hint_background))
    out += themed_images()
    return out


def themed(name, suffix):
    stem, ext = os.path.splitext(name)
    return stem + suffix + ext


def twice(name):
    return themed(name, "@2x")


def every_file():
    """(file name, pixels per unit, drawing function) of every image at both sizes."""
    images = all_images()
    return [(n, 1, f) for n, f in images] + [(twice(n), 2, f) for n, f in images]


def themed_images():
    """The other backgrounds' matching sets, under the names their theme draws."""
    out = []
    for background, look in LOOKS.items():
        sfx = look["suffix"]
        if not sfx:
            continue
        for band in BANDS:
            for state in range(3):
                out.append((themed("fuwuqi_%s%02d.tga" % (band, state), sfx),
                            lambda b=band, s=state, l=look: speed_button(b, s, l)))
        out.append((themed("fuwuqi_down.tga", sfx), lambda l=look: speed_button("down", 0, l)))
        for state in range(3):
            out.append((themed("btn_back%02d.png" % state, sfx), lambda s=state, l=look: back_button(s, l)))
            out.append((themed("btn_refresh%02d.png" % state, sfx),
                        lambda s=state, l=look: refresh_button(s, l)))
            out.append((themed("hint_cancel%02d.png" % state, sfx),
                        lambda s=state, l=look: hint_cancel_button(s, l)))
        out.append((themed("btn_close00.png", sfx), lambda l=look: close_button(0, l)))
        out.append((themed("edit_select.png", sfx), lambda l=look: edit_frame(l)))
        out.append((themed("measuring.png", sfx), lambda l=look: measuring_note(l)))
        out.append((themed("hint_bg.png", sfx), lambda b=background: hint_background(b)))
    return out


def save(img, path, name):
    if name.endswith(".tga"):
        # Uncompressed 32-bit with alpha, rows top first: the simplest TGA every reader takes.
        img.convert("RGBA").save(path, format="TGA", compression=None, orientation=1)
    else:
        img.save(path, format="PNG", optimize=False)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("outdir", nargs="?", help="folder to write the images into (created if missing)")
    ap.add_argument("--list", action="store_true", help="print the names of the images, one a line")
    args = ap.parse_args(argv)
    if args.list:
        sys.stdout.write("".join(name + "\n" for name, _, _ in every_file()))
        return 0
    if not args.outdir:
        ap.error("an output folder is required")
    if not os.path.isfile(FONT_PATH):
        sys.stderr.write("make_skin_assets: font %s not found (Debian package fonts-wqy-microhei)\n"
                         % FONT_PATH)
        return 1
    os.makedirs(args.outdir, exist_ok=True)
    global K
    for name, scale, make in every_file():
        path = os.path.join(args.outdir, name)
        tmp = path + ".tmp"
        K = scale
        save(make(), tmp, name)
        os.replace(tmp, path)  # a reader never sees half an image
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
