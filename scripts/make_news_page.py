#!/usr/bin/python3
"""Writes the demo's notice page into a folder: news.html, news.css and img/ with a banner
and two icons, as an operator would publish it (40 dated news lines, a table of events)."""

# Original work of this project, the same bytes every time (no time stamps, fixed shapes),
# so the demo, the end-to-end tests and the page benchmark all read one realistic page.

import argparse
import os
import sys

from PIL import Image, ImageDraw, ImageFont

FONT_PATH = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
BANNER = (228, 96)

NEWS = [
    "冬季版本更新说明", "华东电信一区维护公告", "新区「雪原之巅」开放", "双倍经验活动开启",
    "比赛报名即将截止", "客户端修复若干问题", "网通三区合服公告", "账号安全提醒",
    "新手礼包领取方式", "周末限时商城折扣",
]

CSS = """\
/* The notice page's look: transparent, so the pane's own colour (which follows the
   launcher's theme) shows through; light text that reads on either background. */
body { margin: 6px 8px; font-size: 13px; line-height: 1.45; }
.banner { display: block; width: 100%; margin: 0 0 8px 0; border: 1px solid #e8b64c; }
h1 { font-size: 15px; margin: 4px 0 6px 0; color: #e8b64c; border-bottom: 1px solid #e8b64c; }
h2 { font-size: 13px; margin: 10px 0 4px 0; color: #e8b64c; }
table.events { width: 100%; border-collapse: collapse; margin-bottom: 6px; }
table.events td { padding: 3px 2px; vertical-align: middle; border-bottom: 1px solid #3a4a66; }
table.events img { width: 20px; height: 20px; display: block; }
ul.news { margin: 0; padding: 0 0 0 14px; list-style: square; }
ul.news li { margin: 1px 0; color: #e8b64c; }
ul.news .date { color: #9fb0c8; font-size: 11px; margin-right: 4px; }
a { color: #8fc8ff; text-decoration: none; }
a:hover { text-decoration: underline; }
.hot { color: #ff8a7a; font-weight: bold; }
p.foot { margin-top: 10px; font-size: 11px; color: #9fb0c8; }
"""


def font(size):
    try:
        return ImageFont.truetype(FONT_PATH, size)
    except OSError:
        return ImageFont.load_default()


def banner(path):
    w, h = BANNER
    image = Image.new("RGB", BANNER)
    draw = ImageDraw.Draw(image)
    for y in range(h):  # a night sky fading into a warm horizon
        t = y / (h - 1)
        draw.line([(0, y), (w, y)], fill=(int(20 + 150 * t * t), int(30 + 60 * t), int(80 - 30 * t)))
    for i in range(24):
        x, y = (i * 37) % w, (i * 53) % (h // 2)
        draw.point((x, y), fill=(255, 255, 230))
    draw.polygon([(0, h), (60, 52), (110, h)], fill=(34, 40, 62))
    draw.polygon([(80, h), (160, 40), (228, h)], fill=(46, 52, 80))
    draw.polygon([(140, 58), (160, 40), (176, 60)], fill=(236, 240, 250))
    draw.text((10, 10), "冬季版本", font=font(22), fill=(255, 230, 160))
    draw.text((12, 40), "雪原之巅 · 12月开放", font=font(12), fill=(240, 240, 250))
    image.save(path, optimize=False)


def icon(path, colour, mark):
    image = Image.new("RGBA", (40, 40), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    draw.ellipse((2, 2, 38, 38), fill=colour, outline=(255, 255, 255, 255), width=2)
    draw.text((11, 6), mark, font=font(22), fill=(255, 255, 255, 255))
    image.save(path, optimize=False)


def page():
    lines = []
    for i in range(40):
        day = 9 - i // 5
        title = NEWS[i % len(NEWS)]
        hot = ' <span class="hot">热</span>' if i % 7 == 0 else ""
        lines.append(f'  <li><span class="date">12-{day:02d}</span>'
                     f'<a href="https://www.zent.example.com/news/{1200 - i}.html">{title}</a>{hot}</li>')
    return f"""<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>游戏公告</title>
<link rel="stylesheet" href="news.css">
<script>window.track && track('news');</script>
</head>
<body>
<a href="https://www.zent.example.com/winter"><img class="banner" src="img/banner.png" alt="冬季版本"></a>
<h1>活动</h1>
<table class="events">
  <tr><td><img src="img/event.png" alt=""></td><td><a href="https://www.zent.example.com/events/snow">雪原寻宝</a> 12月10日至12月24日</td></tr>
  <tr><td><img src="img/cup.png" alt=""></td><td><a href="https://www.zent.example.com/events/cup">跨区比赛</a> 报名截止12月15日</td></tr>
</table>
<h2>最新公告</h2>
<ul class="news">
{chr(10).join(lines)}
</ul>
<p class="foot">更多内容请访问 <a href="https://www.zent.example.com/">官方网站</a></p>
</body>
</html>
"""


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("outdir", help="folder to write the page into (created if missing)")
    args = ap.parse_args(argv)
    os.makedirs(os.path.join(args.outdir, "img"), exist_ok=True)
    with open(os.path.join(args.outdir, "news.html"), "w", encoding="utf-8") as f:
        f.write(page())
    with open(os.path.join(args.outdir, "news.css"), "w", encoding="utf-8") as f:
        f.write(CSS)
    banner(os.path.join(args.outdir, "img", "banner.png"))
    icon(os.path.join(args.outdir, "img", "event.png"), (200, 80, 60, 255), "宝")
    icon(os.path.join(args.outdir, "img", "cup.png"), (60, 120, 200, 255), "赛")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
