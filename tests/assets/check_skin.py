#!/usr/bin/python3
"""Checks the default skin: its descriptions name only images the generator draws, at the sizes of their controls."""

# Usage: check_skin.py GENERATOR SKIN_DIR --attributes TOOL [--preview DIR]
# Runs the generator twice into fresh folders (the output must be byte-identical), then
# checks both skin descriptions against the images and against the controls the launcher
# looks up. With --preview it also composes how the two windows look, for a human eye.

import argparse
import filecmp
import importlib.util
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

from PIL import Image, ImageDraw, ImageFont

# The attributes each control kind takes, as the loader's own table lists them.
KINDS = {}


def read_attributes(tool):
    out = subprocess.run([tool, "--list-attributes"], stdout=subprocess.PIPE, check=True,
                         universal_newlines=True).stdout
    for line in out.splitlines():
        words = line.split()
        if words:
            KINDS[words[0]] = set(words[1:])


IMAGE_ATTRS = ("bkimage", "normalimage", "hoverimage", "pressedimage", "image", "selectedimage")
SPEED_ICONS = ["fuwuqi_%s%02d.tga" % (b, s) for b in ("fast", "normal", "slow") for s in range(3)]
SPEED_ICONS.append("fuwuqi_down.tga")
TAG_IMAGES = ["item_tuijian.png", "item_new.png", "item_huodong.png", "item_double.png",
              "item_bisai.png"]
BACKGROUNDS = ["fwq_ditu.png", "fwq_ditu_01.png"]
FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"


class Control:
    def __init__(self, elem, parent, path, rect):
        self.elem, self.parent, self.path, self.rect = elem, parent, path, rect
        self.kind = elem.tag
        self.children = []

    def attr(self, name, default=None):
        return self.elem.get(name, default)

    @property
    def visible(self):
        return self.attr("visible", "true") == "true"


class Skin:
    def __init__(self, path):
        self.file = os.path.basename(path)
        self.problems = []
        self.controls = []
        root = ET.parse(path).getroot()
        if root.tag != "Skin":
            self.fail("root element is %s, not Skin" % root.tag)
        self.fonts = {f.get("name"): int(f.get("size", "12")) for f in root.findall("Font")}
        self.defaults = {d.get("kind"): d.attrib for d in root.findall("Default")}
        self.themes = [{"name": t.get("name", ""), "background": t.get("background", ""),
                        "suffix": t.get("imagesuffix", ""),
                        "colors": [(c.get("control"), {a: v for a, v in c.attrib.items()
                                                       if a != "control"})
                                   for c in t.findall("Color")]}
                       for t in root.findall("Theme")]
        dialogs = root.findall("Dialog")
        if len(dialogs) != 1:
            self.fail("%d Dialog elements, exactly one expected" % len(dialogs))
            return
        size = self.numbers(dialogs[0].get("size", ""), 2, "Dialog size")
        self.dialog = self.walk(dialogs[0], None, (0, 0) + tuple(size or (0, 0)))

    def fail(self, what):
        self.problems.append("%s: %s" % (self.file, what))

    def numbers(self, text, count, what):
        try:
            vals = [int(v) for v in text.split(",")]
        except ValueError:
            vals = []
        if len(vals) != count:
            self.fail("%s %r is not %d integers" % (what, text, count))
            return None
        return vals

    def walk(self, elem, parent, rect):
        name = elem.get("name")
        path = name if parent is None else parent.path + "\\" + name
        if elem.tag not in KINDS:
            self.fail("unknown control kind %s (%s)" % (elem.tag, path))
        else:
            for a in elem.attrib:
                if a not in KINDS[elem.tag]:
                    self.fail("attribute %s not taken by %s %s" % (a, elem.tag, path))
        if parent is not None:
            if "pos" in elem.attrib:
                pos = self.numbers(elem.get("pos"), 4, "pos of " + path) or [0, 0, 0, 0]
                rect = (parent.rect[0] + pos[0], parent.rect[1] + pos[1], pos[2], pos[3])
                px, py, pw, ph = parent.rect
                if pos[0] < 0 or pos[1] < 0 or pos[0] + pos[2] > pw or pos[1] + pos[3] > ph:
                    self.fail("%s reaches outside its parent" % path)
            else:
                rect = parent.rect
        ctl = Control(elem, parent, path, rect)
        self.controls.append(ctl)
        names = set()
        for child in elem:
            if child.get("name") in names:
                self.fail("duplicate name %s under %s" % (child.get("name"), path))
            names.add(child.get("name"))
            ctl.children.append(self.walk(child, ctl, rect))
        return ctl

    def find(self, path):
        for c in self.controls:
            if c.path == path or (("\\" not in path) and c.attr("name") == path):
                return c
        return None

    def effective(self, ctl, attr, default=None):
        return ctl.attr(attr, self.defaults.get(ctl.kind, {}).get(attr, default))

    def expect(self, path, kind, visible=None):
        c = self.find(path)
        if c is None:
            self.fail("control %s missing" % path)
        elif c.kind != kind:
            self.fail("%s is a %s, %s expected" % (path, c.kind, kind))
        elif visible is not None and c.visible != visible:
            self.fail("%s should start %s" % (path, "shown" if visible else "hidden"))
        return c


