"""The 32-bit build's figures beside the 64-bit build's, from the reports scripts/bench kept
in its folder (composite-, write-, gif- and cadence-<build>.txt): one line a figure, with the
ratio 32-bit / 64-bit, marked where it passes 1.25."""
import re
import sys
from pathlib import Path

folder = Path(sys.argv[1])


def read(name):
    path = folder / name
    return path.read_text(errors="replace") if path.exists() else ""


def figures(build):
    found = {}
    for line in read(f"composite-{build}.txt").splitlines():
        m = re.match(r"composite (float|double) +(\w+) +([\d.]+) ms", line)
        if m:
            found[f"composite {m[1]} {m[2]}"] = float(m[3])
        m = re.match(r"(lighten|darken) +float +(\w+) +([\d.]+) ms +double +([\d.]+) ms", line)
        if m:
            found[f"{m[1]} float {m[2]}"] = float(m[3])
            found[f"{m[1]} double {m[2]}"] = float(m[4])
        m = re.match(r"median +(\w+) +([\d.]+) ms", line)
        if m:
            found[f"median {m[1]}"] = float(m[2])
        m = re.match(r"from the store, windows of +([\d.]+) MB: float +([\d.]+) ms, double +([\d.]+) ms", line)
        if m:
            found[f"composite float from the store, {m[1]} MB windows"] = float(m[2])
            found[f"composite double from the store, {m[1]} MB windows"] = float(m[3])
    kind = None
    for line in read(f"write-{build}.txt").splitlines():
        m = re.match(r"(\w+) +\d+ bytes +to cache +([\d.]+) ms", line)
        if m:
            kind = m[1]
            found[f"{kind} save to cache"] = float(m[2])
        m = re.match(r" +to disk +([\d.]+) ms", line)
        if m and kind:
            found[f"{kind} save to disk"] = float(m[1])
        m = re.match(r"PNG +\d+ bytes +to cache +([\d.]+) ms.*to disk +([\d.]+) ms; BMP save ([\d.]+) ms", line)
        if m:
            found["PNG save to cache"] = float(m[1])
            found["PNG save to disk"] = float(m[2])
        m = re.match(r"serial search.*?: ([\d.]+) ms", line)
        if m:
            found["serial search, 9,999 names taken"] = float(m[1])
    for line in read(f"gif-{build}.txt").splitlines():
        m = re.match(r"clip (\w): Kestrin GIF +\d+ bytes +([\d.]+) ms", line)
        if m:
            found[f"GIF of clip {m[1]}, 15 frames"] = float(m[2])
        m = re.match(r"clip (\w), a minute fed while recording at 15/s: ([\d.]+) s", line)
        if m:
            found[f"GIF of clip {m[1]}, a minute fed while recording: stop to file (s)"] = float(m[2])
    for line in read(f"cadence-{build}.txt").splitlines():
        m = re.match(r"(.+?) +samples +\d+ +interval median +([\d.]+) p99 +([\d.]+).*grab median +([\d.]+).*copy median +([\d.]+)", line)
        if m:
            case = m[1].strip()
            found[f"{case}: interval median (0.1 ms)"] = float(m[2])
            found[f"{case}: interval p99 (0.1 ms)"] = float(m[3])
            found[f"{case}: grab + copy (0.1 ms)"] = float(m[4]) + float(m[5])
        m = re.match(r"(idle 30 s|during a 10 s desktop capture at 15/s): Kestrin ([\d.]+)%", line)
        if m:
            found[f"{m[1]}: CPU % of one core"] = float(m[2])
        m = re.match(r"GIF recording.*?(\w+) scene.*stop key to file written ([\d.]+) s", line)
        if m:
            found[f"GIF recording, {m[1]} scene, stop to file written (s)"] = float(m[2])
        m = re.match(r"AVI-only.*stop key to last file closed ([\d.]+) s", line)
        if m:
            found["AVI-only stop to last file closed (s)"] = float(m[1])
    return found


wide, narrow = figures("x86_64"), figures("i686")
over = []
for key, value in wide.items():
    if key not in narrow:
        continue
    ratio = narrow[key] / value if value else float("nan")
    mark = "  > 1.25" if ratio > 1.25 else ""
    if mark:
        over.append(key)
    print(f"{key:62s} 64-bit {value:9.2f}  32-bit {narrow[key]:9.2f}  {ratio:5.2f}{mark}")
print(f"{len(over)} of the figures above are past 1.25" + (": " + "; ".join(over) if over else ""))
