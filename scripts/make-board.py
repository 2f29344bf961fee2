#!/usr/bin/env python3
"""Writes a synthetic board document with a given number of primitives.

    scripts/make-board.py 1000000 -o big-board.json [--seed 1]

The mix resembles a routed board: mostly tracks, then pads in components,
vias, arcs, texts, fills and a few regions, spread over a 4-layer stack.
Coordinates are PCB units (10,000,000 per inch). The output is deterministic
for a given count and seed.
"""
import argparse
import random
import sys

MIL = 10000
SIGNAL = ["TopLayer", "MidLayer1", "BottomLayer"]


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("primitives", type=int, help="number of primitives to write")
    ap.add_argument("-o", "--output", default="-", help="output file (default: stdout)")
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    if args.primitives < 0:
        ap.error("the number of primitives cannot be negative")
    rnd = random.Random(args.seed)
    out = sys.stdout if args.output == "-" else open(args.output, "w", encoding="utf-8")
    w = out.write
    side = max(2000, int((args.primitives ** 0.5) * 100)) * MIL  # board edge

    def xy():
        return rnd.randrange(0, side, MIL), rnd.randrange(0, side, MIL)

    w('{"format":"korvex-board","version":1,\n"board":{"title":"synthetic %d",'
      '"stack":["TopLayer","MidLayer1",{"layer":"InternalPlane1","net":"GND"},"BottomLayer"]},\n'
      '"objects":[\n' % args.primitives)
    first = True
    left = args.primitives
    comp = 0
    while left > 0:
        r = rnd.random()
        lines = []
        if r < 0.05 and left >= 10:
            # A component with 8 pads, a body outline on the overlay.
            comp += 1
            cx, cy = xy()
            pads = []
            for i in range(8):
                px, py = cx + (i % 4) * 100 * MIL, cy + (i // 4) * 300 * MIL
                shape = "rectangle" if i == 0 else "round"
                pads.append('{"kind":"pad","name":"%d","x":%d,"y":%d,"hole":%d,"shape":"%s","size":%d%s}'
                            % (i + 1, px, py, 35 * MIL, shape, 60 * MIL,
                               ',"net":"GND"' if i == 3 else ""))
            outline = '{"kind":"track","layer":"TopOverlay","from":[%d,%d],"to":[%d,%d],"width":%d}' % (
                cx - 50 * MIL, cy - 50 * MIL, cx + 350 * MIL, cy - 50 * MIL, 8 * MIL)
            lines.append('{"kind":"component","pattern":"DIP8","x":%d,"y":%d,"rotation":%d,'
                         '"designator":{"text":"U%d"},"comment":{"text":"IC"},"primitives":[%s]}'
                         % (cx, cy, rnd.choice([0, 90, 180, 270]), comp, ",".join(pads + [outline])))
            left -= 9
        elif r < 0.70:
            x, y = xy()
            lines.append('{"kind":"track","layer":"%s","from":[%d,%d],"to":[%d,%d],"width":%d}'
                         % (rnd.choice(SIGNAL), x, y, x + rnd.randrange(-500, 500) * MIL,
                            y + rnd.randrange(-500, 500) * MIL, rnd.choice([8, 10, 12, 20]) * MIL))
            left -= 1
        elif r < 0.78:
            x, y = xy()
            lines.append('{"kind":"via","x":%d,"y":%d,"size":%d,"hole":%d%s}'
                         % (x, y, 40 * MIL, 20 * MIL, ',"net":"GND"' if rnd.random() < 0.3 else ""))
            left -= 1
        elif r < 0.88:
            x, y = xy()
            a = rnd.randrange(0, 360)
            lines.append('{"kind":"arc","layer":"%s","center":[%d,%d],"radius":%d,"startAngle":%d,'
                         '"endAngle":%d,"width":%d}'
                         % (rnd.choice(SIGNAL), x, y, rnd.randrange(20, 400) * MIL, a,
                            (a + rnd.randrange(10, 360)) % 360, 10 * MIL))
            left -= 1
        elif r < 0.94:
            x, y = xy()
            lines.append('{"kind":"text","layer":"TopOverlay","x":%d,"y":%d,"height":%d,'
                         '"rotation":%d,"text":"T%d"}'
                         % (x, y, 60 * MIL, rnd.choice([0, 90]), left))
            left -= 1
        elif r < 0.99:
            x, y = xy()
            lines.append('{"kind":"fill","layer":"%s","corner1":[%d,%d],"corner2":[%d,%d],'
                         '"rotation":%d}'
                         % (rnd.choice(SIGNAL), x, y, x + 100 * MIL, y + 60 * MIL,
                            rnd.choice([0, 0, 45])))
            left -= 1
        else:
            x, y = xy()
            lines.append('{"kind":"region","layer":"TopLayer","outline":[[%d,%d],[%d,%d],[%d,%d],[%d,%d]],'
                         '"holes":[[[%d,%d],[%d,%d],[%d,%d]]]}'
                         % (x, y, x + 400 * MIL, y, x + 400 * MIL, y + 300 * MIL, x, y + 300 * MIL,
                            x + 100 * MIL, y + 100 * MIL, x + 200 * MIL, y + 100 * MIL,
                            x + 150 * MIL, y + 200 * MIL))
            left -= 1
        for line in lines:
            w(("" if first else ",\n") + line)
            first = False
    w("\n]}\n")
    if out is not sys.stdout:
        out.close()


if __name__ == "__main__":
    main()
