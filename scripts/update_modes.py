#!/usr/bin/env python3
"""How much each command's result depends on when the host applies its lines.

Usage: update_modes.py [--hostsim PATH] [--seeds N] [--jobs N] [--scenes FILE ...]

Runs every command with "hostsim run ... --updates all --json" on validate's
random scenes of seeds 1 to N, each with four selections (one item, several of
one kind, several of mixed kinds, everything), and on the real scene files with
each item alone and with everything selected. QZ_Sel_ByName runs once for each
of a few searches. Prints Markdown: per command the cases, how many differ
between the modes and how live and snapshot differ from deferred; then the
cases by selection, and the real scenes whose whole selection gives different
results.

The default hostsim is the native release build (cmake --preset native-release).
Exits 1 when a run breaks the host's rules, 2 when one cannot be carried out.
"""
import argparse
import collections
import concurrent.futures
import json
import os
import pathlib
import random
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
COMMANDS = ["QZ_Sel_Child", "QZ_Add_Child", "QZ_Sel_Sibling", "QZ_Sel_Throwback", "QZ_Sel_Parent", "QZ_Add_Parent",
            "QZ_Sel_Descendant", "QZ_Sel_Hierarchy", "QZ_Sel_AllNulls", "QZ_Sel_AllObjects"]
# The by-name searches, each a row of its own: the name matches the README's
# rules (a dot splits object from bone) against the names random scenes use.
SEARCHES = [("object", "*"), ("bone", "Arm*"), ("light", "*"), ("object", "Body.*")]
SELECTIONS = ["one", "one kind", "mixed kinds", "all"]
MODES = ["deferred", "live", "snapshot"]
OTHER_MODES = MODES[1:]


def variants():
    """(row label, the arguments after 'run')"""
    rows = [(command, [command]) for command in COMMANDS]
    for kind, pattern in SEARCHES:
        rows.append((f"QZ_Sel_ByName {kind} {pattern}", ["QZ_Sel_ByName", "--kind", kind, "--pattern", pattern]))
    return rows


def run_json(hostsim, arguments):
    """The JSON report of one hostsim run; a run that could not be carried out
    (exit status 2, or no JSON) raises."""
    done = subprocess.run([hostsim, "run", *arguments, "--json", "--no-tree"], capture_output=True, text=True,
                          encoding="utf-8", errors="replace", check=False)
    if done.returncode not in (0, 1) or not done.stdout.strip():
        raise RuntimeError(f"hostsim run {' '.join(arguments)}: exit {done.returncode}: {done.stderr.strip()}")
    report = json.loads(done.stdout)
    report["exit"] = done.returncode
    return report


def pick_selections(items, seed):
    """The four selections of a random scene, as item ids in selection order;
    a kind of selection the scene cannot give is left out."""
    chooser = random.Random(seed)
    ids = [item["id"] for item in items]
    by_kind = collections.defaultdict(list)  # a null is an object to the commands
    for item in items:
        by_kind["object" if item["kind"] == "null" else item["kind"]].append(item["id"])
    picks = {}
    if ids:
        picks["one"] = [chooser.choice(ids)]
    kinds = sorted(kind for kind, members in by_kind.items() if len(members) >= 2)
    if kinds:
        members = by_kind[chooser.choice(kinds)]
        picks["one kind"] = chooser.sample(members, chooser.randint(2, min(5, len(members))))
    if len(by_kind) >= 2:
        first, second = chooser.sample(sorted(by_kind), 2)
        chosen = [chooser.choice(by_kind[first]), chooser.choice(by_kind[second])]
        rest = [entry for entry in ids if entry not in chosen]
        chosen += chooser.sample(rest, chooser.randint(0, min(3, len(rest))))
        chooser.shuffle(chosen)
        picks["mixed kinds"] = chosen
    if ids:
        picks["all"] = ids
    return picks


def compare(deferred, other):
    """How one mode's run differs from the deferred run: None when it does not."""
    if other["result"] != deferred["result"] or other["messages"] != deferred["messages"]:
        return "other result or messages"
    before, after = deferred["after"], other["after"]
    if after == before:
        lines, others = deferred["lines"], other["lines"]
        if others == lines:
            return None
        if set(others) == set(lines) and len(others) != len(lines):
            # The same items, some sent more than once in one mode.
            return f"same selection, {'more' if len(others) > len(lines) else 'fewer'} lines repeated"
        return "same selection, other lines"
    if set(after) == set(before):
        return "same items, other order"
    if set(after) < set(before):
        return "fewer items"
    if set(after) > set(before):
        return "more items"
    return "other items"


def classify(report):
    """{mode: difference or None}, and {mode: (items after, lines sent)}."""
    modes = {mode["updates"]: mode for mode in report["modes"]}
    differences = {name: compare(modes["deferred"], modes[name]) for name in OTHER_MODES}
    sizes = {name: (len(mode["after"]), len(mode["lines"])) for name, mode in modes.items()}
    return differences, sizes


