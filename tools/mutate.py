#!/usr/bin/env python3
"""Mutation testing: how many small faults planted in the sources do the tests catch?

Use (from the source tree, with an already configured build directory):

    cmake -S . -B build-mut -DZANKORUC_BUILD_BENCH=OFF
    tools/mutate.py --repo . --build build-mut --count 60 --seed 7 --test-timeout 300 \
        --ctest-args='-LE e2e -E fuzz' --files 'src/game/*.cpp' 'src/platform/**/*.cpp'

Every file matching the globs (relative to --repo, `**` descends into folders) is scanned
for places where one small edit changes what the code does, outside comments, string and
character literals and preprocessor lines:
  - relational:  <  <=  >  >=  ==  !=   (each swapped with its partner: < <=, > >=, == !=)
  - arithmetic:  binary +  -  *  /      (+ with -, * with /)
  - logical:     &&  ||                 (swapped)
  - negation:    a unary ! is removed
  - literal:     an integer literal 0 -> 1, 1 -> 0, n -> n+1; inside [] n -> n+1
  - boolean:     true with false
  - statement:   a line holding a whole call statement `f(...);` is deleted
Binary operators are recognised by the spaces clang-format puts around them, which tells
`a < b` from `vector<int>` and `a * b` from `int* p`.

All candidates are sorted (file, position, edit) and --count of them drawn with --seed, so
the same tree, globs and seed always give the same mutants; --list shows them and stops.
Each mutant is written into its file, the build directory is rebuilt (a mutant that does
not compile is left out of the score), and ctest runs with --ctest-args. A mutant is
"killed" when ctest fails or runs out of time, "survived" when every test passes.
Score = killed / compiling mutants. The file is always put back, on errors and Ctrl-C too.
Before mutating, the unmutated tree must build and pass, and the files must be clean in git.
"""

import argparse
import glob
import json
import os
import random
import re
import shlex
import signal
import subprocess
import sys
import time
from collections import namedtuple

SWAPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
         "+": "-", "-": "+", "*": "/", "/": "*", "&&": "||", "||": "&&"}
KINDS = {"<": "relational", "<=": "relational", ">": "relational", ">=": "relational",
         "==": "relational", "!=": "relational", "+": "arithmetic", "-": "arithmetic",
         "*": "arithmetic", "/": "arithmetic", "&&": "logical", "||": "logical"}
# A binary operator stands between whitespace (or ends a wrapped line).
BINARY_OP = re.compile(r"(?<=\s)(<=|>=|==|!=|&&|\|\||<|>|\+|-|\*|/)(?=\s)")
NOT_OP = re.compile(r"(?<![\w)\]!])!(?![=!])")
INT_LITERAL = re.compile(r"(?<![\w.'])(\d+)([uUlL]*)(?![\w.'])")
BOOL_LITERAL = re.compile(r"\b(true|false)\b")
CALL_STATEMENT = re.compile(r"^[A-Za-z_][\w:.\->\[\]]*\(.*\);$")
NOT_A_CALL = ("return", "if", "for", "while", "switch", "static_assert", "sizeof")
RUN_TIMED_OUT = "the whole ctest run timed out"

# One planted fault: `original` at `offset` in `path` (line and column count from 1) becomes
# `replacement`.
Mutant = namedtuple("Mutant", "path line column offset original replacement kind")


def mask_code(text):
    """Blanks comments and the insides of string and char literals, keeping every offset."""
    out, i, n = list(text), 0, len(text)
    while i < n:
        c, nxt = text[i], text[i + 1] if i + 1 < n else ""
        if c == "/" and nxt == "/":
            end = text.find("\n", i)
            end = n if end < 0 else end
        elif c == "/" and nxt == "*":
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
        elif c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum() and nxt.isalnum())):
            end = i + 1  # a quote after a digit and before one is a digit separator (1'000)
            while end < n and text[end] != c:
                end += 2 if text[end] == "\\" else 1
            for k in range(i + 1, min(end, n)):
                out[k] = "\n" if text[k] == "\n" else " "
            i = end + 1
            continue
        else:
            i += 1
            continue
        for k in range(i, end):
            out[k] = "\n" if text[k] == "\n" else " "
        i = end
    return "".join(out)