def image_value_file(value):
    """The file named by an image value, in any of the forms the engine accepts."""
    if value.startswith("ONEIMAGE:"):
        value = value[len("ONEIMAGE:"):]
    return value.split(";")[0]


def check_image(skin, imgdir, name, size, what, need_alpha=False):
    path = os.path.join(imgdir, name)
    if not os.path.isfile(path):
        skin.fail("%s: image %s is not produced by the generator" % (what, name))
        return
    try:
        with Image.open(path) as im:
            im.load()
            if im.size != tuple(size):
                skin.fail("%s: %s is %dx%d, the control is %dx%d"
                          % (what, name, im.size[0], im.size[1], size[0], size[1]))
            if need_alpha and im.mode != "RGBA":
                skin.fail("%s: %s has no alpha channel (mode %s)" % (what, name, im.mode))
    except Exception as e:  # any decoding failure is a finding, not a crash
        skin.fail("%s: %s does not decode: %s" % (what, name, e))
    # Screens of 192 DPI draw the twice-as-large file; the engine refuses any other size.
    twice = "%s@2x%s" % os.path.splitext(name)
    try:
        with Image.open(os.path.join(imgdir, twice)) as im:
            if im.size != (2 * size[0], 2 * size[1]):
                skin.fail("%s: %s is %dx%d, not twice %dx%d" % (what, twice, *im.size, *size))
    except Exception as e:
        skin.fail("%s: %s has no readable @2x image: %s" % (what, name, e))


def check_opaque(skin, imgdir, name):
    """A window is a rectangle: a see-through pixel in its background shows the bare window."""
    path = os.path.join(imgdir, name)
    if os.path.isfile(path):
        with Image.open(path) as im:
            if im.convert("RGBA").getchannel("A").getextrema()[0] != 255:
                skin.fail("window background %s is not opaque everywhere" % name)


def check_common(skin, imgdir):
    for c in skin.controls:
        for a in IMAGE_ATTRS:
            v = c.attr(a)
            if v:
                check_image(skin, imgdir, image_value_file(v), c.rect[2:], "%s %s" % (c.path, a))
        for a in ("text", "title"):
            v = c.attr(a)
            if v:
                try:
                    v.encode("gbk")
                except UnicodeEncodeError:
                    skin.fail("%s %s %r has characters outside GBK" % (c.path, a, v))
        font = skin.effective(c, "font")
        if font and font not in skin.fonts:
            skin.fail("%s names unknown font %s" % (c.path, font))
    if skin.dialog is not None and skin.dialog.attr("bkimage"):
        check_opaque(skin, imgdir, image_value_file(skin.dialog.attr("bkimage")))
    for b in ("defaultbutton", "cancelbutton"):
        v = skin.dialog.attr(b)
        if v and (skin.find(v) is None or skin.find(v).kind != "Button"):
            skin.fail("Dialog %s %s is not a button" % (b, v))


