#!/usr/bin/env python3
"""Turns the raw output of bench/run.sh into results.md and scaling.png.

    report.py RAW_DIR RESULTS_DIR

RAW_DIR holds time-SIZE.json (hyperfine --export-json), memory.tsv (size,
command, peak RSS in kB per run), folder-SIZE.json (what each folder holds),
checks.txt and env.txt.
"""
import glob
import json
import os
import statistics
import subprocess
import sys

raw, results = sys.argv[1], sys.argv[2]
ORDER = ["Say", "ls -f | wc -l", "find | wc -l", "Exec", "find -printf | sed",
         "Rollcall", "find | sort -f"]
COMMAND_TEXT = {
    "Say": "Say '/*.shp'",
    "ls -f | wc -l": "ls -f | wc -l",
    "find | wc -l": "find . -maxdepth 1 -type f -iname '*.shp' ! -name '.*' | wc -l",
    "Exec": "Exec conv '*.shp' s16 p > exec.txt",
    "find -printf | sed": "find . -maxdepth 1 -type f -iname '*.shp' ! -name '.*' -printf '%f\\n' "
                          "| sed -E 's/^([^.]*)(.*)$/conv \\1\\2 \\1.s16 p  \\r/' > exec_ref.txt",
    "Rollcall": "Rollcall '*.shp' list.txt",
    "find | sort -f": "find . -maxdepth 1 -type f -iname '*.shp' ! -name '.*' -printf '%f\\n' "
                      "| sort -f > list_ref.txt",
}

env = dict(line.rstrip("\n").split("=", 1) for line in open(os.path.join(raw, "env.txt")))
sizes = sorted(int(os.path.basename(p)[7:-5]) for p in glob.glob(os.path.join(raw, "folder-*.json")))
if not sizes:
    sys.exit("no results in " + raw)
times = {}   # (size, name) -> hyperfine result
for size in sizes:
    for group in ("fast", "slow"):
        path = os.path.join(raw, f"time-{size}-{group}.json")
        if os.path.exists(path):
            for r in json.load(open(path))["results"]:
                times[size, r["command"]] = r
timeouts = {}  # (size, name) -> limit in seconds
for line in open(os.path.join(raw, "timeouts.tsv")):
    size, name, limit = line.rstrip("\n").split("\t")
    timeouts[int(size), name] = int(limit)
folders = {s: json.load(open(os.path.join(raw, f"folder-{s}.json"))) for s in sizes}
memory = {}  # (size, name) -> [kB per run]
for line in open(os.path.join(raw, "memory.tsv")):
    size, name, kb = line.rstrip("\n").split("\t")
    memory.setdefault((int(size), name), []).append(int(kb))
peak = {k: max(v) for k, v in memory.items()}
checks = [line.rstrip("\n").split("\t") for line in open(os.path.join(raw, "checks.txt"))]


def med(size, name):
    return times[size, name]["median"] if (size, name) in times else None


def ms(seconds):
    return f"{seconds * 1000:,.1f}" if seconds < 10 else f"{seconds * 1000:,.0f}"


def cell(text):
    return text.replace("|", "\\|")  # a bare | would end a table cell


def mb(kb):
    return f"{kb / 1024:.1f}"


out = []
w = out.append
w("# Benchmark results: Rollcall, Exec and Say against ls, find and sort\n")
w(f"Produced by `bash bench/run.sh{' --quick' if env['mode'] == 'quick' else ''}` "
  f"on {env['date']}: {env['cpu']}, {env['cpus']} CPUs, Linux {env['kernel']}, "
  f"{env['filesystem']} file system, {env['hyperfine']}, tools built from commit "
  f"{env['commit']} (Release). Load average at the start: {env['load']}. "
  f"Each command: {env['warmup']} warm-up runs (warm cache), then {env['runs']} timed runs; "
  f"hyperfine subtracts the time of spawning its shell. Everything runs with `LC_ALL=C`: "
  f"`sort -f` is then a byte-wise sort, and Rollcall uses its neutral (locale-free) order, "
  f"which still does a full case-blind collation.\n")
w("Times in milliseconds (median, mean ± standard deviation, fastest, slowest). "
  "Peak memory: the largest peak resident set size (`/usr/bin/time -v`, "
  "\"Maximum resident set size\") over 3 separate runs of the command; the tools run "
  "directly, a pipeline counts its largest single process (usually `sort` or `find`).\n")

