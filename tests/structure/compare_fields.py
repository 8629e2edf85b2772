#!/usr/bin/env python3
"""Runs each of quirn's own descriptions on its samples through `quirn
--fields` and through the reference oracle, and compares every field.

    compare_fields.py --formats DIR --samples DIR --oracle JS --node-path DIR
                      [--quirn BIN] [--only NAME]

Without --quirn only the oracle side is checked: every description compiles
and reads each of its samples whole. Ends with "N passed, N failed"; status
77 (skipped) when the quirn given has no --fields.
"""
import argparse
import json
import math
import os
import subprocess
import sys

# description (below the formats folder) -> samples (in the samples folder,
# or absolute: a file the system already has)
TABLE = [
    ("image/png.ksy", ["sample.png"]),
    ("image/gif.ksy", ["sample.gif"]),
    ("image/bmp.ksy", ["sample.bmp"]),
    ("image/jpeg.ksy", ["sample.jpg"]),
    ("executable/elf.ksy", ["/bin/true"]),
    ("archive/gzip.ksy", ["sample.txt.gz"]),
    ("archive/zip.ksy", ["sample.zip", "zip64.zip"]),
    ("archive/tar.ksy", ["sample.tar"]),
    ("disk/mbr.ksy", ["mbr.img"]),
    ("disk/gpt.ksy", ["gpt.img"]),
    ("filesystem/ext4.ksy", ["ext4.img", "ext2.img"]),
    ("filesystem/fat.ksy", ["fat12.img", "fat32.img"]),
    ("audio/wav.ksy", ["sample.wav"]),
    ("network/pcap.ksy", ["sample.pcap"]),
    ("database/sqlite.ksy", ["sample.sqlite"]),
]

COMPARED = ("offset", "size", "bits", "stream", "count", "value", "length", "enum")


def run(command, env=None):
    result = subprocess.run(command, capture_output=True, env=env, timeout=300)
    lines = []
    for number, text in enumerate(result.stdout.decode("utf-8", "replace").splitlines(), 1):
        if text.strip():
            try:
                lines.append(json.loads(text))
            except json.JSONDecodeError as error:
                return result.returncode, None, f"line {number} is no JSON ({error}): {text[:120]}"
    return result.returncode, lines, result.stderr.decode("utf-8", "replace").strip()


def same_value(a, b):
    if isinstance(a, bool) or isinstance(b, bool):
        return a is b
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        if isinstance(a, int) and isinstance(b, int):
            return a == b
        return a == b or math.isclose(a, b, rel_tol=1e-12, abs_tol=0.0)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same_value(x, y) for x, y in zip(a, b))
    return a == b


def differences(expected, actual, limit=8):
    """Field by field, in order: the first few differences in words."""
    found = []
    by_path = {line.get("path"): line for line in actual}
    order = [line.get("path") for line in actual]
    for index, want in enumerate(expected):
        path = want.get("path")
        got = by_path.get(path)
        if got is None:
            found.append(f"{path}: missing")
        else:
            if "error" in want or "error" in got:
                if ("error" in want) != ("error" in got):
                    found.append(f"{path}: error {got.get('error')!r}, the reference: {want.get('error')!r}")
            else:
                for key in COMPARED:
                    if key in want or key in got:
                        if key not in got or key not in want or not same_value(want[key], got[key]):
                            found.append(f"{path}: {key} {got.get(key, '(none)')!r}, "
                                         f"the reference {want.get(key, '(none)')!r}")
            if index < len(order) and order[index] != path and not found:
                found.append(f"{path}: printed at line {order.index(path) + 1}, the reference at {index + 1}")
        if len(found) >= limit:
            break
    known = {w.get("path") for w in expected}
    extra = [line.get("path") for line in actual if line.get("path") not in known]
    if extra and len(found) < limit:
        found.append(f"{len(extra)} fields the reference has not, the first {extra[0]}")
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--formats", required=True)
    parser.add_argument("--samples", required=True)
    parser.add_argument("--oracle", required=True)
    parser.add_argument("--node-path", required=True)
    parser.add_argument("--quirn")
    parser.add_argument("--only")
    args = parser.parse_args()

    env = dict(os.environ, NODE_PATH=args.node_path)
    if args.quirn:
        probe = subprocess.run([args.quirn, "--fields"], capture_output=True, timeout=60)
        if b"unknown option --fields" in probe.stderr:
            print("this quirn has no --fields yet: skipped")
            return 77
    passed = failed = 0
    for description, samples in TABLE:
        if args.only and args.only not in description:
            continue
        ksy = os.path.join(args.formats, description)
        for sample in samples:
            path = sample if os.path.isabs(sample) else os.path.join(args.samples, sample)
            name = f"{description} on {os.path.basename(path)}"
            status, expected, message = run(["node", args.oracle, ksy, path], env)
            if status != 0 or not expected:
                print(f"FAIL {name}: the reference did not read it whole (status {status}): {message}")
                failed += 1
                continue
            if not args.quirn:
                print(f"ok   {name}: {len(expected)} fields (reference)")
                passed += 1
                continue
            status, actual, message = run([args.quirn, "--fields", path, "--format", ksy])
            if actual is None:
                print(f"FAIL {name}: {message}")
                failed += 1
                continue
            found = differences(expected, actual)
            if status != 0:
                found.insert(0, f"status {status}: {message}")
            if found:
                print(f"FAIL {name}: {len(actual)} fields, the reference {len(expected)}")
                for line in found:
                    print(f"       {line}")
                failed += 1
            else:
                print(f"ok   {name}: {len(expected)} fields")
                passed += 1
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