def check_launcher_skin(skin, imgdir):
    dlg = skin.expect("Dialog_ZentPorter", "Dialog")
    if dlg is None:
        return
    for bg in BACKGROUNDS:
        check_image(skin, imgdir, bg, dlg.rect[2:], "background")
        check_opaque(skin, imgdir, bg)
    for name, kind, vis in (("Static_version", "Static", True), ("Edit_select", "Edit", True),
                            ("Static_version_zone", "Static", True),
                            ("Button_enter", "Button", True), ("Button_close", "Button", True),
                            ("Button_back", "Button", True), ("Button_refresh", "Button", True),
                            ("WebBrowser_right", "Browser", False)):
        skin.expect(name, kind, vis)
    if dlg.attr("defaultbutton") != "Button_enter":
        skin.fail("Enter should press Button_enter")
    if dlg.attr("cancelbutton") != "Button_close":
        skin.fail("Escape should press Button_close")
    buttons = []
    for group in ("Container_dx", "Container_wt"):
        skin.expect("Dialog_ZentPorter\\" + group, "Container")
        for i in range(1, 21):
            slot = "Dialog_ZentPorter\\%s\\server%d" % (group, i)
            b = skin.expect(slot + "\\Button", "Button", False)
            t = skin.expect(slot + "\\Tag", "Image", False)
            if b is not None and b.kind == "Button":
                buttons.append(b)
                for icon in SPEED_ICONS:
                    check_image(skin, imgdir, icon, b.rect[2:], b.path, need_alpha=True)
            if t is not None and t.kind == "Image":
                for tag in TAG_IMAGES:
                    check_image(skin, imgdir, tag, t.rect[2:], t.path, need_alpha=True)
                if b is not None and skin.controls.index(t) < skin.controls.index(b):
                    skin.fail("%s lies under its button" % t.path)
    for i, a in enumerate(buttons):
        for b in buttons[i + 1:]:
            ax, ay, aw, ah = a.rect
            bx, by, bw, bh = b.rect
            if ax < bx + bw and bx < ax + aw and ay < by + bh and by < ay + ah:
                skin.fail("%s overlaps %s" % (a.path, b.path))


def check_pixels(imgdir, names):
    """A drawing must not be blank, and a button's three states must look different."""
    problems = []
    pixels = {}
    for n in names:
        with Image.open(os.path.join(imgdir, n)) as im:
            rgba_im = im.convert("RGBA")
        if rgba_im.getchannel("A").getbbox() is None:
            problems.append("%s is fully transparent" % n)
        if rgba_im.convert("L").getextrema()[0] == rgba_im.convert("L").getextrema()[1]:
            problems.append("%s is one flat colour" % n)
        pixels[n] = rgba_im.tobytes()
    for n in names:
        stem, ext = os.path.splitext(n)
        if stem.endswith("00"):
            states = [stem[:-2] + "%02d" % k + ext for k in range(3)]
            for k, other in enumerate(states[1:], 1):
                if other not in pixels:
                    problems.append("%s has no state image %s" % (n, other))
                elif pixels[other] == pixels[n] or (k == 2 and pixels[other] == pixels[states[1]]):
                    problems.append("%s looks the same as an earlier state" % other)
    return problems


def check_hint_skin(skin, imgdir):
    if skin.dialog is None or skin.dialog.kind != "Dialog":
        skin.fail("no main window")
    skin.expect("Static_MsgInfo", "Static", True)
    skin.expect("Button_Quit", "Button", True)
    # Every message only informs: one OK in the middle, the cancel button hidden.
    ok = skin.expect("Button_MsgOk", "Button", True)
    skin.expect("Button_Cancel", "Button", False)
    if ok is not None and skin.dialog is not None:
        x, _, w, _ = ok.rect
        if abs((x + w / 2) - skin.dialog.rect[2] / 2) > 1:
            skin.fail("Button_MsgOk is not centred in the box")


def generator_module(generator):
    found = importlib.util.spec_from_file_location("make_skin_assets", generator)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def check_tag_contrast(generator, imgdir, minimum=4.5):
    """Measured on the drawn ribbons: the ground at the letter-free left end, top and
    bottom, against the pixel of the lettering that stands out most from it. The contrast
    formula is the generator's own."""
    contrast = generator_module(generator).contrast
    problems = []
    for name in TAG_IMAGES:
        with Image.open(os.path.join(imgdir, name)) as im:
            im = im.convert("RGB")
            w, h = im.size
            grounds = [im.getpixel((3, 4)), im.getpixel((3, h - 7))]
            letters = [im.getpixel((x, y)) for x in range(7, w - 7) for y in range(2, h - 5)]
            ink = max(letters, key=lambda p: min(contrast(p, g) for g in grounds))
            worst = min(contrast(ink, g) for g in grounds)
            if worst < minimum:
                problems.append("%s: lettering %s on %s has a contrast of %.2f:1, below %.1f:1"
                                % (name, ink, grounds, worst, minimum))
    return problems