def find_mutants(path, text):
    """Every candidate Mutant in one file."""
    masked = mask_code(text)
    found, offset, prev_code, in_directive = [], 0, "{", False
    for number, line in enumerate(masked.split("\n"), start=1):
        start, stripped = offset, line.strip()
        offset += len(line) + 1
        if in_directive or stripped.startswith("#"):
            in_directive = text[start:offset - 1].rstrip().endswith("\\")
            continue

        def add(pos, original, replacement, kind):
            found.append(Mutant(path, number, pos + 1, start + pos, original, replacement, kind))

        for m in BINARY_OP.finditer(line):
            add(m.start(), m.group(1), SWAPS[m.group(1)], KINDS[m.group(1)])
        for m in NOT_OP.finditer(line):
            add(m.start(), "!", "", "negation")
        for m in INT_LITERAL.finditer(line):
            value = int(m.group(1))
            inside_index = line[:m.start()].endswith("[") and line[m.end():].startswith("]")
            new = value + 1 if inside_index or value > 1 else 1 - value
            add(m.start(), m.group(0), str(new) + m.group(2), "index" if inside_index else "literal")
        for m in BOOL_LITERAL.finditer(line):
            add(m.start(), m.group(1), "false" if m.group(1) == "true" else "true", "boolean")
        # A whole call on its own line, starting a statement, with balanced parentheses.
        if (CALL_STATEMENT.match(stripped) and stripped.count("(") == stripped.count(")")
                and re.match(r"\w+", stripped).group(0) not in NOT_A_CALL
                and prev_code.endswith((";", "{", "}", ":"))):
            first = line.index(stripped)
            add(first, text[start + first:start + len(line)], "", "statement")
        if stripped:
            prev_code = stripped
    return found


def position(m):
    """File, offset, then the edit: the order candidates are drawn from and reported in."""
    return m.path, m.offset, m.original, m.replacement


def collect_files(repo, patterns):
    files = set()
    for pattern in patterns:
        for path in glob.glob(os.path.join(repo, pattern), recursive=True):
            if os.path.isfile(path):
                files.add(os.path.relpath(path, repo))
    return sorted(files)


def run(cmd, timeout):
    """Runs cmd in a process group of its own; returns (exit code or None on time-out, output)."""
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out
    except subprocess.TimeoutExpired:
        return None, ""
    finally:
        if proc.poll() is None:  # timed out or interrupted: take the whole group down
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()


def stop(signum, frame):
    """Ctrl-C and SIGTERM unwind, so the finally blocks put the mutated file back."""
    raise KeyboardInterrupt


def failed_tests(ctest_output):
    """The names under ctest's "The following tests FAILED:" list."""
    tail = ctest_output.partition("The following tests FAILED:")[2]
    return re.findall(r"^\s*\d+ - (\S+) ", tail, re.MULTILINE)


