#!/usr/bin/env python3
"""Draws the table scripts/bench-scale.sh writes (blocks, wall seconds, peak MiB per line) as an SVG picture:
wall time and peak memory against the number of blocks, each on its own axis, every point labelled with its
measured value. Pure Python, no plotting library.

Usage: scripts/plot-scale.py TABLE OUT.svg"""
import sys


def main():
    table, out = sys.argv[1:]
    rows = []
    for line in open(table, encoding="utf-8"):
        parts = line.split()
        if len(parts) == 3 and parts[0].isdigit():
            rows.append((int(parts[0]), float(parts[1]), float(parts[2])))
    if not rows:
        sys.exit("plot-scale: no measurements in " + table)
    width, height, left, right, top, bottom = 640, 320, 60, 60, 30, 45
    plot_w, plot_h = width - left - right, height - top - bottom
    max_n = max(r[0] for r in rows)
    # Some room above the highest point for its label.
    max_t = 1.15 * (max(r[1] for r in rows) or 1.0)
    max_m = 1.15 * (max(r[2] for r in rows) or 1.0)

    def x(n):
        return left + plot_w * n / max_n

    def y(v, top_value):
        return top + plot_h * (1 - v / top_value)

    svg = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" font-family="sans-serif" '
           f'font-size="11">',
           f'<rect width="{width}" height="{height}" fill="white"/>',
           f'<line x1="{left}" y1="{top + plot_h}" x2="{left + plot_w}" y2="{top + plot_h}" stroke="#333"/>',
           f'<line x1="{left}" y1="{top}" x2="{left}" y2="{top + plot_h}" stroke="#c33"/>',
           f'<line x1="{left + plot_w}" y1="{top}" x2="{left + plot_w}" y2="{top + plot_h}" stroke="#36c"/>',
           f'<text x="{left + plot_w / 2}" y="{height - 10}" text-anchor="middle">blocks</text>',
           f'<text x="{left}" y="{top - 12}" fill="#c33" text-anchor="middle">wall s</text>',
           f'<text x="{left + plot_w}" y="{top - 12}" fill="#36c" text-anchor="middle">peak MiB</text>']
    for n, _, _ in rows:
        svg.append(f'<text x="{x(n):.1f}" y="{top + plot_h + 15}" text-anchor="middle">{n}</text>')
    # Time labels below-left of their points, memory labels above-right, so that the two never meet.
    for series, index, top_value, color in (("time", 1, max_t, "#c33"), ("memory", 2, max_m, "#36c")):
        points = " ".join(f"{x(r[0]):.1f},{y(r[index], top_value):.1f}" for r in rows)
        svg.append(f'<polyline points="{points}" fill="none" stroke="{color}" stroke-width="2"/>')
        for r in rows:
            label = f"{r[index]:g}"
            svg.append(f'<circle cx="{x(r[0]):.1f}" cy="{y(r[index], top_value):.1f}" r="3" fill="{color}"/>')
            dx, dy, anchor = (-6, 14, "end") if series == "time" else (6, -6, "start")
            svg.append(f'<text x="{x(r[0]) + dx:.1f}" y="{y(r[index], top_value) + dy:.1f}" fill="{color}" '
                       f'text-anchor="{anchor}">{label}</text>')
    svg.append("</svg>")
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(svg) + "\n")


if __name__ == "__main__":
    main()