# ---------------------------------------------------------------------- preview

SAMPLE = [  # name, band, tag
    ("电信一区 青龙", "fast", "item_tuijian.png"), ("电信二区 白虎", "fast", None),
    ("电信三区 朱雀", "normal", "item_new.png"), ("电信四区 玄武", "slow", None),
    ("电信五区 麒麟", "down", None), ("电信六区 凤凰", "fast", "item_double.png"),
    ("电信七区 星河", "normal", None), ("电信八区 云海", "fast", "item_huodong.png"),
    ("电信九区 天池", "fast", None),
]
SAMPLE_WT = [("网通一区 雷霆", "fast", "item_bisai.png"), ("网通二区 长风", "normal", None),
             ("网通三区 烈焰", "slow", "item_new.png"), ("网通四区 冰原", "fast", None),
             ("网通五区 沧澜", "down", None), ("网通六区 霜月", "fast", None)]


def font(px):
    # Skin sizes are pixel heights (ascent plus descent); Pillow's sizes are em sizes.
    probe = ImageFont.truetype(FONT_PATH, 100, index=0)
    asc, desc = probe.getmetrics()
    return ImageFont.truetype(FONT_PATH, max(4, round(px * 100 / (asc + desc))), index=0)


def colour(v, default):
    v = v or default
    v = v.lstrip("#")
    if len(v) == 6:
        v = "FF" + v
    a, r, g, b = (int(v[i:i + 2], 16) for i in range(0, 8, 2))
    return (r, g, b, a)


def draw_text(canvas, skin, c, text, rect, text_colour, align=None):
    if not text:
        return
    px = skin.fonts.get(skin.effective(c, "font") or "default", skin.fonts.get("default", 12))
    col = colour(text_colour, "#FF000000")
    align = align or skin.effective(c, "align", "center" if c.kind == "Button" else "left")
    valign = skin.effective(c, "valign", "center") if c.kind == "Static" else "center"
    x, y, w, h = rect
    ax = {"left": (x, "l"), "center": (x + w / 2, "m"), "right": (x + w, "r")}[align]
    ay = {"top": (y, "a"), "center": (y + h / 2, "m"), "bottom": (y + h, "d")}[valign]
    ImageDraw.Draw(canvas).text((ax[0], ay[0]), text.strip(), font=font(px), fill=col,
                                anchor=ax[1] + ay[1])


def themed_file(imgdir, name, theme):
    """The file the engine draws for an image name under a theme (None: the skin's own)."""
    if theme and theme["suffix"]:
        stem, ext = os.path.splitext(name)
        if os.path.isfile(os.path.join(imgdir, stem + theme["suffix"] + ext)):
            return stem + theme["suffix"] + ext
    return name


def look(skin, c, attr, default, theme):
    """A control's colour attribute, the theme's where it gives one."""
    for control, colours in (theme["colors"] if theme else []):
        if attr in colours and skin.find(control) is c:
            return colours[attr]
    return skin.effective(c, attr, default)


def theme_for(skin, background):
    return next((t for t in skin.themes if t["background"].lower() == background.lower()), None)


def render(skin, imgdir, values, theme=None, text=True):
    """Composes a window: controls in document order, with the values a run would set."""
    w, h = skin.dialog.rect[2:]
    canvas = Image.new("RGBA", (w, h), colour(look(skin, skin.dialog, "bkcolor", None, theme),
                                              "#FF202020"))

    def paste(name, rect):
        name = themed_file(imgdir, image_value_file(name), theme)
        with Image.open(os.path.join(imgdir, name)) as im:
            canvas.alpha_composite(im.convert("RGBA").resize(rect[2:]), (rect[0], rect[1]))

    def shown(c):
        while c is not None:
            if not values.get(c.path, {}).get("visible", c.visible):
                return False
            c = c.parent
        return True

    for c in skin.controls:
        if not shown(c):
            continue
        v = values.get(c.path, {})
        img = v.get("image") or c.attr("bkimage") or c.attr("normalimage") or c.attr("image")
        bk = look(skin, c, "bkcolor", None, theme)
        if c.kind in ("Edit", "Browser", "Static") and bk:
            canvas.alpha_composite(Image.new("RGBA", c.rect[2:], colour(bk, "")), c.rect[:2])
        if img:
            paste(img, c.rect)
        label = v.get("text", c.attr("text"))
        if text and c.kind in ("Button", "Static", "Edit"):
            draw_text(canvas, skin, c, label, text_box(skin, c),
                      look(skin, c, "textcolor", "#FF000000", theme))
    return canvas


