#!/usr/bin/env python3
"""Creates a synthetic sprite folder for the benchmarks.

    make_folder.py FOLDER ENTRIES

FOLDER gets exactly ENTRIES directory entries (not counting . and ..):
- a few hundred sub-folders (a third of them named like *.shp),
- a few hundred dot-files (a third of them named like *.shp),
- a handful of FIFOs named like *.shp,
- plain empty files with mixed-case names and several extensions, about
  40 % of all entries being plain, visible files matching *.shp (in the
  spellings .shp, .SHP, .Shp).
Names are unique even with letter case ignored, as on Windows. The folder is
rebuilt from scratch; FOLDER.json records what it holds (the run script
reuses a folder whose record and entry count agree).
"""
import json
import os
import random
import shutil
import sys

SYLLABLES = ["tank", "Hero", "WALK", "co-op", "sprite", "Boom", "ex", "Mech",
             "run", "IDLE", "fire", "o'neil", "shot", "Zed", "gun", "a",
             "Tile", "wall", "B", "unit", "door", "Jet", "crate", "van"]
SEPARATORS = ["", "", "", "_", "-", " ", ""]
MATCHING_EXT = [".shp"] * 6 + [".SHP"] * 3 + [".Shp"]
OTHER_EXT = [".s16", ".S16", ".pal", ".PAL", ".bat", ".txt", ".dat", ".bmp",
             ".shx", ".sh", ".shp.bak", ""]


def stem(rng):
    parts = [rng.choice(SYLLABLES) for _ in range(rng.randint(1, 3))]
    text = rng.choice(SEPARATORS).join(parts)
    return text + str(rng.randint(0, 99999))


def main():
    folder, entries = sys.argv[1], int(sys.argv[2])
    rng = random.Random(entries)  # same folder for the same size, every time
    folders = min(300, entries // 50)
    dot_files = min(300, entries // 50)
    fifos = min(12, entries // 1000)
    plain = entries - folders - dot_files - fifos
    matching = round(entries * 0.40)

    if os.path.lexists(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    fd = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
    seen = set()

    def fresh(prefix, extensions):
        while True:
            name = prefix + stem(rng) + rng.choice(extensions)
            if name.lower() not in seen:
                seen.add(name.lower())
                return name

    flags = os.O_CREAT | os.O_EXCL | os.O_WRONLY
    match_bytes = 0
    for i in range(plain):
        if i < matching:
            name = fresh("", MATCHING_EXT)
            match_bytes += len(name.encode())
        else:
            name = fresh("", OTHER_EXT)
        os.close(os.open(name, flags, 0o644, dir_fd=fd))
    for i in range(folders):
        os.mkdir(fresh("", MATCHING_EXT if i % 3 == 0 else OTHER_EXT), dir_fd=fd)
    for i in range(dot_files):
        name = fresh(".", MATCHING_EXT if i % 3 == 0 else OTHER_EXT)
        os.close(os.open(name, flags, 0o644, dir_fd=fd))
    for i in range(fifos):
        os.mkfifo(fresh("", MATCHING_EXT), dir_fd=fd)
    os.close(fd)

    record = {"entries": entries, "plain_files": plain, "folders": folders,
              "dot_files": dot_files, "fifos": fifos, "matching": matching,
              "matching_name_bytes": match_bytes,
              "average_matching_name_length": match_bytes / matching}
    with open(folder.rstrip("/") + ".json", "w") as out:
        json.dump(record, out, indent=1)
    print(json.dumps(record))


if __name__ == "__main__":
    main()