def describe(m):
    """file:line:column and the edit; the column tells apart two edits on one line."""
    where = f"{m.path}:{m.line}:{m.column}"
    if m.kind == "statement":
        return f"{where}: delete `{m.original.strip()}`"
    return f"{where}: {m.original} -> {m.replacement or '(removed)'} [{m.kind}]"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--repo", default=".", help="source tree (a git checkout)")
    ap.add_argument("--build", required=True, help="configured CMake build directory")
    ap.add_argument("--files", nargs="+", required=True, help="globs relative to --repo")
    ap.add_argument("--count", type=int, default=50, help="how many mutants to draw")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--test-timeout", type=int, default=300, help="seconds per test")
    ap.add_argument("--run-timeout", type=int, default=1800, help="seconds for a whole ctest run")
    ap.add_argument("--build-timeout", type=int, default=1800, help="seconds for one build")
    ap.add_argument("--jobs", type=int, default=2, help="parallel build jobs")
    ap.add_argument("--ctest-args", default="", help="extra ctest arguments, shell-quoted")
    ap.add_argument("--json", help="also write the results to this file")
    ap.add_argument("--list", action="store_true", help="only list the drawn mutants")
    args = ap.parse_args()

    repo, build = os.path.abspath(args.repo), os.path.abspath(args.build)
    files = collect_files(repo, args.files)
    candidates = []
    for path in files:
        with open(os.path.join(repo, path), encoding="utf-8", newline="") as f:
            candidates += find_mutants(path, f.read())
    candidates.sort(key=position)
    chosen = sorted(random.Random(args.seed).sample(candidates, min(args.count, len(candidates))),
                    key=position)
    print(f"{len(files)} files, {len(candidates)} candidates, {len(chosen)} drawn (seed {args.seed})",
          flush=True)
    if args.list:
        for m in chosen:
            print("  " + describe(m))
        return 0

    dirty = subprocess.run(["git", "status", "--porcelain", "--"] + files, cwd=repo,
                           capture_output=True, text=True, check=True).stdout
    if dirty:
        sys.exit("refusing to mutate files with uncommitted changes:\n" + dirty)
    build_cmd = ["cmake", "--build", build, "-j", str(args.jobs)]
    test_cmd = (["ctest", "--test-dir", build, "--no-tests=error"] + shlex.split(args.ctest_args)
                + ["--timeout", str(args.test_timeout)])

    def build_and_test():
        code, out = run(build_cmd, args.build_timeout)
        if code != 0:
            return "no-compile", out
        code, out = run(test_cmd, args.run_timeout)
        if code is None:
            return "killed", RUN_TIMED_OUT
        return ("survived" if code == 0 else "killed"), out

    print("checking the unmutated tree builds and passes ...", flush=True)
    started = time.monotonic()
    result, out = build_and_test()
    if result != "survived":
        sys.exit(f"the unmutated tree does not {'build' if result == 'no-compile' else 'pass'}:\n"
                 + out[-4000:])
    print(f"  ok ({time.monotonic() - started:.0f} s)")

    signal.signal(signal.SIGINT, stop)  # even when started with Ctrl-C ignored (in background)
    signal.signal(signal.SIGTERM, stop)
    results = []
    for index, m in enumerate(chosen, start=1):
        full = os.path.join(repo, m.path)
        with open(full, encoding="utf-8", newline="") as f:
            text = f.read()
        started = time.monotonic()
        try:
            with open(full, "w", encoding="utf-8", newline="") as f:
                f.write(text[:m.offset] + m.replacement + text[m.offset + len(m.original):])
            result, out = build_and_test()
        except KeyboardInterrupt:
            sys.exit(f"interrupted at {describe(m)}; the file is restored")
        finally:
            with open(full, "w", encoding="utf-8", newline="") as f:
                f.write(text)
        seconds = time.monotonic() - started
        killers = [] if result != "killed" else [out] if out == RUN_TIMED_OUT else failed_tests(out)
        results.append((m, result, killers))
        print(f"[{index:3}/{len(chosen)}] {describe(m)}  {result}  ({seconds:.0f} s)", flush=True)
    run(build_cmd, args.build_timeout)  # leave the build directory matching the sources

    compiling = [r for r in results if r[1] != "no-compile"]
    killed = sum(1 for r in compiling if r[1] == "killed")
    survivors = [m for m, r, _ in compiling if r == "survived"]
    score = 100.0 * killed / len(compiling) if compiling else 0.0
    print(f"\nmutants drawn:     {len(results)}")
    print(f"compiling mutants: {len(compiling)}")
    print(f"killed:            {killed}")
    print(f"survived:          {len(survivors)}")
    print(f"score:             {score:.1f} %")
    print("survivors:")
    for m in survivors:
        print("  " + describe(m))
    if args.json:
        report = {
            "seed": args.seed, "files": files, "candidates": len(candidates),
            "drawn": len(results), "compiling": len(compiling), "killed": killed,
            "survived": len(survivors), "score": round(score, 1),
            "mutants": [{"file": m.path, "line": m.line, "column": m.column, "kind": m.kind,
                         "original": m.original, "mutant": m.replacement, "result": r,
                         "killed_by": k} for m, r, k in results],
            "survivors": [describe(m) for m in survivors],
        }
        with open(args.json, "w", encoding="utf-8") as f:
            json.dump(report, f, indent=2)
            f.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