w("## The folders\n")
w("Synthetic, made by `bench/make_folder.py` (same content for the same size): empty files "
  "with mixed-case names (letters, digits, spaces, `-`, `_`, `'`) and several extensions "
  "(`.shp`, `.SHP`, `.Shp`, `.s16`, `.pal`, `.bat`, `.txt`, `.dat`, `.bmp`, `.shx`, `.sh`, "
  "`.shp.bak`, none), plus sub-folders, dot-files and FIFOs, a third of each named like "
  "`*.shp` (none of which may be counted). The `find` references use "
  "`! -name '.*'` so they skip dot-files as the tools do.\n")
w("| entries | plain files | folders | dot-files | FIFOs | matching `*.shp` | average matching name length |")
w("|---:|---:|---:|---:|---:|---:|---:|")
for s in sizes:
    f = folders[s]
    w(f"| {s:,} | {f['plain_files']:,} | {f['folders']:,} | {f['dot_files']:,} | {f['fifos']:,} "
      f"| {f['matching']:,} | {f['average_matching_name_length']:.2f} bytes |")
w("")
w("Before timing, the run checks that the tools and the references give the same answers:\n")
w("| entries | check | result |")
w("|---:|---|---|")
for size, what, verdict in checks:
    w(f"| {int(size):,} | {cell(what)} | {verdict} |")
w("")

w("## Times and memory\n")
w("| entries | command | runs | median | mean ± σ | fastest | slowest | peak memory (MB) |")
w("|---:|---|---:|---:|---:|---:|---:|---:|")
for s in sizes:
    for name in ORDER:
        if (s, name) not in times:
            w(f"| {s:,} | `{cell(name)}` | 0 | not finished within {timeouts.get((s, name), '?')} s "
              f"| | | | |")
            continue
        r = times[s, name]
        w(f"| {s:,} | `{cell(name)}` | {len(r['times'])} | {ms(r['median'])} "
          f"| {ms(r['mean'])} ± {ms(r['stddev'] or 0)} "
          f"| {ms(r['min'])} | {ms(r['max'])} | {mb(peak[s, name])} |")
w("")
w("The commands, as run by `sh` inside the folder:\n")
for name in ORDER:
    w(f"- `{name}`: `{COMMAND_TEXT[name]}`")
w("")

big, small = sizes[-1], sizes[0]
w(f"## Targets on the {big:,}-entry folder\n")
if big != 1_000_000:
    w(f"**Quick mode: the targets are meant for the 1,000,000-entry folder; "
      f"here they are computed on the largest folder measured, {big:,} entries.**\n")
w("Ratios of medians from the same run.\n")
w("| target | measured | limit | met? |")
w("|---|---:|---:|---|")


def row(text, value, limit, fmt, why=""):
    if value is None:
        w(f"| {text} | not measured{why} | {fmt(limit)} | NOT met |")
    else:
        w(f"| {text} | {fmt(value)} | {fmt(limit)} | {'met' if value <= limit else 'NOT met'} |")


def over(a, b):
    ta, tb = med(big, a), med(big, b)
    return None if ta is None or tb is None else ta / tb


ratio = lambda v: f"{v:.2f} ×"
unfinished = " (did not finish)"
row("Say / `ls -f \\| wc -l`", over("Say", "ls -f | wc -l"), 0.8, ratio, unfinished)
row("Exec / `ls -f \\| wc -l`", over("Exec", "ls -f | wc -l"), 1.2, ratio, unfinished)
row("Exec / `find -printf \\| sed`", over("Exec", "find -printf | sed"), 0.5, ratio, unfinished)
row("Rollcall / `find \\| sort -f`", over("Rollcall", "find | sort -f"), 0.7, ratio, unfinished)
mem_fmt = lambda kb: f"{kb / 1024:.2f} MB"
for tool in ("Say", "Exec"):
    row(f"{tool}: peak memory over {big:,} entries − over {small:,} entries",
        abs(peak[big, tool] - peak[small, tool]) if (big, tool) in peak else None,
        1024, mem_fmt, unfinished)
