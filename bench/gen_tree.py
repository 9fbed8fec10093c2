#!/usr/bin/env python3
"""Cuts a text file into COUNT small files of varied sizes spread over
FOLDERS folders (folder000/file00000.txt ...), for the many-small-files case.

usage: gen_tree.py TEXT_FILE OUTPUT_DIR COUNT FOLDERS
"""
import os
import random
import sys


def main():
    text_path, out, count, folders = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    rng = random.Random(2)
    with open(text_path, "rb") as f:
        text = f.read()
    position = 0
    for i in range(count):
        folder = os.path.join(out, "folder%03d" % (i % folders))
        if i < folders:
            os.makedirs(folder, exist_ok=True)
        size = int(rng.lognormvariate(7.5, 1.0)) % 60000 + 1  # median about 1.8 KB
        if position + size > len(text):
            position = 0
        with open(os.path.join(folder, "file%05d.txt" % i), "wb") as f:
            f.write(text[position:position + size])
        position += size


if __name__ == "__main__":
    main()
