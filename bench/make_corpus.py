"""Writes a deterministic corpus of C-like source files.

Stands in for a real tree when none can be had: mostly identifiers, blanks
and comments, some string and character literals, preprocessor lines with
continuations, and a few findings per thousand lines.

    python3 make_corpus.py DIR [FILES]
"""
import os
import random
import sys

WORDS = ("buffer count index length node next prev state flags value result size offset entry table "
         "device queue lock irq page addr data info priv ctx head tail mask shift").split()
TYPES = ("int", "unsigned long", "struct device *", "char *", "u32", "size_t", "bool")


def name(rng):
    return "_".join(rng.choice(WORDS) for _ in range(rng.randint(1, 3)))


def statement(rng):
    a, b, c = name(rng), name(rng), name(rng)
    kind = rng.random()
    if kind < 0.0015:
        return f"{a} =- {b};"  # a finding
    if kind < 0.003:
        return f"if({a} > {b})"  # a finding
    if kind < 0.15:
        return f"if ({a} == {b} && {c} != 0)"
    if kind < 0.22:
        return f"for ({a} = 0; {a} < {b}; {a}++)"
    if kind < 0.30:
        return f'pr_info("{a}: %d {b}\\n", {c});'
    if kind < 0.33:
        return f"{a} = '{rng.choice('xyz')}';"
    if kind < 0.45:
        return f"return {a}({b}, {c});"
    if kind < 0.60:
        return f"{a}->{b} = {c}[{a}] + {rng.randint(0, 4096)};"
    return f"{a} = {b}({c}, {name(rng)});"


def function(rng, out):
    out.append(f"/*\n * {name(rng)}() - {' '.join(rng.choice(WORDS) for _ in range(8))}\n"
               f" * @{name(rng)}: {' '.join(rng.choice(WORDS) for _ in range(6))}\n */")
    out.append(f"static {rng.choice(TYPES)} {name(rng)}({rng.choice(TYPES)} {name(rng)})\n{{")
    for _ in range(rng.randint(5, 40)):
        out.append("\t" + statement(rng) + (f"  /* {name(rng)} */" if rng.random() < 0.1 else ""))
    out.append("}\n")


def source_file(rng):
    out = ["// SPDX-License-Identifier: GPL-2.0", "#include <linux/kernel.h>", "#include <linux/module.h>"]
    out.append(f"#define {name(rng).upper()}(x) \\\n\tdo {{ if (x) {name(rng)}(x); }} while (0)\n")
    for _ in range(rng.randint(3, 30)):
        function(rng, out)
    return "\n".join(out) + "\n"


def main():
    directory = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    rng = random.Random(20261208)
    for i in range(files):
        sub = os.path.join(directory, f"dir{i % 100:02d}")
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, f"file{i:05d}.{'c' if i % 4 else 'h'}"), "w") as f:
            f.write(source_file(rng))


if __name__ == "__main__":
    main()
