#!/usr/bin/env python3
"""Writes every run: block of the forge's workflows as a shell script for
shellcheck, and prints the paths written, one a line.

    python3 tests/workflows/run_blocks.py OUTPUT_FOLDER WORKFLOW...

A block is written in the shell the forge runs it with, named in the file's
extension (shellcheck reads it there, and line numbers stay the block's own):
the step's shell:, else its job's and then its workflow's defaults, else the forge's default for the
runner (PowerShell on Windows). Expressions the forge
fills in before the shell starts, ${{ ... }}, become a word of underscores of
the same length, so the columns shellcheck reports stay right. A block in a
shell that is neither bash nor sh is an error: it would go unchecked.
"""
import os
import re
import sys

import yaml

EXPRESSION = re.compile(r"\$\{\{.*?\}\}")


def shell_of(job, *levels):
    for level in levels:
        shell = level.get("shell") if isinstance(level, dict) else None
        if shell:
            return shell.split()[0]
    # The forge's own default: PowerShell on Windows runners, bash elsewhere.
    return "pwsh" if "windows" in str(job.get("runs-on", "")) else "bash"


def default_run(owner):
    return ((owner or {}).get("defaults") or {}).get("run") or {}


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    output, workflows = sys.argv[1], sys.argv[2:]
    errors = 0
    for workflow_path in workflows:
        with open(workflow_path, encoding="utf-8") as stream:
            workflow = yaml.safe_load(stream)
        name = os.path.basename(workflow_path)
        for job_id, job in (workflow.get("jobs") or {}).items():
            for number, step in enumerate(job.get("steps") or [], start=1):
                if "run" not in step:
                    continue
                shell = shell_of(job, step, default_run(job), default_run(workflow))
                where = f"{name}, job {job_id}, step {number}"
                if shell not in ("bash", "sh"):
                    print(f"{where}: shellcheck cannot check a run: block in {shell}", file=sys.stderr)
                    errors += 1
                    continue
                script = EXPRESSION.sub(lambda match: "_" * len(match.group(0)), step["run"])
                path = os.path.join(output, f"{name} {job_id} step {number}.{shell}")
                with open(path, "w", encoding="utf-8") as out:
                    out.write(script)
                print(path)
    sys.exit(1 if errors else 0)


if __name__ == "__main__":
    main()