def measure(hostsim, seeds, scenes, jobs):
    """Every case as (row, source, selection kind, differences, sizes)."""
    plans = []  # (row, source, selection, arguments)
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        scene_items = pool.map(lambda seed: run_json(hostsim, ["QZ_Sel_AllNulls", "--random", str(seed)])["items"],
                               seeds)
        for seed, items in zip(seeds, scene_items):
            for selection, ids in pick_selections(items, seed).items():
                selects = [part for entry in ids for part in ("--select", "0x" + entry)]
                for row, arguments in variants():
                    plans.append((row, "random", selection,
                                  [*arguments, "--random", str(seed), "--updates", "all", *selects]))
        for scene in scenes:
            items = run_json(hostsim, ["QZ_Sel_AllNulls", "--scene", str(scene)])["items"]
            picks = [("one", [item["id"]]) for item in items] + [("all", [item["id"] for item in items])]
            for selection, ids in picks:
                selects = [part for entry in ids for part in ("--select", "0x" + entry)]
                for row, arguments in variants():
                    plans.append((row, scene.name, selection,
                                  [*arguments, "--scene", str(scene), "--updates", "all", *selects]))
        reports = pool.map(lambda plan: run_json(hostsim, plan[3]), plans)
        cases, faults = [], []
        for (row, source, selection, arguments), report in zip(plans, reports):
            if report["exit"] != 0 or any(mode["protocolErrors"] for mode in report["modes"]):
                faults.append("hostsim run " + " ".join(arguments))
            differences, sizes = classify(report)
            cases.append((row, source, selection, differences, sizes))
    return cases, faults


def typical(group):
    """The commonest ways live and snapshot differ from deferred, with the mean
    items after in each mode over the cases that differ."""
    counts = collections.Counter((mode, diff) for _, _, _, diffs, _ in group for mode, diff in diffs.items() if diff)
    if not counts:
        return "-"
    parts = [f"{mode} {diff} ({count})" for (mode, diff), count in counts.most_common(3)]
    differing = [sizes for _, _, _, diffs, sizes in group if any(diffs.values())]
    means = "/".join(f"{sum(s[m][0] for s in differing) / len(differing):.1f}" for m in MODES)
    return "; ".join(parts) + f"; items after d/l/s {means}"


def count_differing(group, mode=None):
    return sum(1 for _, _, _, diffs, _ in group if (diffs[mode] if mode else any(diffs.values())))


def table(cases, title):
    rows = collections.OrderedDict((row, []) for row, _ in variants())
    for case in cases:
        rows[case[0]].append(case)
    print(f"\n{title}\n")
    print("| command | cases | differ | live ≠ deferred | snapshot ≠ deferred | typical difference |")
    print("|---|--:|--:|--:|--:|---|")
    for row, group in rows.items():
        if group:
            print(f"| `{row}` | {len(group)} | {count_differing(group)} | {count_differing(group, 'live')} | "
                  f"{count_differing(group, 'snapshot')} | {typical(group)} |")


def selection_table(cases, title, selections):
    print(f"\n{title}, cases that differ / cases, by selection before the command\n")
    print("| command | " + " | ".join(selections) + " |")
    print("|---|" + "--:|" * len(selections))
    for row, _ in variants():
        cells = []
        for selection in selections:
            group = [case for case in cases if case[0] == row and case[2] == selection]
            cells.append(f"{count_differing(group)}/{len(group)}")
        print(f"| `{row}` | " + " | ".join(cells) + " |")


def scene_table(cases):
    """Each real scene's items after in each mode, for the rows where they differ."""
    print("\nReal scenes, everything selected: the rows that differ (deferred/live/snapshot)\n")
    print("| scene | command | items after | lines sent | how live differs | how snapshot differs |")
    print("|---|---|--:|--:|---|---|")
    for row, source, selection, diffs, sizes in cases:
        if selection == "all" and any(diffs.values()):
            after = "/".join(str(sizes[m][0]) for m in MODES)
            lines = "/".join(str(sizes[m][1]) for m in MODES)
            print(f"| {source} | `{row}` | {after} | {lines} | {diffs['live'] or '-'} | {diffs['snapshot'] or '-'} |")


def default_scenes():
    """Where the tests find the collected real scenes, and the demo rig."""
    shared = pathlib.Path(os.environ.get("QZ_SHARED_DIR", ROOT.parent / "shared")) / "scenes"
    if not shared.is_dir():
        print(f"update_modes.py: no collected scenes in {shared}: the demo rig only", file=sys.stderr)
    return sorted(shared.rglob("*.lws")) + [ROOT / "examples/demo_rig.lws"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--hostsim", default=str(ROOT / "build/native-release/bin/hostsim"),
                        help="the hostsim to run (default: the native release build's)")
    parser.add_argument("--seeds", type=int, default=100, help="random scenes of seeds 1 to N (default: 100)")
    parser.add_argument("--jobs", type=int, default=2, help="runs at a time (default: 2)")
    parser.add_argument("--scenes", nargs="*", type=pathlib.Path,
                        help="real scene files: each item alone, then everything selected (default: the collected "
                        "ones in ../shared/scenes beside the checkout or $QZ_SHARED_DIR/scenes, and the demo rig)")
    options = parser.parse_args()
    if options.scenes is None:
        options.scenes = default_scenes()
    try:
        cases, faults = measure(options.hostsim, list(range(1, options.seeds + 1)), options.scenes, options.jobs)
    except (OSError, RuntimeError) as error:
        print(f"update_modes.py: {error}", file=sys.stderr)
        return 2
    random_cases = [case for case in cases if case[1] == "random"]
    scene_cases = [case for case in cases if case[1] != "random"]
    table(random_cases, f"Random scenes of seeds 1 to {options.seeds}, four selections each")
    selection_table(random_cases, "Random scenes", SELECTIONS)
    if scene_cases:
        table(scene_cases, f"Real scenes ({len(options.scenes)} files), each item alone and everything selected")
        selection_table(scene_cases, "Real scenes", ["one", "all"])
        scene_table(scene_cases)
    for fault in faults:
        print("broke the host's rules: " + fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
