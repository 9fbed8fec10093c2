#!/usr/bin/env python3
"""Writes text-like data that deflates about 2.5:1: sentences of words drawn
with a skewed frequency from a generated vocabulary, with numbers mixed in.
Deterministic for a given seed, so cached archives stay comparable.

usage: gen_text.py OUTPUT SIZE_BYTES [SEED]
"""
import random
import sys


def vocabulary(rng, count):
    letters = "etaoinshrdlcumwfgypbvkjxqz"
    weights = [26 - i for i in range(len(letters))]
    words = set()
    while len(words) < count:
        length = rng.choice((2, 3, 3, 4, 4, 5, 5, 6, 7, 8, 9, 11))
        words.add("".join(rng.choices(letters, weights, k=length)))
    return sorted(words)


def block(rng, words, cum, size):
    parts = []
    total = 0
    while total < size:
        chosen = rng.choices(words, cum_weights=cum, k=12)
        chosen[0] = chosen[0].capitalize()
        if rng.random() < 0.35:
            chosen[rng.randrange(1, 12)] = str(rng.randrange(100000))
        sentence = " ".join(chosen) + (".\n" if rng.random() < 0.2 else ". ")
        parts.append(sentence)
        total += len(sentence)
    return "".join(parts).encode()[:size]


def main():
    out, size = sys.argv[1], int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    words = vocabulary(rng, 6000)
    cum, acc = [], 0.0
    for rank in range(len(words)):
        acc += 1.0 / (rank + 10)  # Zipf-like: a few words are common
        cum.append(acc)
    rng.shuffle(words)
    with open(out, "wb") as f:
        written = 0
        while written < size:
            data = block(rng, words, cum, min(1 << 20, size - written))
            f.write(data)
            written += len(data)


if __name__ == "__main__":
    main()
