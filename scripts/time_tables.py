#!/usr/bin/env python3
"""The tables of scripts/bench-builds.sh, from the JSON of its "hostsim time" runs.

Usage: time_tables.py RESULTS_FOLDER REPETITIONS

Each file is BUILD-SIZE-SHAPE-VARIANT.json (BUILD "so" or "dll"; VARIANT the
selection rule, "scene" for the scene-wide commands, or the search's label).
Prints Markdown: per command and scene size, the overhead over the floor of
both builds with the spread; then every case at the largest size.
"""
import json
import pathlib
import statistics
import sys

ORDER = ["QZ_Sel_Child", "QZ_Add_Child", "QZ_Sel_Sibling", "QZ_Sel_Throwback", "QZ_Sel_Parent", "QZ_Add_Parent",
         "QZ_Sel_Descendant", "QZ_Sel_Hierarchy", "QZ_Sel_AllNulls", "QZ_Sel_AllObjects", "QZ_Sel_ByName"]
SHAPES = ["wide", "deep", "balanced", "mixed"]
VARIANTS = ["one", "1%", "all", "scene", "objects", "bones", "dotted"]


def load(folder):
    """(build, size, shape, command, variant) -> the command's figures."""
    cases = {}
    for path in sorted(pathlib.Path(folder).glob("*.json")):
        build, size, shape, variant = path.stem.split("-", 3)
        report = json.loads(path.read_text(encoding="utf-8"))
        for command in report["commands"]:
            cases[(build, int(size), shape, command["command"], variant)] = command
    return cases


def overhead(case):
    if case is None or case.get("problem") or case["overhead"] is None:
        return None
    return case["overhead"]


def percent(value):
    return "-" if value is None else f"{value * 100:+.1f}%"


def points(value):
    return "-" if value is None else f"{value * 100:+.1f}"


def spread_points(case):
    """The middle 80 % of the repetitions' overheads, in points: a command of a
    few microseconds runs thousands of times, and the slowest of those is a
    preempted one, not the command."""
    o = overhead(case)
    return None if o is None else (o["p90"] - o["p10"]) * 100


def median_or_none(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def size_label(size):
    exponent = len(str(size)) - 1
    return f"10^{exponent}" if size == 10 ** exponent else f"{size:,}"


def command_table(cases, size):
    rows = ["| command | cases | `.so` overhead: median (lowest, highest case) | DLL overhead: median (lowest, highest) "
            "| DLL − `.so`, points: median (largest) | DLL time ÷ `.so` time | spread in a case, points: `.so` / DLL |",
            "|---|---|---|---|---|---|---|"]
    for command in ORDER:
        keys = sorted({(shape, variant) for (build, s, shape, c, variant) in cases if s == size and c == command},
                      key=lambda k: (SHAPES.index(k[0]), VARIANTS.index(k[1])))
        if not keys:
            continue
        so, dll, diff, speed, so_spread, dll_spread = [], [], [], [], [], []
        for shape, variant in keys:
            a = cases.get(("so", size, shape, command, variant))
            b = cases.get(("dll", size, shape, command, variant))
            oa, ob = overhead(a), overhead(b)
            if oa is not None:
                so.append(oa["median"])
                so_spread.append(spread_points(a))
            if ob is not None:
                dll.append(ob["median"])
                dll_spread.append(spread_points(b))
            if oa is not None and ob is not None:
                diff.append(ob["median"] - oa["median"])
                if a["moduleSeconds"]["median"] > 0:
                    speed.append(b["moduleSeconds"]["median"] / a["moduleSeconds"]["median"])

        def summary(values):
            if not values:
                return "-"
            return f"{percent(statistics.median(values))} ({percent(min(values))}, {percent(max(values))})"

        largest = max(diff, key=abs) if diff else None
        rows.append(f"| {command} | {len(keys)} | {summary(so)} | {summary(dll)} | "
                    f"{points(median_or_none(diff))} ({points(largest)}) | "
                    f"{'-' if not speed else f'{statistics.median(speed):.2f}×'} | "
                    f"{median_or_none(so_spread) or 0:.1f} / {median_or_none(dll_spread) or 0:.1f} |")
    return "\n".join(rows)


# Below this a case times the clock and the start more than a walk: a step or
# two, or a search of thirty items behind a panel timed apart.
WALK_SECONDS = 10e-6


def targets(cases, size):
    lines = []
    for build, name in (("so", "`.so` natively"), ("dll", "DLL under Wine")):
        values = [(overhead(c)["median"], key, c["floorSeconds"]["median"]) for key, c in cases.items()
                  if key[0] == build and key[1] == size and overhead(c) is not None]
        if not values:
            continue
        for label, kept in (("", values), (f" with a floor of at least {WALK_SECONDS * 1e6:.0f} µs",
                                           [v for v in values if v[2] >= WALK_SECONDS])):
            if not kept:
                continue
            over = [v for v in kept if v[0] > 0.35]
            worst = max(kept)
            lines.append(f"- {name}: {len(kept)} cases{label}, median overhead "
                         f"{percent(statistics.median(v for v, _, _ in kept))}, {len(over)} above +35 %; largest "
                         f"{percent(worst[0])} ({' '.join(map(str, worst[1][2:]))})")
    return "\n".join(lines)


def case_table(cases, size):
    def ms(seconds):
        return f"{seconds * 1e3:10.3f}"

    lines = [f"{'command':<18} {'shape':<9} {'case':<8} {'.so ms':>10} {'floor':>10} {'overhead':>9} {'spread':>7}"
             f" {'DLL ms':>10} {'floor':>10} {'overhead':>9} {'spread':>7}"]
    lines.append("-" * len(lines[0]))
    keys = sorted({(shape, command, variant) for (build, s, shape, command, variant) in cases if s == size},
                  key=lambda k: (SHAPES.index(k[0]), ORDER.index(k[1]), VARIANTS.index(k[2])))
    for shape, command, variant in keys:
        line = f"{command:<18} {shape:<9} {variant:<8}"
        for build in ("so", "dll"):
            case = cases.get((build, size, shape, command, variant))
            o = overhead(case)
            if o is None:
                why = "missing" if case is None else case.get("problem", "no figure")
                line += f" {why[:48]:>48}"
                continue
            line += (f" {ms(case['moduleSeconds']['median'])} {ms(case['floorSeconds']['median'])}"
                     f" {percent(o['median']):>9} {spread_points(case):6.1f}p")
        lines.append(line)
    return "\n".join(lines)


def main():
    folder, repetitions = sys.argv[1], sys.argv[2]
    cases = load(folder)
    sizes = sorted({key[1] for key in cases})
    print(f"Each case: at least {repetitions} repetitions of the command and its floor, back to back (a command of a "
          "few microseconds until its runs add up to 0.1 s); overhead = module time ÷ "
          "floor time − 1 per repetition, the median of those; spread = the 90th minus the 10th percentile of the "
          "repetitions' overheads.\n")
    for size in sizes:
        print(f"### {size_label(size)} items\n")
        print(command_table(cases, size))
        print()
        print(targets(cases, size))
        print()
    largest = sizes[-1]
    print(f"Every case at {size_label(largest)} items (times are medians):\n")
    print("```")
    print(case_table(cases, largest))
    print("```")


if __name__ == "__main__":
    main()
