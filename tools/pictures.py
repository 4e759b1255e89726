#!/usr/bin/env python3
"""The run command's pictures of the window.

  pictures.py pick-progress OUT X0 Y0 X1 Y1 FRAME...
      keeps as OUT the frame whose progress bar (the rectangle X0,Y0-X1,Y1 of
      the picture) is filled nearest half-way, from 5 to 95 per cent
  pictures.py check DIR
      checks the pictures in DIR: one per language, all of the window's size,
      with a title bar, five different languages, the feedback panel, and the
      removal with its bar part-way; prints what it finds, exit code 1 on a
      fault
"""
import sys

from PIL import Image

LANGS = ["ru", "uk", "en", "nl", "pl"]
# The window's client area at 96 dpi, and the progress bar in it.
CLIENT = (531, 331)
BAR = (8, 260, 521, 285)


def filled(img, box):
    """The share of the bar's middle row drawn in the bar's colour (a
    saturated one; the empty bar is grey or white)."""
    x0, y0, x1, y1 = box
    y = (y0 + y1) // 2
    rgb = img.convert("RGB")
    row = [rgb.getpixel((x, y)) for x in range(x0 + 3, x1 - 3)]
    return sum(1 for p in row if max(p) - min(p) > 40) / len(row)


def pick_progress(out, box, frames):
    best = None
    for f in frames:
        share = filled(Image.open(f), box)
        if 0.05 <= share <= 0.95 and (best is None or abs(share - 0.5) < abs(best[1] - 0.5)):
            best = (f, share)
    if best is None:
        print("pictures: no picture shows the bar part-way (the removal was too quick?)", file=sys.stderr)
        return 1
    Image.open(best[0]).save(out)
    print(f"pictures: the removal at {best[1]:.0%} of the bar")
    return 0


def client_origin(img):
    """Where the client area starts: the frame's width on the left and below,
    and the rest at the top is the title bar."""
    w, h = img.size
    border = (w - CLIENT[0]) // 2
    return border, h - border - CLIENT[1]


def check(folder):
    faults = []
    pics = {}
    for name in [f"window-{l}" for l in LANGS] + ["feedback", "removing"]:
        try:
            pics[name] = Image.open(f"{folder}/{name}.png").convert("RGB")
        except OSError as e:
            faults.append(f"{name}.png: {e}")
    if faults:
        print("\n".join(faults))
        return 1
    size = pics["window-en"].size
    for name, img in pics.items():
        if img.size != size:
            faults.append(f"{name}.png is {img.size}, the English window {size}")
    w, h = size
    if w < CLIENT[0] or h < CLIENT[1]:
        faults.append(f"the pictures ({w}x{h}) are smaller than the window's client area")
    left, top = client_origin(pics["window-en"])
    print(f"pictures: {w}x{h}, frame {left} px, title bar and frame above the client area {top} px")
    if top < 15:
        faults.append("no title bar above the client area")
    else:
        # The caption bar is drawn in the caption colours, with the buttons'
        # glyphs: many colours in its top rows, not one plain fill.
        strip = pics["window-en"].crop((left, left, w - left, top - 1))
        if len(set(strip.getdata())) < 8:
            faults.append("the title bar is one plain colour")
    langs = [pics[f"window-{l}"].tobytes() for l in LANGS]
    if len(set(langs)) != len(LANGS):
        faults.append("two language pictures are the same")
    if pics["feedback"].tobytes() == pics["window-en"].tobytes():
        faults.append("the feedback panel picture shows the closed panel")
    bar = (left + BAR[0], top + BAR[1], left + BAR[2], top + BAR[3])
    share = filled(pics["removing"], bar)
    print(f"pictures: the removal picture's bar is {share:.0%} filled")
    if not 0.05 <= share <= 0.95:
        faults.append(f"the removal picture's bar is {share:.0%} filled, not part-way")
    if faults:
        print("\n".join(faults))
        return 1
    print("pictures: ok")
    return 0


def main(argv):
    if len(argv) >= 7 and argv[1] == "pick-progress":
        return pick_progress(argv[2], tuple(int(v) for v in argv[3:7]), argv[7:])
    if len(argv) == 3 and argv[1] == "check":
        return check(argv[2])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
