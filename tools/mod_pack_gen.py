#!/usr/bin/env python3
"""mod_pack_gen.py WORK [--large-check]: the benchmarks' generated mod pack, the same bytes on every
run (fixed seed).

Writes into WORK: serve/mods3/ with 150 mods (10 KB to 30 MB, about 300 MB), their manifest
Update.pack, their names in pack.list (one a line), and for the compatibility check present/
with 300 small mods and their manifest Update.check. With --large-check also present-large/
with 300 mods of 300 MiB in all (10 KB to about 10 MB) and their manifest Update.check-large,
a check that has real bytes to hash. The manifests list names and sizes only; the benchmarks
add the hashes with the pack tool. Used by tools/bench-sync and tools/bench-pack.
"""
import math, os, random, sys
if len(sys.argv) not in (2, 3) or sys.argv[2:] not in ([], ["--large-check"]):
    sys.exit("usage: mod_pack_gen.py WORK [--large-check]")
work = sys.argv[1]
serve = os.path.join(work, "serve")
mods = os.path.join(serve, "mods3")
os.makedirs(mods)
rng = random.Random(1102)
low, high = math.log(10 * 1024), math.log(30 * 1024 * 1024)
words = ["core", "lib", "chests", "maps", "boats", "sky", "ores", "mobs", "tools", "food",
         "pipes", "magic", "tech", "decor", "biomes"]

def manifest(path, entries):
    lines = ["[Update]", "lastversion=1.2.6.3", "", "[modlist]", f"Count={len(entries)}"]
    for i, (name, size) in enumerate(entries, 1):
        lines += [f"mod{i}={name}", f"mod{i}size={size}"]
    lines += ["", "[dellist]", "Count=0", ""]
    with open(path, "w", encoding="cp1251", newline="\r\n") as f:
        f.write("\n".join(lines))

def write_mod(folder, name, size):
    """A mod of `size` random bytes; gives its manifest entry."""
    with open(os.path.join(folder, name), "wb") as f:
        f.write(rng.randbytes(size))
    return name, size

# Log-uniform leaning to the small end: many small mods, a few large ones.
sizes = [int(math.exp(low + (high - low) * rng.random() ** 1.5)) for _ in range(150)]
pack = [write_mod(mods, f"{words[i % len(words)]}-{i:03d}-1.12.2.jar", size)
        for i, size in enumerate(sizes, 1)]
manifest(os.path.join(work, "Update.pack"), pack)
with open(os.path.join(work, "pack.list"), "w") as f:
    f.writelines(name + "\n" for name, _ in pack)

present = os.path.join(work, "present")
os.makedirs(present)
# Each size is drawn just before its bytes, as it always was: the pack keeps its bytes.
small = [write_mod(present, f"small-{i:03d}-1.12.2.jar", 2048 + rng.randrange(60 * 1024))
         for i in range(1, 301)]
manifest(os.path.join(work, "Update.check"), small)

# Drawn after everything above, so the other packs keep their bytes with or without it.
if sys.argv[2:] == ["--large-check"]:
    large = os.path.join(work, "present-large")
    os.makedirs(large)
    total = 300 * 1024 * 1024
    raw = [math.exp(low + (math.log(10 * 1024 * 1024) - low) * rng.random() ** 1.5)
           for _ in range(300)]
    scale = total / sum(raw)
    sizes = [max(1, int(r * scale)) for r in raw]
    sizes[-1] += total - sum(sizes)
    entries = [write_mod(large, f"present-{i:03d}-1.12.2.jar", size)
               for i, size in enumerate(sizes, 1)]
    manifest(os.path.join(work, "Update.check-large"), entries)