def text_box(skin, c):
    """Where a control's text goes: inside its textpadding (an edit box's default is 4,4)."""
    x, y, cw, ch = c.rect
    pad = skin.effective(c, "textpadding", "4,4" if c.kind == "Edit" else "0,0").split(",")
    left, right = int(pad[0]), int(pad[1])
    return (x + left, y, cw - left - right, ch)


def check_text_contrast(skin, imgdir, values, theme, contrast, minimum=4.5):
    """Live text against what lies under its box, with the theme's images and colours: at
    least minimum against nine tenths of the ground (a map dot may be brighter)."""
    problems = []
    ground = render(skin, imgdir, values, theme, text=False).convert("RGB")
    where = "%s, %s" % (skin.file, "theme " + theme["name"] if theme else "own look")
    for c in skin.controls:
        v = values.get(c.path, {})
        if c.kind not in ("Button", "Static", "Edit", "Browser"):
            continue
        if c.kind != "Browser" and not v.get("text", c.attr("text")):
            continue
        if not v.get("visible", c.visible):
            continue
        x, y, w, h = text_box(skin, c) if c.kind != "Browser" else c.rect
        ink = colour(look(skin, c, "textcolor", "#FF000000", theme), "")[:3]
        pixels = [ground.getpixel((i, j)) for i in range(x, x + w, 2) for j in range(y, y + h, 2)]
        ratios = sorted(contrast(ink, p) for p in pixels)
        worst = ratios[len(ratios) // 10]
        if worst < minimum:
            problems.append("%s: %s text %s has a contrast of %.2f:1 on its ground, below %.1f:1"
                            % (where, c.path, ink, worst, minimum))
    return problems


def check_themes(skin, imgdir, images, required=()):
    """Each theme: one of the launcher's backgrounds, colours for controls that take them,
    and its images at the sizes of the skin's own; the required ones all drawn."""
    drawn = set()
    for t in skin.themes:
        if t["background"] not in BACKGROUNDS:
            skin.fail("theme %s: %s is none of the launcher's backgrounds" % (t["name"], t["background"]))
        for control, colours in t["colors"]:
            c = skin.find(control)
            if c is None:
                skin.fail("theme %s: no control %s" % (t["name"], control))
                continue
            for a in colours:
                if a not in KINDS.get(c.kind, ()):
                    skin.fail("theme %s: %s takes no %s" % (t["name"], control, a))
        for name in sorted(set(images) | set(required)):
            mine = themed_file(imgdir, name, t)
            if mine == name:
                if name in required:
                    skin.fail("theme %s: no image of its own for %s" % (t["name"], name))
                continue
            drawn.add(mine)
            with Image.open(os.path.join(imgdir, name)) as base, \
                    Image.open(os.path.join(imgdir, mine)) as other:
                if base.size != other.size or base.mode != other.mode:
                    skin.fail("theme %s: %s is %s %s, %s is %s %s" % (
                        t["name"], mine, other.size, other.mode, name, base.size, base.mode))
    return drawn


def sample_values():
    """What a run sets: a chosen district, versions, one district of every band and tag."""
    values = {"Dialog_ZentPorter\\Static_version": {"text": "V2.1.3\n"},
              "Dialog_ZentPorter\\Edit_select": {"text": "电信一区 青龙"},
              "Dialog_ZentPorter\\Static_version_zone": {"text": "3.6.12"}}
    for group, rows in (("Container_dx", SAMPLE), ("Container_wt", SAMPLE_WT)):
        for i, (name, band, tag) in enumerate(rows, 1):
            slot = "Dialog_ZentPorter\\%s\\server%d" % (group, i)
            icon = "fuwuqi_down.tga" if band == "down" else "fuwuqi_%s00.tga" % band
            values[slot + "\\Button"] = {"visible": True, "text": name, "image": icon}
            if tag:
                values[slot + "\\Tag"] = {"visible": True, "image": tag}
    return values


HINT_VALUES = {"Dialog_HintMsg\\Static_MsgInfo": {"text": "所选大区正在维护，请稍候再试"}}


def preview(launcher, hint, imgdir, outdir):
    os.makedirs(outdir, exist_ok=True)
    values = sample_values()
    for bg in BACKGROUNDS:
        render(launcher, imgdir, dict(values, **{"Dialog_ZentPorter": {"image": bg}}),
               theme_for(launcher, bg)).save(os.path.join(outdir, "preview_" + bg))
    box = render(hint, imgdir, HINT_VALUES)
    main = render(launcher, imgdir, values)
    shade = Image.new("RGBA", main.size, (0, 0, 0, 110))
    main = Image.alpha_composite(main, shade)
    main.alpha_composite(box, ((main.size[0] - box.size[0]) // 2, (main.size[1] - box.size[1]) // 2))
    main.save(os.path.join(outdir, "preview_hint.png"))


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("generator")
    ap.add_argument("skindir")
    ap.add_argument("--attributes", metavar="TOOL", required=True,
                    help="corvio_skin_attributes, which prints the loader's attribute table")
    ap.add_argument("--preview", metavar="DIR")
    args = ap.parse_args(argv)
    read_attributes(args.attributes)

    with tempfile.TemporaryDirectory() as tmp:
        first, second = os.path.join(tmp, "a"), os.path.join(tmp, "b")
        for out in (first, second):
            r = subprocess.run([sys.executable, args.generator, out])
            if r.returncode != 0:
                print("generator failed with exit code %d" % r.returncode)
                return 1
        problems = []
        names = sorted(os.listdir(first))
        if names != sorted(os.listdir(second)):
            problems.append("two runs produced different file sets")
        for n in names:
            if not filecmp.cmp(os.path.join(first, n), os.path.join(second, n), shallow=False):
                problems.append("%s differs between two runs" % n)
            if n.endswith(".tmp"):
                problems.append("%s left behind" % n)

        launcher = Skin(os.path.join(args.skindir, "zentPorter.xml"))
        check_common(launcher, first)
        check_launcher_skin(launcher, first)
        hint = Skin(os.path.join(args.skindir, "HintMsg.xml"))
        check_common(hint, first)
        check_hint_skin(hint, first)
        problems += launcher.problems + hint.problems

        problems += check_pixels(first, names)
        problems += check_tag_contrast(args.generator, first)

        # Each background with its own set: the launcher's skin and the hint box over it.
        contrast = generator_module(args.generator).contrast
        own = image_value_file(launcher.dialog.attr("bkimage", "")) if launcher.dialog else ""
        used_by = {}
        for skin in (launcher, hint):
            used_by[skin] = {image_value_file(c.attr(a)) for c in skin.controls
                             for a in IMAGE_ATTRS if c.attr(a)}
        used_by[launcher] |= set(SPEED_ICONS)
        required = {launcher: SPEED_ICONS + ["btn_back00.png", "edit_select.png"],
                    hint: ["hint_bg.png"]}
        themed = set()
        for skin in (launcher, hint):
            before = len(skin.problems)
            themed |= check_themes(skin, first, used_by[skin], required[skin])
            problems += skin.problems[before:]
        for bg in BACKGROUNDS:
            for skin, values in ((launcher, sample_values()), (hint, HINT_VALUES)):
                theme = theme_for(skin, bg)
                if theme is None and bg != own:
                    problems.append("%s: no theme for the background %s" % (skin.file, bg))
                values = dict(values, **({"Dialog_ZentPorter": {"image": bg}} if skin is launcher else {}))
                values["Dialog_ZentPorter\\WebBrowser_right"] = {"visible": True}
                problems += check_text_contrast(skin, first, values, theme, contrast)

        used = set()
        for skin in (launcher, hint):
            for c in skin.controls:
                used.update(image_value_file(c.attr(a)) for a in IMAGE_ATTRS if c.attr(a))
        used.update(SPEED_ICONS + TAG_IMAGES + BACKGROUNDS)
        used |= themed
        for n in names:
            if n.replace("@2x.", ".") not in used:  # a twice file serves its image
                problems.append("%s is drawn but no skin uses it" % n)

        if args.preview and not problems:
            preview(launcher, hint, first, args.preview)

    for i, p in enumerate(problems, 1):
        print("problem %d: %s" % (i, p))
    print("%d images checked, %d problems" % (len(names), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
