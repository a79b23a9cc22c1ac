#!/usr/bin/env python3
"""Predicts what `stylo-report --fix` makes of each file, by a walk of its
own written from the rules rather than from the program's code, and compares
the prediction with the fixed tree.

    python3 bench/fix_predict.py PRISTINE FIXED

PRISTINE is the tree before the fix, FIXED the same tree after it. A file
in which no keyword stands against a '(' anywhere (literals and comments
included) can have no keyword finding, and must come out unchanged: only
the others are walked, which keeps a whole Linux tree to a minute or two.
Prints one line per file that differs, then the counts; exits 1 on any
difference.
"""
import os
import re
import sys

KEYWORDS = {b"if", b"switch", b"for", b"while"}
MAYBE = re.compile(rb"(?:if|switch|for|while)\(")
WORD = frozenset(b"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_")
LF = 0x0A


def lines_of(data):
    """The lines the program reads, each with the offset of its first byte
    in the file: the input ends at a 0x1A, a CR directly before a LF is no
    part of its line, and a last line without LF is still a line."""
    end = data.find(b"\x1a")
    text = data if end < 0 else data[:end]
    lines = []
    start = 0
    while start < len(text):
        lf = text.find(b"\n", start)
        if lf < 0:
            lines.append((start, text[start:]))
            break
        line = text[start:lf]
        if line.endswith(b"\r"):
            line = line[:-1]
        lines.append((start, line))
        start = lf + 1
    return lines


class Walk:
    """The scan, one character at a time: the cursor over the lines, each
    seen as its bytes and one virtual line feed."""

    def __init__(self, data):
        self.lines = lines_of(data)
        self.index = -1
        self.line = b""
        self.base = 0
        self.column = 0
        self.ended = False
        self.blanks = []  # offsets of the '(' that get a blank before them

    def char_at(self, i):
        return self.line[i] if i < len(self.line) else LF

    def cur(self):
        return self.char_at(self.column)

    def advance(self):
        self.column += 1
        if self.column <= len(self.line):
            return True
        self.column = 0
        if self.index + 1 < len(self.lines):
            self.index += 1
            self.base, self.line = self.lines[self.index]
            return True
        self.ended = True
        return False

    def skip_to(self, delimiter):
        self.advance()
        while not self.ended:
            if self.column >= len(self.line):
                return
            c = self.cur()
            if c == delimiter:
                return
            if c == 0x5C:  # backslash: it and the next byte go together
                self.column += 1
                self.advance()
            else:
                self.column += 1

    def skip_block_comment(self):
        self.advance()
        self.advance()
        while not self.ended and not (self.cur() == 0x2A and self.char_at(self.column + 1) == 0x2F):
            self.advance()
        if not self.ended:
            self.advance()

    def run(self):
        self.advance()  # onto line 1, from the empty line before it
        while not self.ended:
            c = self.cur()
            if c in WORD:
                start = self.column
                while self.cur() in WORD:
                    self.advance()
                if self.cur() == 0x28 and self.line[start:self.column] in KEYWORDS:
                    self.blanks.append(self.base + self.column)
                continue
            if c == 0x22:
                self.skip_to(0x22)
            elif c == 0x27:
                self.skip_to(0x27)
            elif c == 0x23:
                self.skip_to(LF)
            elif c == 0x2F:
                n = self.char_at(self.column + 1)
                if n == 0x2A:
                    self.skip_block_comment()
                elif n == 0x2F:
                    self.skip_to(LF)
            elif c == 0x3D and self.char_at(self.column + 1) == 0x3D and self.char_at(self.column + 2) == 0x21:
                self.advance()  # "==!": the second '=' is passed over
            self.advance()
        return self.blanks


def predict(data):
    if not MAYBE.search(data):
        return data
    out = bytearray()
    kept = 0
    for offset in Walk(data).run():
        out += data[kept:offset]
        out += b" "
        kept = offset
    out += data[kept:]
    return bytes(out)


def main():
    pristine, fixed = sys.argv[1], sys.argv[2]
    files = changed = wrong = 0
    for directory, _, names in os.walk(pristine):
        for name in names:
            before_path = os.path.join(directory, name)
            after_path = os.path.join(fixed, os.path.relpath(before_path, pristine))
            with open(before_path, "rb") as f:
                before = f.read()
            with open(after_path, "rb") as f:
                after = f.read()
            wanted = predict(before)
            files += 1
            changed += wanted != before
            if after != wanted:
                wrong += 1
                print("differs from the prediction:", os.path.relpath(before_path, pristine))
    print(f"{files} files, {changed} predicted to change, {wrong} not as predicted")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
