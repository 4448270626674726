#!/usr/bin/env python3
"""Writes hostile Kestrin.ini files, one per folder, from a fixed seed.

    hostile_ini.py OUTDIR COUNT [SEED]

OUTDIR/iNNN/Kestrin.ini gets the file and OUTDIR/iNNN/expect one word: "bmp" when the
capture must end in an auto-saved ss0000.bmp (if it takes at least one sample and its
store fits), "any" when the file legitimately stops the result from reaching the disk.
The hot keys and CALLBACK_OP only take values that still mean PrintScreen and "pass
the key on": every instance must see the one key press the test makes.
"""
import os
import random
import sys

MAIN = "メインウィンドウ".encode("cp932")
KEYS_OPTION = ["S_FPS", "REDUCE_PER", "CALLBACK_OP", "AUTO_SAVE", "S_TIME", "SS_ACTIVE", "SS_CLIENT",
               "MAP_SIZE", "COLOR_DOUBLE", "KEY_CODE", "REDUCE_FIXED", "EMPHASIS_ON", "EMPHASIS_LEVEL",
               "AVI_OUT"]
KEYS_AVI = ["AVI_FPS", "AVI_TIME", "KEY_CODE2", "KEY_CODE3"]
KEYS_PATH = ["SAVEPATH", "TEMPPATH", "AUTOSAVEPATH", "AVISAVEPATH"]
KEYS_WINDOW = ["left", "top", "right", "bottom"]

NUMBERS = ["0", "-1", "-2147483648", "2147483647", "4294967296", "99999999999999999999", "nan", "-nan",
           "inf", "-inf", "1e308", "-1e308", "1e-320", "abc", "", " ", "0x7fffffff", "1.5e3", "  12junk",
           "+-3", "--5", "3.4e39", "١٢", "\u3000", "1,5", "0.", ".5", "1e", "NaN(123)"]
SMALL_RATES = ["1", "3", "15", "1e3", "  7", "7.9", "0x10", "20"]
SMALL_TIMES = ["0.5", "1.0f", "0.1", "1e-40", "0.0001", "1.5"]
HUGE = ["2147483647", "99999999999", "1e30", "3.4e39", "inf", "2e9", "100000000"]
SAFE_KEY = ["44", " 44", "44.9", "44junk", "+44"]
SAFE_ZERO = ["0", "", "abc", "0x5", "-0", "0.9"]
NONZERO = ["1", "7", "-1", "1e9", "  3junk", "+1", "2147483647"]
ENCODINGS = ["cp932", "utf-8", "utf-16"]


# A capture is bounded only by the room for its samples, so a file's rate and time
# must either give few samples or so many that no disk or paging file holds them
# (10000 per second for a day: refused on any machine). A file draws one of the two.
BOUNDED_RATES = SMALL_RATES + ["0", "-1", "abc", "", "nan"]
BOUNDED_TIMES = SMALL_TIMES + ["0", "-1", "nan", "-inf", "abc", ""]
REFUSED_RATES = ["2147483647", "100000000", "  2147483647junk"]
REFUSED_TIMES = ["1e30", "2147483647", "2e9", "100000000"]


def value_for(rng, key, refused=False):
    r = rng.random()
    if key in ("KEY_CODE",):
        return rng.choice(SAFE_KEY)
    if key == "CALLBACK_OP":
        return rng.choice(SAFE_ZERO)
    if key == "AUTO_SAVE":
        return rng.choice(NONZERO)
    if key == "S_FPS":
        return rng.choice(REFUSED_RATES if refused else BOUNDED_RATES)
    if key == "S_TIME":
        return rng.choice(REFUSED_TIMES if refused else BOUNDED_TIMES)
    if r < 0.1:
        return "9" * rng.randint(1000, 5000)
    if r < 0.15:
        return "".join(rng.choice("ｱｲｳ漢字\\/:*?\"<>|x ") for _ in range(rng.randint(300, 3000)))
    return rng.choice(NUMBERS)


