#!/usr/bin/env python3
"""Writes a section map of two wavy curves of N nodes each, for the host's scale benchmark.

    scripts/make-section.py N OUT.geojson [--seed S]

Curve 1 is the top of a layer, curve 2 its bottom: both run over the same x range, about 0.5 m
apart per node, with long waves and random noise (a fixed seed, so a given N always gives the same
file). The map has the members the host's map files have (scale, items, current item)."""
import argparse
import math
import random


def curve(rng, n, base, amplitude, phase):
    points = []
    for i in range(n):
        x = round(i * 0.5 + rng.uniform(0.0, 0.4), 3)
        y = base + amplitude * math.sin(i / 997.0 + phase) + 0.5 * math.sin(i / 31.0) + rng.uniform(-0.2, 0.2)
        points.append("[%r, %r]" % (x, round(y, 4)))
    return "[" + ", ".join(points) + "]"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("nodes", type=int)
    parser.add_argument("out")
    parser.add_argument("--seed", type=int, default=20261209)
    args = parser.parse_args()
    if args.nodes < 2:
        parser.error("a curve needs at least 2 nodes")
    rng = random.Random(args.seed)
    top = curve(rng, args.nodes, 60.0, 6.0, 0.0)
    bottom = curve(rng, args.nodes, 40.0, 5.0, 1.3)
    with open(args.out, "w", encoding="utf-8") as out:
        out.write('{\n  "type": "FeatureCollection",\n  "name": "generated section, %d nodes per curve",\n' % args.nodes)
        out.write('  "map": {"scale": 2000, "scaleUnit": 1, "items": [{"scale": 2000}], "currentItem": 0},\n')
        out.write('  "features": [\n')
        out.write('    {"type": "Feature", "id": 1, "properties": {"entityType": 2, "deleted": false, "name": "top"},\n')
        out.write('     "geometry": {"type": "LineString", "coordinates": %s}},\n' % top)
        out.write('    {"type": "Feature", "id": 2, "properties": {"entityType": 2, "deleted": false, "name": "bottom"},\n')
        out.write('     "geometry": {"type": "LineString", "coordinates": %s}}\n' % bottom)
        out.write("  ]\n}\n")


if __name__ == "__main__":
    main()
