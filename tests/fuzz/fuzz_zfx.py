#!/usr/bin/env python3
"""Mutation fuzzing of zfx: seed archives are damaged at random, mostly in
their records (near the local-header, central-header and end-record
signatures), and zfx extracts and lists each one. Built with ASan and UBSan
(build/asan), any sanitizer report, crash, unknown exit status or run longer
than the time limit is a finding; the input is kept in the findings folder.

usage: fuzz_zfx.py ZFX SEED_DIR FINDINGS_DIR [--runs N] [--seed S] [--timeout SECONDS]

SEED_DIR holds *.zip files, and optionally a file "passwords" with lines
"name.zip password" (the password is the rest of the line). The run is
reproducible from --seed.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

SIGNATURES = [b"PK\x03\x04", b"PK\x01\x02", b"PK\x05\x06", b"PK\x06\x06", b"PK\x06\x07", b"PK\x07\x08"]
INTERESTING32 = [0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE,
                 0xFFFFFFFF]
INTERESTING16 = [0, 1, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFE, 0xFFFF]


def record_offsets(data):
    offsets = []
    for sig in SIGNATURES:
        start = 0
        while True:
            p = data.find(sig, start)
            if p < 0:
                break
            offsets.append(p)
            start = p + 1
    return offsets or [0]


def mutate(data, rng):
    data = bytearray(data)
    records = record_offsets(bytes(data))
    for _ in range(rng.randint(1, 6)):
        if not data:
            data += b"PK\x05\x06" + bytes(18)
        if rng.random() < 0.75:
            pos = min(len(data) - 1, rng.choice(records) + rng.randint(0, 60))
        else:
            pos = rng.randrange(len(data))
        kind = rng.randrange(7)
        if kind == 0:
            data[pos] ^= 1 << rng.randrange(8)
        elif kind == 1:
            data[pos] = rng.choice([0, 0xFF, 0x7F, 0x80, rng.randrange(256)])
        elif kind == 2 and pos + 2 <= len(data):
            data[pos:pos + 2] = rng.choice(INTERESTING16).to_bytes(2, "little")
        elif kind == 3 and pos + 4 <= len(data):
            data[pos:pos + 4] = rng.choice(INTERESTING32).to_bytes(4, "little")
        elif kind == 4:
            del data[rng.randrange(len(data)):]  # truncate
        elif kind == 5:
            n = rng.randint(1, 64)
            data[pos:pos] = data[pos:pos + n]  # duplicate a run
        else:
            n = rng.randint(1, 64)
            del data[pos:pos + n]
    return bytes(data)


def run(cmd, timeout):
    try:
        p = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, timeout=timeout)
    except subprocess.TimeoutExpired:
        return "timeout", b""
    err = p.stderr
    if b"Sanitizer" in err or b"runtime error" in err:
        return "sanitizer", err
    if p.returncode not in (0, 1, 2, 3):
        return "status %d" % p.returncode, err
    return None, err


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("zfx")
    ap.add_argument("seeds")
    ap.add_argument("findings")
    ap.add_argument("--runs", type=int, default=1000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--timeout", type=float, default=20)
    a = ap.parse_args()

    passwords = {}
    pw_file = os.path.join(a.seeds, "passwords")
    if os.path.exists(pw_file):
        for line in open(pw_file):
            parts = line.rstrip("\n").split(" ", 1)
            if len(parts) == 2:
                passwords[parts[0]] = parts[1]
    seeds = sorted(f for f in os.listdir(a.seeds)
                   if f.endswith(".zip") and os.path.isfile(os.path.join(a.seeds, f)))
    if not seeds:
        sys.exit("no seed archives in " + a.seeds)
    seed_bytes = {f: open(os.path.join(a.seeds, f), "rb").read() for f in seeds}
    os.makedirs(a.findings, exist_ok=True)
    rng = random.Random(a.seed)
    findings = 0
    work = tempfile.mkdtemp(prefix="zfx-fuzz.")
    try:
        for i in range(a.runs):
            name = rng.choice(seeds)
            data = mutate(seed_bytes[name], rng)
            archive = os.path.join(work, "case.zip")
            with open(archive, "wb") as f:
                f.write(data)
            out = os.path.join(work, "out")
            shutil.rmtree(out, ignore_errors=True)
            pw = ["-P", passwords[name]] if name in passwords else []
            for cmd in ([a.zfx, "x", "-q", *pw, "-d", out, archive], [a.zfx, "l", archive]):
                problem, err = run(cmd, a.timeout)
                if problem:
                    findings += 1
                    kept = os.path.join(a.findings, "case-%d-%d-%s" % (a.seed, i, name))
                    shutil.copy(archive, kept)
                    with open(kept + ".txt", "w") as f:
                        f.write("%s: %s\n%s" % (problem, " ".join(cmd[1:-1]),
                                                err.decode("utf-8", "replace")[-4000:]))
                    print("finding %d: %s (%s) -> %s" % (i, problem, cmd[1], kept), flush=True)
                    break
            if (i + 1) % 200 == 0:
                print("%d runs, %d findings" % (i + 1, findings), flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d runs, %d findings" % (a.runs, findings))
    sys.exit(1 if findings else 0)


if __name__ == "__main__":
    main()