def path_for(rng, key, folder_win):
    r = rng.random()
    if r < 0.15:
        # Deep and long, inside the instance's own folder: the program creates what it can.
        return folder_win + "\\" + "\\".join(["d" * rng.randint(1, 200)] * rng.randint(1, 8))
    if r < 0.25:
        return "Q:\\nowhere\\at\\all"
    if r < 0.35:
        return "relative\\folder"
    if r < 0.45:
        return "".join(rng.choice("漢ソ表\\") for _ in range(rng.randint(1, 400)))
    if r < 0.5:
        return ""
    if r < 0.55:
        return folder_win + "\\" + "x" * 300
    return None  # missing key


def structured(rng, folder_win):
    lines = []
    expect = "bmp"
    refused = rng.random() < 0.3
    sections = [(b"[" + MAIN + b"]", KEYS_WINDOW), (b"[PATH]", KEYS_PATH), (b"[OPTION]", KEYS_OPTION),
                (b"[AVIMODE_OPTION]", KEYS_AVI)]
    rng.shuffle(sections)
    for header, keys in sections:
        if rng.random() < 0.1 and not any(k in ("KEY_CODE", "CALLBACK_OP") for k in keys):
            continue  # the whole section missing
        copies = 2 if rng.random() < 0.15 else 1  # duplicated sections
        for _ in range(copies):
            lines.append(header if rng.random() < 0.9 else header.lower())
            for key in keys:
                if key in KEYS_PATH:
                    value = path_for(rng, key, folder_win)
                    if value is None:
                        continue
                    if key == "AUTOSAVEPATH":
                        expect = "any"
                    lines.append(key.encode() + b"=" + value.encode("cp932", "replace"))
                    continue
                if rng.random() < 0.15 and key not in ("KEY_CODE", "CALLBACK_OP", "AUTO_SAVE", "S_FPS", "S_TIME"):
                    continue  # missing key
                value = value_for(rng, key, refused)
                lines.append(key.encode() + b"=" + value.encode("cp932", "replace"))
                if rng.random() < 0.05:
                    lines.append(b"=" + value.encode("cp932", "replace"))  # a key without a name
    body = b"\r\n".join(lines) + b"\r\n"
    encoding = rng.choice(ENCODINGS + ["cp932"] * 5)
    if encoding == "utf-16":
        # Read as text of another encoding: what the program makes of it, it must survive.
        body = "\ufeff".encode("utf-16-le") + body.decode("cp932", "replace").encode("utf-16-le")
        expect = "any"
    elif encoding == "utf-8":
        body = b"\xef\xbb\xbf" + body
        expect = "any"
    return body, expect


def garbage(rng, kind):
    if kind == 0:
        return bytes(rng.getrandbits(8) for _ in range(rng.randint(1, 20000)))
    if kind == 1:  # a "file that is not text": a PNG-like header and binary
        return b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR" + bytes(rng.getrandbits(8) for _ in range(4000))
    if kind == 2:  # huge: 4 MB of one line
        return b"[OPTION]\r\nEMPHASIS_LEVEL=" + b"7" * (4 * 1024 * 1024) + b"\r\n"
    if kind == 3:  # empty
        return b""
    if kind == 4:  # NUL bytes inside
        return b"[OPTION]\x00\r\nS_FPS=\x0015\r\n\x00\x00[PATH]\r\nTEMPPATH=\x00\r\n"
    # thousands of sections
    return b"".join(b"[S%d]\r\nK=%d\r\n" % (i, i) for i in range(20000))


def main():
    out, count = sys.argv[1], int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 20261207)
    for n in range(count):
        folder = os.path.join(out, "i%03d" % n)
        os.makedirs(folder, exist_ok=True)
        folder_win = "Z:" + os.path.abspath(folder).replace("/", "\\")
        if n % 5 == 4:
            body, expect = garbage(rng, (n // 5) % 6), "any"
        else:
            body, expect = structured(rng, folder_win)
        with open(os.path.join(folder, "Kestrin.ini"), "wb") as f:
            f.write(body)
        with open(os.path.join(folder, "expect"), "w") as f:
            f.write(expect + "\n")


if __name__ == "__main__":
    main()