# Rollcall: on the largest folder it finished on.
done = [s for s in sizes if (s, "Rollcall") in peak and s != small]
if done and (small, "Rollcall") in peak:
    top = done[-1]
    grown = (peak[top, "Rollcall"] - peak[small, "Rollcall"]) * 1024
    more_names = folders[top]["matching"] - folders[small]["matching"]
    name_bytes = folders[top]["matching_name_bytes"] - folders[small]["matching_name_bytes"]
    avg_len = name_bytes / more_names
    overhead = grown / more_names - (avg_len + 1)
    note = "" if top == big else f" (measured up to {top:,} entries only: Rollcall did not finish on {big:,})"
    row("Rollcall: memory per matched name beyond the name itself" + note,
        overhead, 100, lambda v: f"{v:.1f} bytes")
    w("")
    w("How the Rollcall figure is computed:\n")
    w(f"    (peak({top:,}) − peak({small:,})) / (matched({top:,}) − matched({small:,})) − (average name length + 1)")
    w(f"    = ({peak[top, 'Rollcall']:,} kB − {peak[small, 'Rollcall']:,} kB) × 1024 / "
      f"({folders[top]['matching']:,} − {folders[small]['matching']:,}) − ({avg_len:.2f} + 1)")
    w(f"    = {grown / more_names:.1f} − {avg_len + 1:.2f} = {overhead:.1f} bytes per name\n")
else:
    row("Rollcall: memory per matched name beyond the name itself", None, 100,
        lambda v: f"{v:.1f} bytes", unfinished)
    w("")
w("The difference of the two peaks removes what does not grow with the folder (code, "
  "libraries, locale data, buffers); dividing by the difference of the matched counts gives "
  "the memory each extra matched name costs; subtracting the bytes of the name itself and one "
  "for its terminator (or length) leaves what the program spends on top of the name: "
  "pointers, sort keys, allocator headers, vector slack. Peak RSS is counted in whole pages "
  "and the allocator may keep freed memory, so the figure is an upper bound of the live data, "
  "which is the honest side for a limit. Say and Exec should not hold names at all, so their "
  "peak should not grow with the folder: the limit is 1 MB (1024 kB) of difference.\n")

w("## Scaling\n")
w("![time against folder size](scaling.png)\n")
w("Median time against folder size, log-log, each tool beside its references; the bars "
  "span the fastest and the slowest run.")
os.makedirs(results, exist_ok=True)
open(os.path.join(results, "results.md"), "w").write("\n".join(out) + "\n")

# The plot: one panel per tool.
data = os.path.join(raw, "plot.dat")
with open(data, "w") as f:
    for name in ORDER:
        f.write(f"# {name}\n")
        for s in sizes:
            if (s, name) not in times:
                continue
            r = times[s, name]
            f.write(f"{s} {r['median']} {r['min']} {r['max']}\n")
        f.write("\n\n")
panels = [("Say", ["Say", "ls -f | wc -l", "find | wc -l"]),
          ("Exec", ["Exec", "ls -f | wc -l", "find -printf | sed"]),
          ("Rollcall", ["Rollcall", "ls -f | wc -l", "find | sort -f"])]
terminals = subprocess.run(["gnuplot", "-e", "set terminal"], capture_output=True, text=True)
listing = terminals.stdout + terminals.stderr
terminal = ("pngcairo size 1500,520 font ',10'" if "pngcairo" in listing
            else "png size 1500,520")
gp = [f"set terminal {terminal}",
      f"set output '{os.path.join(results, 'scaling.png')}'",
      "set logscale xy", "set grid", "set key top left",
      "set xlabel 'entries in the folder'", "set ylabel 'median time (s)'",
      f"set xrange [{sizes[0] / 1.6}:{sizes[-1] * 1.6}]",
      "set format x '10^{%L}'",
      "set multiplot layout 1,3 title 'Time against folder size (warm cache, median; bars: fastest to slowest)'"]
styles = {"Say": 1, "Exec": 1, "Rollcall": 1, "ls -f | wc -l": 2, "find | wc -l": 3,
          "find -printf | sed": 3, "find | sort -f": 3}
colors = {1: "#1f77b4", 2: "#7f7f7f", 3: "#d62728"}
for title, names in panels:
    plots = []
    for name in names:
        c = colors[styles[name]]
        plots.append(f"'{data}' index {ORDER.index(name)} using 1:2:3:4 with yerrorlines "
                     f"lw 2 pt 7 lc rgb '{c}' title '{name}'")
    gp.append(f"set title '{title}'")
    gp.append("plot " + ", ".join(plots))
gp.append("unset multiplot")
script = os.path.join(raw, "scaling.gp")
open(script, "w").write("\n".join(gp) + "\n")
subprocess.run(["gnuplot", script], check=True)
print(open(os.path.join(results, "results.md")).read())
