#!/usr/bin/env python3
"""Sampled mutation testing of lintkeeper's own code: which planted faults the tests miss.

Usage:
  scripts/mutants.py --seed S --count N [--files GLOB...] [--tests REGEX] [--source DIR]
                     [--work DIR] [--keep-going] [--exclude-tests REGEX]
  scripts/mutants.py --list [--seed S --count N] [--files GLOB...]
  scripts/mutants.py --only FILE:LINE[:N] [--only ...] [--tests REGEX]

A run copies the source tree (the files git knows and the untracked ones it does not ignore,
never build*/ or node_modules) into WORK/tree, by default mutants-work beside the source tree,
configures and builds it there in WORK/tree/build (RelWithDebInfo, LINTKEEPER_TESTS=ON; the
corpus and the SARIF multitool are taken from the source tree's places), and runs the test suite
once to check that it passes. It then draws N mutants at random among every mutant of the chosen
files (the same seed and tree give the same mutants), and for each one alone: changes the file,
rebuilds (the one object and the links), runs ctest, restores the file and classifies the
mutant:

  killed        a test failed (or a test the clean run ran was skipped, or a step of the
                build that runs the programs failed: the man pages, the test discovery)
  timeout       the tests (or the build) ran past the time limit; counted as killed
  survived      every test passed
  not compiled  the mutant does not compile or link; not counted in the score

Every ctest test runs for each mutant, unless --tests picks some (or --exclude-tests leaves some
out); ctest stops at the first failure (--every-test runs them all, to see every test that kills
a mutant). A mutant's tests get five times the clean run's time, at least 60 s (--timeout);
those that took under a second get 20 s each. Builds and tests run at nice 10, with
CMAKE_BUILD_PARALLEL_LEVEL=2 unless it is set and ctest -j2 (--jobs).

It prints a line per mutant, a summary with the score killed/(killed+survived), and the diff of
each survivor, and writes the same as WORK/results.tsv; the build and test logs of each mutant
are in WORK/logs. A survivor may be equivalent (no change of behaviour): only a reader can
tell. `--only FILE:LINE` runs every mutant of that line (FILE:LINE:N the Nth, as --list numbers
them), to check that a new test kills a known survivor. The source tree is only read.

The files mutated by default are src/audit, src/formats and src/cron (with their subfolders)
and src/cli/audit_*.cc; --files takes other globs, relative to the source tree. Tests
(*_test.cc) are never mutated. A mutant is one change at one place. The operators:
  relational  < <=, > >=, == != (each way)        logical    && ||, a ! dropped
  arithmetic  + -, + 1 to + 2, - 1 dropped         constant   true false, integer n to n+1
  statement   an expression statement deleted      arguments  two adjacent plain arguments swapped
  jump        break or continue deleted           condition  if (X) to if (true), if (false)
  string      a string literal: one character changed, or emptied
Comments, preprocessor lines (#include), static_assert, template parameter lists, attributes,
decltype and sizeof are left alone. Binary operators are recognised by the spaces around them,
as clang-format writes them, so that `std::array<int, 4>` or `T&& x` are not taken for
comparisons or a logical and. Files no target compiles are left out of a run. Each file's
object is kept as the clean build made it and put back after its mutants, so that a mutant
costs one compile, the links and a test run; the programs are checked at the end to be those
of the clean build again.

The exit status is 0 whatever the mutants give, 1 when the suite fails without any mutant, 2
when this tool fails.
"""

import argparse
import dataclasses
import fcntl
import hashlib
import math
import os
import random
import re
import shlex
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

DEFAULT_FILES = [
    "src/audit/**/*.cc",
    "src/formats/**/*.cc",
    "src/cron/**/*.cc",
    "src/cli/audit_*.cc",
]
BUILD_DIR = "build"
OPERATORS = ("relational", "logical", "arithmetic", "constant", "statement", "arguments", "jump",
             "condition", "string")

# ---------------------------------------------------------------------------------------------
# Reading C++: tokens, and enough of the structure to know where a statement is.

PUNCTUATORS = sorted(
    """>>= <<= <=> ... ->* :: -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= ## .*
    { } [ ] ( ) ; : , . ? ~ ! + - * / % ^ & | = < > #""".split(),
    key=len, reverse=True)
NAME_RE = re.compile(r"[A-Za-z_][A-Za-z_0-9]*")
NUMBER_RE = re.compile(r"\.?[0-9](?:[eEpP][+-]|[A-Za-z_0-9.]|'(?=[0-9A-Za-z]))*")
STRING_PREFIXES = {"u8", "u", "U", "L", "R", "u8R", "uR", "UR", "LR"}
INTEGER_RE = re.compile(
    r"(?P<digits>0[xX][0-9a-fA-F']+|0[bB][01']+|0[0-7']*|[1-9][0-9']*)(?P<suffix>[uUlLzZ]*)")

KEYWORDS = set("""alignas alignof and and_eq asm auto bitand bitor bool break case catch char
    char8_t char16_t char32_t class compl concept const consteval constexpr constinit const_cast
    continue co_await co_return co_yield decltype default delete do double dynamic_cast else enum
    explicit export extern false float for friend goto if inline int long mutable namespace new
    noexcept not not_eq nullptr operator or or_eq private protected public register
    reinterpret_cast requires return short signed sizeof static static_assert static_cast struct
    switch template this thread_local throw true try typedef typeid typename union unsigned
    using virtual void volatile wchar_t while xor xor_eq""".split())
# Words that start a declaration, never an expression statement.
DECLARATION_WORDS = set("""alignas auto bool char char8_t char16_t char32_t class concept const
    consteval constexpr constinit double enum explicit extern float friend inline int long
    mutable namespace register short signed static static_assert struct template thread_local
    typedef typename union unsigned using virtual void volatile wchar_t""".split())
# A name before "(" that does not make a call.
NOT_CALLS = KEYWORDS - {"this"}
# Names whose parenthesised operand is not code that runs.
UNEVALUATED = {"static_assert", "decltype", "sizeof", "alignof", "alignas", "noexcept", "asm",
               "__attribute__", "requires", "typeid"}
CONTROL = {"if", "for", "while", "switch", "catch"}


@dataclasses.dataclass
class Token:
    kind: str  # "name", "number", "string", "char" or "punct"
    text: str
    start: int
    end: int
    line: int
    end_line: int
    space_before: bool
    space_after: bool = True
    first_on_line: bool = False
    last_on_line: bool = True


def _quoted_end(text, i, quote):
    """The offset after the literal whose opening quote is at i."""
    i += 1
    while i < len(text):
        c = text[i]
        if c == "\\":
            i += 2
            continue
        if c == quote:
            return i + 1
        if c == "\n":
            return i
        i += 1
    return i


def _raw_end(text, i):
    """The offset after the raw string whose opening quote is at i (R"delim(...)delim")."""
    open_paren = text.find("(", i)
    if open_paren < 0:
        return len(text)
    closing = ")" + text[i + 1:open_paren] + '"'
    end = text.find(closing, open_paren)
    return len(text) if end < 0 else end + len(closing)


def tokenize(text):
    tokens = []
    i, n, line = 0, len(text), 1
    at_line_start, space = True, True
    while i < n:
        c = text[i]
        if c == "\n":
            line, i, at_line_start, space = line + 1, i + 1, True, True
            continue
        if c in " \t\r\f\v":
            i, space = i + 1, True
            continue
        if c == "\\" and text.startswith("\n", i + 1):
            line, i, space = line + 1, i + 2, True
            continue
        if text.startswith("//", i):
            end = text.find("\n", i)
            i, space = (n if end < 0 else end), True
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i, space = end, True
            continue
        if c == "#" and at_line_start:  # a preprocessor line, with its continuations
            while i < n and not (text[i] == "\n" and text[i - 1] != "\\"):
                if text[i] == "\n":
                    line += 1
                i += 1
            space = True
            continue
        start, first = i, at_line_start
        at_line_start = False
        name = NAME_RE.match(text, i)
        prefix = name and name.group() in STRING_PREFIXES
        if prefix and name.end() < n and text[name.end()] in "\"'":
            quote_at = name.end()
            if text[quote_at] == '"' and "R" in name.group():
                end = _raw_end(text, quote_at)
            else:
                end = _quoted_end(text, quote_at, text[quote_at])
            kind = "string" if text[quote_at] == '"' else "char"
        elif name:
            end, kind = name.end(), "name"
        elif c.isdigit() or (c == "." and i + 1 < n and text[i + 1].isdigit()):
            end, kind = NUMBER_RE.match(text, i).end(), "number"
        elif c in "\"'":
            end, kind = _quoted_end(text, i, c), ("string" if c == '"' else "char")
        else:
            punct = next((p for p in PUNCTUATORS if text.startswith(p, i)), c)
            end, kind = i + len(punct), "punct"
        end_line = line + text.count("\n", start, end)
        tokens.append(Token(kind, text[start:end], start, end, line, end_line, space,
                            first_on_line=first))
        line, i, space = end_line, end, False
    for before, after in zip(tokens, tokens[1:]):
        before.space_after = after.space_before
        before.last_on_line = after.line > before.end_line
    return tokens


class Structure:
    """What the mutation operators need to know of a file's tokens: the matching brackets,
    which tokens are not code that runs, the kind of each brace and where statements start."""

    def __init__(self, tokens):
        self.tokens = tokens
        count = len(tokens)
        self.match = [None] * count
        self.skip = [False] * count
        self.context = ["namespace"] * count  # of the innermost brace around each token
        self.depth = [0] * count  # of braces
        self.parens = [0] * count  # ( and [ open within the innermost brace
        self.brace_kind = {}  # "{" index: "block", "class", "namespace" or "init"
        self.statement_start = [False] * count
        self._match_brackets()
        self._mark_skipped()
        self._find_statements()

    def text(self, i):
        return self.tokens[i].text if 0 <= i < len(self.tokens) else ""

    def _match_brackets(self):
        open_at = []
        pairs = {")": "(", "]": "[", "}": "{"}
        for i, t in enumerate(self.tokens):
            if t.kind != "punct":
                continue
            if t.text in ("(", "[", "{"):
                open_at.append(i)
            elif t.text in pairs:
                while open_at and self.tokens[open_at[-1]].text != pairs[t.text]:
                    open_at.pop()
                if open_at:
                    j = open_at.pop()
                    self.match[i], self.match[j] = j, i

    def _angle_end(self, i):
        """The index of the ">" that closes the "<" at i, or None."""
        level, j = 0, i
        while j < len(self.tokens):
            text = self.tokens[j].text
            if text in ("(", "[", "{") and self.match[j] is not None:
                j = self.match[j]
            elif text == "<":
                level += 1
            elif text in (">", ">>"):
                level -= len(text)
                if level <= 0:
                    return j
            elif text in (";", "}"):
                return None
            j += 1
        return None

    def _mark(self, first, last):
        for j in range(first, last + 1):
            self.skip[j] = True

    def _mark_skipped(self):
        toks = self.tokens
        for i, t in enumerate(toks):
            following = self.text(i + 1)
            if t.kind == "name" and t.text in UNEVALUATED and following == "(":
                if self.match[i + 1] is not None:
                    self._mark(i, self.match[i + 1])
            elif t.text == "template" and following == "<":
                end = self._angle_end(i + 1)
                if end is not None:
                    self._mark(i, end)
            elif t.text == "[" and following == "[" and self.match[i] is not None:
                self._mark(i, self.match[i])
            elif t.text == "operator":
                last = i + 1
                if self.text(last) in ("(", "[") and self.match[last] is not None:
                    last = self.match[last]
                elif self.text(last) in ("new", "delete") and self.text(last + 1) == "[":
                    last += 2
                self._mark(i, min(last, len(toks) - 1))
            elif t.text in ("extern", "asm") and i + 1 < len(toks) and toks[i + 1].kind == "string":
                self._mark(i, i + 1)

    def _classify_brace(self, i, in_parens):
        toks = self.tokens
        before = self.text(i - 1)
        if in_parens:
            return "block" if before in (")", "]", "mutable", "noexcept") else "init"
        # A function's or a control statement's body, a nested block, a case label's block.
        if before in (")", "else", "do", "try", "const", "noexcept", "override", "mutable", "]",
                      ";", "{", "}", ":"):
            return "block"
        if i >= 2 and toks[i - 1].kind == "string" and self.text(i - 2) == "extern":
            return "namespace"
        j = i - 1
        while j >= 0 and (toks[j].kind == "name" or toks[j].text == "::") and \
                toks[j].text != "namespace":
            j -= 1
        if j >= 0 and toks[j].text == "namespace":
            return "namespace"
        # A class, struct, union or enum, unless it is a variable of one: "struct stat st {}".
        j, keyword = i - 1, None
        while j >= 0 and i - j < 200:
            text = toks[j].text
            if text in (";", "{", "}"):
                break
            if text in (")", "]") and self.match[j] is not None:
                j = self.match[j]
            elif text in ("struct", "class", "union", "enum") and not self.skip[j]:
                keyword = j
            j -= 1
        if keyword is None:
            return "init"
        between = [t.text for t in toks[keyword + 1:i]]
        if "=" in between or "(" in between:
            return "init"
        k = 0
        while k < len(between) and between[k] in ("class", "struct"):
            k += 1
        while k + 1 < len(between) and between[k + 1] == "::":
            k += 2
        if k + 2 == len(between) and NAME_RE.fullmatch(between[k + 1]) and \
                between[k + 1] not in ("final",):
            return "init"
        return "class"

    def _find_statements(self):
        stack = [["namespace", []]]  # [kind, open parens (True for a control header's)]
        expect = label = pending_control = False
        for i, t in enumerate(self.tokens):
            kind, parens = stack[-1]
            self.context[i], self.depth[i], self.parens[i] = kind, len(stack), len(parens)
            text = t.text
            if pending_control and text not in ("(", "constexpr", "!", "consteval"):
                pending_control = False
            if kind == "block" and not parens and expect:
                self.statement_start[i] = True
                expect = False
                label = text in ("case", "default")
            if t.kind == "punct":
                if text in ("(", "["):
                    parens.append(pending_control and text == "(")
                    pending_control = False
                elif text in (")", "]"):
                    if parens and parens.pop() and not parens:
                        expect = True
                elif text == "{":
                    opened = self._classify_brace(i, bool(parens))
                    self.brace_kind[i] = opened
                    stack.append([opened, []])
                    expect = opened == "block"
                elif text == "}":
                    closed = stack.pop()[0] if len(stack) > 1 else "namespace"
                    if stack[-1][0] == "block" and not stack[-1][1] and closed == "block":
                        expect = True
                elif text == ";" and not parens:
                    expect = True
                elif text == ":" and label and not parens:
                    label, expect = False, True
            elif text in CONTROL:
                pending_control = True
            elif text in ("else", "do") and kind == "block" and not parens:
                expect = True

    def statement_end(self, i):
        """The index of the ";" ending the expression statement starting at i, or None."""
        depth, j = self.depth[i], i
        while j < len(self.tokens):
            t = self.tokens[j]
            if self.depth[j] < depth:
                return None
            if self.depth[j] == depth and self.parens[j] == 0:
                if t.text == ";":
                    return j
                if t.text == "{" and self.brace_kind.get(j) == "block":
                    return None
            j += 1
        return None

    def is_declaration(self, i, end):
        """Whether the statement from i to end declares something ("Gate gate;",
        "std::vector<int> v(3);", "const auto x = ..."), as far as its first tokens tell."""
        toks = self.tokens[i:end + 1]
        texts = [t.text for t in toks]
        if texts[0] in DECLARATION_WORDS:
            return True

        def plain_name(k):
            return k < len(toks) and toks[k].kind == "name" and texts[k] not in KEYWORDS

        k = 1 if texts[0] == "::" else 0
        if not plain_name(k):
            return False
        k += 1
        while True:
            if texts[k:k + 1] == ["::"] and plain_name(k + 1):
                k += 2
            elif texts[k:k + 1] == ["<"] and not toks[k].space_before:
                close = self._angle_end(i + k)
                if close is None or close > end:
                    return False
                k = close - i + 1
            else:
                break
        while k < len(toks) and texts[k] in ("*", "&", "&&", "const", "volatile"):
            k += 1
        return plain_name(k) and k + 1 < len(toks) and \
            texts[k + 1] in ("=", ";", "{", "(", "[", ",", ":")


# ---------------------------------------------------------------------------------------------
# The mutants of a file.

@dataclasses.dataclass
class Mutant:
    path: str  # relative to the tree
    line: int
    operator: str
    start: int
    end: int
    replacement: str
    before: str
    after: str
    number: int = 0  # among the mutants of its line, from 1
    text_before: str = ""  # the text it replaces, to check that the file is still the same

    @property
    def place(self):
        return f"{self.path}:{self.line}"

    def apply(self, text):
        return text[:self.start] + self.replacement + text[self.end:]


def _window(text, start, end, replacement, width=24, longest=48):
    """The piece of the line around [start, end) before and after the change, whitespace
    squeezed; the changed text is never cut out."""
    line_start = text.rfind("\n", 0, start) + 1
    line_end = text.find("\n", end)
    line_end = len(text) if line_end < 0 else line_end
    left, right = text[max(line_start, start - width):start], text[end:min(line_end, end + width)]
    if start - width > line_start:  # not in the middle of a name, if it can be helped
        left = "... " + (re.sub(r"^[A-Za-z0-9_]+", "", left) or left).lstrip()
    if end + width < line_end:
        right = (re.sub(r"[A-Za-z0-9_]+$", "", right) or right).rstrip() + " ..."

    def piece(middle):
        if len(middle) > longest:
            middle = middle[:longest // 2] + " ... " + middle[-longest // 2:]
        return " ".join((left + middle + right).split())

    return piece(text[start:end]), piece(replacement)


def _squeeze(s, longest=60):
    s = " ".join(s.split())
    return s if len(s) <= longest else s[:longest - 3] + "..."


def _next_letter(c):
    if c.isdigit():
        return str((int(c) + 1) % 10)
    base = ord("a") if c.islower() else ord("A")
    return chr(base + (ord(c) - base + 1) % 26)


def _string_char_to_change(body):
    """The index in a string literal's body of the character to change, or None: the first
    letter or digit outside escapes and fmt's {} fields, else the first other visible one."""
    plain, i = [], 0
    while i < len(body):
        c = body[i]
        if c == "\\":
            i += 2
            continue
        if c == "{" and body.startswith("{{", i):
            i += 2
            continue
        if c == "{":
            close = body.find("}", i)
            i = len(body) if close < 0 else close + 1
            continue
        plain.append(i)
        i += 1
    for i in plain:
        if body[i].isascii() and body[i].isalnum():
            return i
    for i in plain:
        if body[i].isascii() and body[i].isprintable() and body[i] not in " }":
            return i
    return None


def _bump_integer(text):
    m = INTEGER_RE.fullmatch(text)
    if not m:
        return None
    digits, suffix = m.group("digits").replace("'", ""), m.group("suffix")
    if digits[:2] in ("0x", "0X"):
        value = int(digits[2:], 16) + 1
        hex_digits = f"{value:x}" if not any(c in "ABCDEF" for c in digits[2:]) else f"{value:X}"
        return digits[:2] + hex_digits + suffix
    if digits[:2] in ("0b", "0B"):
        return digits[:2] + f"{int(digits[2:], 2) + 1:b}" + suffix
    if digits == "0":
        return "1" + suffix
    if digits.startswith("0"):
        return "0" + f"{int(digits, 8) + 1:o}" + suffix
    return str(int(digits) + 1) + suffix


def _is_operand_end(t):
    if t.kind in ("number", "string", "char"):
        return True
    if t.kind == "name":
        return t.text not in KEYWORDS or t.text in ("this", "true", "false", "nullptr")
    return t.text in (")", "]")


def _is_binary(t):
    return t.space_before and t.space_after


def _simple_argument(toks):
    """"name" for a name or a chain of members (a.b->c, ns::x), the literal's kind for a
    literal, None for anything else."""
    if len(toks) == 1 and toks[0].kind in ("number", "string", "char"):
        return toks[0].kind
    if len(toks) % 2 == 0:
        return None
    for k, t in enumerate(toks):
        if k % 2 == 0 and not (t.kind == "name" and (t.text not in KEYWORDS or t.text == "this")):
            return None
        if k % 2 == 1 and t.text not in (".", "->", "::"):
            return None
    return "name"


class MutantFinder:
    def __init__(self, path, text):
        self.path, self.text = path, text
        self.tokens = tokenize(text)
        self.s = Structure(self.tokens)
        self.found = []

    def add(self, operator, start, end, replacement, line, before=None, after=None):
        if before is None:
            before, after = _window(self.text, start, end, replacement)
        self.found.append(Mutant(self.path, line, operator, start, end, replacement, before,
                                 after))

    def replace_token(self, operator, t, replacement):
        self.add(operator, t.start, t.end, replacement, t.line)

    def find(self):
        toks, s = self.tokens, self.s
        swaps = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
                 "&&": "||", "||": "&&", "+": "-", "-": "+", "true": "false", "false": "true"}
        for i, t in enumerate(toks):
            if s.skip[i]:
                continue
            previous = toks[i - 1] if i else None
            following = toks[i + 1] if i + 1 < len(toks) else None
            if s.statement_start[i]:
                self.statement(i)
            if t.kind == "punct":
                if t.text in ("<", "<=", ">", ">=", "==", "!=") and _is_binary(t):
                    self.replace_token("relational", t, swaps[t.text])
                elif t.text in ("&&", "||") and _is_binary(t):
                    self.replace_token("logical", t, swaps[t.text])
                elif t.text == "!":
                    self.replace_token("logical", t, "")
                elif t.text in ("+", "-") and _is_binary(t) and previous and following:
                    self.arithmetic(i, t, previous, following, swaps[t.text])
                elif t.text == "(" and previous and previous.kind == "name" and \
                        previous.text not in NOT_CALLS and s.context[i] in ("block", "init"):
                    self.swap_arguments(i)
            elif t.kind == "name":
                if t.text in ("true", "false"):
                    self.replace_token("constant", t, swaps[t.text])
                elif t.text in ("break", "continue") and following and following.text == ";":
                    self.add("jump", t.start, t.end, "", t.line, f"{t.text};", ";")
                elif t.text == "if":
                    self.condition(i)
            elif t.kind == "number":
                bumped = _bump_integer(t.text)
                pure_specifier = previous and previous.text == "=" and \
                    s.text(i - 2) in (")", "const", "override", "noexcept", "final") and \
                    following and following.text == ";"
                if bumped and not pure_specifier:
                    self.replace_token("constant", t, bumped)
            elif t.kind == "string":
                self.string(t)
        return self.found

    def arithmetic(self, i, t, previous, following, swapped):
        if not _is_operand_end(previous) or "string" in (previous.kind, following.kind):
            return
        self.replace_token("arithmetic", t, swapped)
        if following.kind != "number" or INTEGER_RE.fullmatch(following.text) is None or \
                following.text.rstrip("uUlLzZ") != "1":
            return
        if t.text == "+":
            self.replace_token("arithmetic", following, "2" + following.text[1:])
            return
        after = self.s.text(i + 2)
        if after not in ("*", "/", "%", "(", "[", ".", "->", "++", "--", "::"):
            self.add("arithmetic", previous.end, following.end, "", t.line)

    def statement(self, i):
        s, toks = self.s, self.tokens
        first = toks[i]
        if not first.first_on_line or (first.kind == "name" and first.text in KEYWORDS and
                                       first.text != "this"):
            return
        if first.kind not in ("name", "punct") or first.text in (";", "{", "}", "#"):
            return
        end = s.statement_end(i)
        if end is None or not toks[end].last_on_line or s.is_declaration(i, end):
            return
        if any(s.skip[j] for j in range(i, end + 1)):
            return
        lines = toks[end].line - first.line
        shown = self.text[first.start:toks[end].end]
        self.add("statement", first.start, toks[end].end, ";" + "\n" * lines, first.line,
                 _squeeze(shown), "(deleted)")

    def condition(self, i):
        s, toks = self.s, self.tokens
        j = i + 1
        while s.text(j) in ("constexpr", "!", "consteval"):
            j += 1
        if s.text(j) != "(" or s.match[j] is None or s.match[j] == j + 1:
            return
        close, first, k = s.match[j], j + 1, j + 1
        while k < close:
            if toks[k].text in ("(", "[", "{") and s.match[k] is not None:
                k = s.match[k]
            elif toks[k].text == ";":
                first = k + 1
            elif toks[k].text == "=":
                return  # a declaration in the condition: replacing it would leave its uses
            k += 1
        if first >= close or (close - first == 1 and toks[first].text in ("true", "false")):
            return
        condition = self.text[toks[first].start:toks[close - 1].end]
        for value in ("true", "false"):
            self.add("condition", toks[first].start, toks[close - 1].end, value, toks[first].line,
                     f"if ({_squeeze(condition, 50)})", f"if ({value})")

    def swap_arguments(self, i):
        s, toks = self.s, self.tokens
        close = s.match[i]
        if close is None or close == i + 1:
            return
        arguments, k, begin = [], i + 1, i + 1
        while k <= close:
            if k < close and toks[k].text in ("(", "[", "{") and s.match[k] is not None:
                k = s.match[k] + 1
                continue
            if k == close or toks[k].text == ",":
                arguments.append((begin, k - 1))
                begin = k + 1
            k += 1
        for (a0, a1), (b0, b1) in zip(arguments, arguments[1:]):
            if a0 > a1 or b0 > b1:
                continue
            kind_a, kind_b = _simple_argument(toks[a0:a1 + 1]), _simple_argument(toks[b0:b1 + 1])
            first = self.text[toks[a0].start:toks[a1].end]
            second = self.text[toks[b0].start:toks[b1].end]
            if kind_a is None or kind_a != kind_b or first == second:
                continue
            between = self.text[toks[a1].end:toks[b0].start]
            self.add("arguments", toks[a0].start, toks[b1].end, second + between + first,
                     toks[a0].line, _squeeze(first + between + second),
                     _squeeze(second + between + first))

    def string(self, t):
        quote = t.text.index('"')
        if "R" in t.text[:quote]:
            return
        body_start, body = t.start + quote + 1, t.text[quote + 1:-1]
        if not body or not t.text.endswith('"'):
            return
        k = _string_char_to_change(body)
        if k is not None:
            c = body[k]
            new = _next_letter(c) if c.isalnum() else "_"
            self.add("string", body_start + k, body_start + k + 1, new, t.line,
                     *_window(self.text, body_start + k, body_start + k + 1, new))
        self.add("string", body_start, body_start + len(body), "", t.line,
                 _squeeze(t.text, 48), t.text[:quote] + '""')


def find_mutants(path, text):
    mutants, seen = [], set()
    for m in sorted(MutantFinder(path, text).find(), key=lambda m: m.start):
        key = (m.start, m.end, m.replacement)
        if key not in seen and text[m.start:m.end] != m.replacement:
            seen.add(key)
            mutants.append(m)
    numbers = {}
    for m in mutants:
        numbers[m.line] = numbers.get(m.line, 0) + 1
        m.number = numbers[m.line]
    return mutants


# ---------------------------------------------------------------------------------------------
# The source tree and its copy.

def glob_regex(pattern):
    out, i = [], 0
    while i < len(pattern):
        if pattern.startswith("**/", i):
            out.append("(?:[^/]*/)*")
            i += 3
        elif pattern.startswith("**", i):
            out.append(".*")
            i += 2
        elif pattern[i] == "*":
            out.append("[^/]*")
            i += 1
        elif pattern[i] == "?":
            out.append("[^/]")
            i += 1
        elif pattern[i] == "[" and "]" in pattern[i + 2:]:
            close = pattern.index("]", i + 2)
            inside = pattern[i + 1:close]
            if inside.startswith("!"):
                inside = "^" + inside[1:]
            out.append("[" + inside.replace("\\", "\\\\") + "]")
            i = close + 1
        else:
            out.append(re.escape(pattern[i]))
            i += 1
    return re.compile("".join(out) + r"\Z")


def _excluded_from_copy(name):
    parts = name.split("/")
    return parts[0].startswith("build") or "node_modules" in parts or ".git" in parts


def source_files(source):
    """The files of the tree, relative: git's tracked and untracked files that it does not
    ignore, or every file when the tree is not a git work tree."""
    try:
        listed = subprocess.run(
            ["git", "-C", str(source), "ls-files", "-z", "--cached", "--others",
             "--exclude-standard"],
            check=True, capture_output=True, env=dict(os.environ, GIT_OPTIONAL_LOCKS="0")).stdout
        names = {n for n in listed.decode("utf-8", "surrogateescape").split("\0") if n}
    except (OSError, subprocess.CalledProcessError):
        names = set()
        for folder, dirs, files in os.walk(source):
            rel = os.path.relpath(folder, source)
            dirs[:] = [d for d in dirs if not _excluded_from_copy(os.path.normpath(
                os.path.join(rel, d)))]
            names.update(os.path.normpath(os.path.join(rel, f)) for f in files)
    return sorted(n for n in names
                  if not _excluded_from_copy(n) and os.path.lexists(os.path.join(source, n)))


def sync_tree(source, tree):
    """Makes tree a copy of the source's files; files already equal are left untouched, so
    that the build in the copy stays incremental. Returns the names copied and the number of
    files written."""
    names = source_files(source)
    wanted = set(names)
    written = 0
    for name in names:
        src, dst = source / name, tree / name
        if src.is_symlink():
            target = os.readlink(src)
            if dst.is_symlink() and os.readlink(dst) == target:
                continue
            if dst.exists() or dst.is_symlink():
                dst.unlink()
            dst.parent.mkdir(parents=True, exist_ok=True)
            os.symlink(target, dst)
            written += 1
            continue
        if not src.is_file():
            continue
        data = src.read_bytes()
        mode = src.stat().st_mode & 0o7777
        if dst.is_file() and not dst.is_symlink() and dst.stat().st_mode & 0o7777 == mode and \
                dst.read_bytes() == data:
            continue
        if dst.is_symlink():
            dst.unlink()
        dst.parent.mkdir(parents=True, exist_ok=True)
        dst.write_bytes(data)
        os.chmod(dst, mode)
        written += 1
    folders = []
    for folder, dirs, files in os.walk(tree):
        rel = os.path.relpath(folder, tree)
        if rel == ".":
            dirs[:] = [d for d in dirs if d != BUILD_DIR]
        else:
            folders.append(folder)
        for f in files + [d for d in dirs if os.path.islink(os.path.join(folder, d))]:
            if os.path.normpath(os.path.join(rel, f)) not in wanted:
                os.unlink(os.path.join(folder, f))
    for folder in reversed(folders):
        if os.path.isdir(folder) and not os.listdir(folder):
            os.rmdir(folder)
    return names, written


def chosen_files(root, names, args):
    """The files to mutate: those of --only's places, else those --files matches; never a
    test."""
    if args.only:
        named = {os.path.normpath(place_parts(p, args.source)[0]) for p in args.only}
        return [n for n in names if n in named and (root / n).is_file()]
    regexes = [glob_regex(p) for p in args.files]
    return [n for n in names
            if n.endswith((".cc", ".cpp", ".cxx", ".h", ".hpp")) and not n.endswith("_test.cc")
            and any(r.match(n) for r in regexes) and (root / n).is_file()]


def all_mutants(root, files):
    mutants = []
    for name in files:
        text = (root / name).read_text(encoding="utf-8", errors="surrogateescape")
        mutants.extend(find_mutants(name, text))
    return mutants


def pick(mutants, seed, count):
    if count is None or count >= len(mutants):
        return list(mutants)
    chosen = random.Random(seed).sample(range(len(mutants)), count)
    return [mutants[i] for i in sorted(chosen)]


def place_parts(place, root):
    """FILE:LINE[:N] as (file relative to root, line, N or None)."""
    m = re.fullmatch(r"(.+?):(\d+)(?::(\d+))?", place)
    if not m:
        raise ToolError(f"--only {place}: expected FILE:LINE or FILE:LINE:N")
    path = os.path.normpath(m.group(1))
    if os.path.isabs(path):
        path = os.path.relpath(path, root)
    return path, int(m.group(2)), (int(m.group(3)) if m.group(3) else None)


def chosen_mutants(mutants, args):
    if args.only:
        return select_only(mutants, args.only, args.source)
    return pick(mutants, args.seed, args.count)


def select_only(mutants, places, root):
    chosen = []
    for place in places:
        path, line, number = place_parts(place, root)
        here = [x for x in mutants if x.path == path and x.line == line and
                (number is None or x.number == number)]
        if not here:
            raise ToolError(f"--only {place}: no mutant there (see --list)")
        chosen.extend(x for x in here if x not in chosen)
    return chosen


# ---------------------------------------------------------------------------------------------
# Building and testing the copy.

class ToolError(Exception):
    pass


@dataclasses.dataclass
class Outcome:
    status: str  # "killed", "survived", "not compiled", "timeout" or "error"
    detail: str = ""
    seconds: float = 0.0


TIMED_OUT, STOPPED = "timed out", "stopped"


def run_logged(command, cwd, log, timeout, env, stop_when=None, append=False):
    """Runs command in its own process group with its output in log. Returns its exit status;
    TIMED_OUT when it ran past timeout seconds, or STOPPED when stop_when(output so far) came
    true: its whole group is then stopped."""
    deadline = time.monotonic() + timeout
    with open(log, "ab" if append else "wb") as out:
        out.write(("$ " + " ".join(command) + "\n").encode())
        out.flush()
        process = subprocess.Popen(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL, env=env, start_new_session=True)
        try:
            while True:
                left = deadline - time.monotonic()
                try:
                    return process.wait(timeout=max(0.01, min(left, 0.5)))
                except subprocess.TimeoutExpired:
                    pass
                if stop_when is not None and stop_when(Path(log).read_text(errors="replace")):
                    _stop_group(process)
                    return STOPPED
                if time.monotonic() >= deadline:
                    _stop_group(process)
                    return TIMED_OUT
        except BaseException:
            _stop_group(process)
            raise


def _stop_group(process):
    for sig, wait in ((signal.SIGTERM, 5), (signal.SIGKILL, 5)):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(timeout=wait)
            return
        except subprocess.TimeoutExpired:
            continue


TEST_LINE_RE = re.compile(r"^\s*\d+/\d+ Test\s+#\d+: (\S+) \.*\s*(\S.*?)\s+([0-9.]+) sec\s*$")
# Tests quicker than this in the clean run run first, so that most mutants are killed early;
# each of them then gets QUICK_TEST_LIMIT seconds (a loop a mutant made is not waited for long).
QUICK_TEST_SECONDS = 1.0
QUICK_TEST_LIMIT = 20.0
LINK_ERROR_RE = re.compile(r"collect2: error|undefined reference|ld returned|ld\.lld: error|"
                           r"ld\.gold: error|multiple definition")


def test_statuses(output, seconds=None):
    """The status of each test in ctest's output; with seconds, a dict to hold their times."""
    statuses = {}
    for line in output.splitlines():
        m = TEST_LINE_RE.match(line)
        if m:
            text = m.group(2)
            statuses[m.group(1)] = ("passed" if text == "Passed" else
                                    "skipped" if "Skipped" in text else
                                    "timeout" if "Timeout" in text else "failed")
            if seconds is not None:
                seconds[m.group(1)] = float(m.group(3))
    return statuses


def names_regex(names):
    """A ctest -R regular expression that matches exactly these test names."""
    return "^(" + "|".join(re.sub(r"([][(){}.*+?^$|\\])", r"\\\1", n) for n in names) + ")$"


def _names(names, most=3):
    names = sorted(names)
    shown = ", ".join(names[:most])
    return shown + (f" and {len(names) - most} more" if len(names) > most else "")


class Workbench:
    def __init__(self, args):
        self.args = args
        self.tree = args.work / "tree"
        self.build = self.tree / BUILD_DIR
        self.logs = args.work / "logs"
        self.tmp = args.work / "tmp"
        self.env = dict(os.environ)
        self.env.setdefault("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        self.env["TMPDIR"] = str(self.tmp)
        self.skipped_clean = set()
        # A mutant's test runs, the quick tests first: (-R expression, limit of a test, of the
        # run).
        self.phases = []
        self.test_timeout = args.timeout
        self.objects = {}  # file: [(object, bytes, mtime in ns, outputs that link it)] or None
        self.programs = {}

    def log(self, name):
        return self.logs / name

    def configure(self):
        source = self.args.source
        command = ["cmake", "-S", ".", "-B", BUILD_DIR, "-G", "Ninja",
                   f"-DCMAKE_BUILD_TYPE={self.args.build_type}", "-DLINTKEEPER_TESTS=ON",
                   # What the tests read beside the source tree, or in what git ignores.
                   f"-DLINTKEEPER_CORPUS={(source.parent / 'shared/corpus/real').resolve()}",
                   "-DLINTKEEPER_SARIF_MULTITOOL="
                   f"{source / 'tools/npm/node_modules/@microsoft/sarif-multitool-linux'}"]
        first_time = not (self.build / "build.ninja").exists()
        if run_logged(command, self.tree, self.log("configure.log"), 600, self.env) != 0:
            raise ToolError(f"cmake could not configure the copy: see {self.log('configure.log')}")
        return first_time

    def build_once(self, log):
        """Builds; returns (status, detail) with status "ok", "not compiled", "killed",
        "timeout" or "error"."""
        command = ["cmake", "--build", BUILD_DIR]
        status = run_logged(command, self.tree, log, self.args.build_timeout, self.env)
        if status == TIMED_OUT:
            return "timeout", f"the build ran past {self.args.build_timeout:.0f} s"
        if status == 0:
            return "ok", ""
        output = Path(log).read_text(errors="replace")
        failed = [w for line in output.splitlines() if line.startswith("FAILED: ")
                  for w in line[len("FAILED: "):].split()]
        if any(f.endswith((".o", ".obj")) for f in failed) or LINK_ERROR_RE.search(output):
            return "not compiled", ""
        if not failed or any(f.endswith("build.ninja") for f in failed):
            return "error", f"the build failed: see {log}"
        # A step that runs a program: help2man on the man pages, the test discovery.
        return "killed", f"build step {_names(failed, 1)} failed"

    def clear_tmp(self):
        shutil.rmtree(self.tmp, ignore_errors=True)
        self.tmp.mkdir(parents=True, exist_ok=True)

    def failures(self, statuses):
        """The tests that failed, and those the clean run ran that were skipped."""
        return [n for n, s in statuses.items()
                if s == "failed" or (s == "skipped" and n not in self.skipped_clean)]

    def ctest(self, log, timeout, first=False):
        """Runs the tests: without a mutant, those --tests and --exclude-tests choose; with one,
        the same in two runs, the quick ones first, stopped at the first failure."""
        command = ["ctest", "--test-dir", BUILD_DIR, "-j", str(self.args.jobs),
                   "--output-on-failure"]
        if first:
            command += ["--no-tests=error", "--timeout", str(int(timeout))]
            if self.args.tests:
                command += ["-R", self.args.tests]
            if self.args.exclude_tests:
                command += ["-E", self.args.exclude_tests]
            runs = [(command, timeout)]
        else:
            if not self.args.every_test:
                command.append("--stop-on-failure")
            runs = [(command + ["--timeout", str(int(min(test_limit, timeout))), "-R", regex],
                     run_limit) for regex, test_limit, run_limit in self.phases]
        # Once a test failed or ran past its time, the mutant is killed: the tests still running
        # are not waited for.
        def stop_when(output):
            statuses = test_statuses(output)
            return bool(self.failures(statuses)) or "timeout" in statuses.values()

        if first or self.args.every_test:
            stop_when = None
        deadline = time.monotonic() + timeout
        status = 0
        for n, (run, run_limit) in enumerate(runs):
            limit = max(1.0, min(run_limit, deadline - time.monotonic()))
            self.clear_tmp()
            try:
                status = run_logged(run, self.tree, log, limit, self.env, stop_when,
                                    append=n > 0)
            finally:
                self.clear_tmp()
            if status != 0 and not self.args.every_test:
                break
        return status

    def prepare(self):
        """Copies, configures, builds and runs the tests once. Returns False when the copy
        does not build or its tests fail, and raises ToolError when the tool cannot go on."""
        self.logs.mkdir(parents=True, exist_ok=True)
        for old in self.logs.iterdir():
            old.unlink()
        self.tree.mkdir(parents=True, exist_ok=True)
        self.clear_tmp()
        self.names, written = sync_tree(self.args.source, self.tree)
        say(f"copied {self.args.source} to {self.tree} ({written} files written)")
        first_time = self.configure()
        say("building the copy" + (" (the first time: every file)" if first_time else ""))
        status, detail = self.build_once(self.log("build.log"))
        if status == "timeout":
            raise ToolError(f"the build of the copy ran past {self.args.build_timeout:.0f} s")
        if status != "ok":
            say(f"the copy does not build without any mutant: see {self.log('build.log')}")
            return False
        say("running the tests without any mutant")
        started = time.monotonic()
        status = self.ctest(self.log("tests.log"), self.args.timeout or 1800, first=True)
        seconds = time.monotonic() - started
        if status != 0:
            say(f"the tests fail without any mutant: see {self.log('tests.log')}")
            return False
        times = {}
        statuses = test_statuses(self.log("tests.log").read_text(errors="replace"), times)
        self.skipped_clean = {n for n, s in statuses.items() if s == "skipped"}
        quick = sorted(n for n in statuses if times[n] < QUICK_TEST_SECONDS)
        slow = sorted(n for n in statuses if times[n] >= QUICK_TEST_SECONDS)
        quick_limit = max(30.0, 5 * sum(times[n] for n in quick))
        self.phases = [(names_regex(names), test_limit, run_limit)
                       for names, test_limit, run_limit in
                       ((quick, QUICK_TEST_LIMIT, quick_limit), (slow, math.inf, math.inf))
                       if names]
        if self.test_timeout is None:
            self.test_timeout = max(60.0, 5 * seconds)
        skipped = f", {len(self.skipped_clean)} skipped" if self.skipped_clean else ""
        say(f"{len(statuses)} tests passed in {seconds:.1f} s{skipped}; "
            f"a mutant's tests get {self.test_timeout:.0f} s")
        self.programs = self.program_hashes()
        return True

    def program_hashes(self):
        hashes = {}
        for entry in sorted(self.build.iterdir()):
            if entry.is_file() and (os.access(entry, os.X_OK) or entry.suffix in (".a", ".so")):
                hashes[entry.name] = hashlib.sha256(entry.read_bytes()).hexdigest()
        return hashes

    def ninja_query(self, node):
        result = subprocess.run(["ninja", "-C", BUILD_DIR, "-t", "query", node], cwd=self.tree,
                                capture_output=True, text=True, env=self.env)
        if result.returncode != 0:
            return None
        outputs, in_outputs = [], False
        for line in result.stdout.splitlines():
            if line.strip() == "outputs:":
                in_outputs = True
            elif in_outputs and line.startswith("    "):
                outputs.append(line.strip())
            elif not line.startswith("    "):
                in_outputs = False
        return outputs

    def keep_objects(self, name):
        """Keeps the objects of a file as the clean build made them, so that after a mutant
        they are put back instead of compiled again; None when the file is no single
        target's source (a header)."""
        if name not in self.objects:
            objects = self.ninja_query(str((self.tree / name).resolve()))
            kept = []
            for obj in objects or []:
                path = self.build / obj
                outputs = self.ninja_query(obj)
                if not path.is_file() or outputs is None:
                    kept = None
                    break
                kept.append((path, path.read_bytes(), path.stat().st_mtime_ns,
                             [self.build / o for o in outputs]))
            self.objects[name] = kept or None
        return self.objects[name]

    def is_built(self, name):
        if not name.endswith((".cc", ".cpp", ".cxx")):
            return True
        return bool(self.ninja_query(str((self.tree / name).resolve())))

    def restore(self, name, original, stat):
        """Puts the file back. Its objects get back their clean bytes, with the times ninja
        recorded for them, and what links them is removed so that it is linked again: the
        next build links but does not compile the file again."""
        path = self.tree / name
        path.write_bytes(original)
        kept = self.objects.get(name)
        if not kept:
            return  # the file is newer than its objects: the next build compiles it again
        os.utime(path, ns=(stat.st_atime_ns, stat.st_mtime_ns))
        for obj, data, clean_mtime, outputs in kept:
            mtime = obj.stat().st_mtime_ns if obj.exists() else clean_mtime
            obj.write_bytes(data)
            os.utime(obj, ns=(mtime, mtime))
            for output in outputs:
                if output.exists():
                    output.unlink()

    def try_mutant(self, position, mutant):
        path = self.tree / mutant.path
        original = path.read_bytes()
        stat = path.stat()
        text = original.decode("utf-8", "surrogateescape")
        if text[mutant.start:mutant.end] != mutant.text_before:
            raise ToolError(f"{mutant.place}: the file changed since its mutants were found")
        self.keep_objects(mutant.path)
        started = time.monotonic()
        try:
            path.write_bytes(mutant.apply(text).encode("utf-8", "surrogateescape"))
            status, detail = self.build_once(self.log(f"{position:03d}-build.log"))
            if status == "ok":
                outcome = self.judge_tests(self.log(f"{position:03d}-tests.log"))
            else:
                outcome = Outcome(status, detail)
        finally:
            self.restore(mutant.path, original, stat)
        outcome.seconds = time.monotonic() - started
        return outcome

    def judge_tests(self, log):
        status = self.ctest(log, self.test_timeout)
        statuses = test_statuses(Path(log).read_text(errors="replace"))
        failed = self.failures(statuses)
        timed_out = [n for n, s in statuses.items() if s == "timeout"]
        if failed:
            return Outcome("killed", f"by {_names(failed)}")
        if status == TIMED_OUT:
            return Outcome("timeout", f"the tests ran past {self.test_timeout:.0f} s")
        if timed_out:
            return Outcome("timeout", f"{_names(timed_out)} ran past the time limit")
        if status != 0:
            return Outcome("killed", f"ctest exited with status {status}")
        return Outcome("survived")

    def check_restored(self):
        """Builds the copy as it was before the mutants and checks that the programs are
        those of the clean build: that putting files back left nothing of a mutant."""
        status, _ = self.build_once(self.log("rebuild.log"))
        if status != "ok":
            raise ToolError(f"the copy does not build again: see {self.log('rebuild.log')}")
        changed = [n for n, h in self.program_hashes().items() if self.programs.get(n) != h]
        if changed:
            raise ToolError(f"after the mutants, {', '.join(changed)} differ from the clean "
                            "build: the results may be wrong")


# ---------------------------------------------------------------------------------------------
# Output.

def counted(n, one, many=None):
    return f"{n} {one if n == 1 else (many or one + 's')}"


def say(message):
    print(f"mutants: {message}", file=sys.stderr, flush=True)


def mutant_line(m):
    return f"{m.place}: {m.operator}: {m.before} -> {m.after}"


def outcome_text(o):
    details = [d for d in (o.detail, f"{o.seconds:.1f} s") if d]
    return f"{o.status} ({'; '.join(details)})"


def diff_of(text, m):
    first = text.rfind("\n", 0, m.start) + 1
    last = text.find("\n", m.end)
    last = len(text) if last < 0 else last
    old = text[first:last].split("\n")
    new = (text[first:m.start] + m.replacement + text[m.end:last]).split("\n")
    return [f"-{x}" for x in old] + [f"+{x}" for x in new if x.strip()]


def again_command(args, m):
    words = [sys.argv[0], "--only", f"{m.place}:{m.number}"]
    default = parse_args(["--list"], quiet=True)
    if args.source != default.source:
        words += ["--source", str(args.source)]
    if args.work != args.source.parent / "mutants-work":
        words += ["--work", str(args.work)]
    if args.tests:
        words += ["--tests", args.tests]
    if args.exclude_tests:
        words += ["--exclude-tests", args.exclude_tests]
    if args.build_type != default.build_type:
        words += ["--build-type", args.build_type]
    return " ".join(shlex.quote(w) for w in words)


def tsv_field(value):
    return str(value).replace("\t", " ").replace("\n", " ")


def write_tsv(path, results):
    with open(path, "w", encoding="utf-8") as out:
        out.write("file\tline\tnumber\toperator\tbefore\tafter\tresult\tdetail\tseconds\n")
        for m, o in results:
            fields = [m.path, m.line, m.number, m.operator, m.before, m.after, o.status,
                      o.detail, f"{o.seconds:.1f}"]
            out.write("\t".join(tsv_field(f) for f in fields) + "\n")


def summary(results, total, args):
    counts = {s: 0 for s in ("killed", "timeout", "survived", "not compiled", "error")}
    for _, o in results:
        counts[o.status] += 1
    killed = counts["killed"] + counts["timeout"]
    scored = killed + counts["survived"]
    seconds = sum(o.seconds for _, o in results)
    lines = [f"{counted(len(results), 'mutant')} of {total}" +
             ("" if args.only else f" (seed {args.seed})") +
             (f", {seconds / len(results):.1f} s each on average" if results else "")]
    lines.append(f"  killed        {killed}" +
                 (f" ({counts['timeout']} of them by timeout)" if counts["timeout"] else ""))
    lines.append(f"  survived      {counts['survived']}")
    lines.append(f"  not compiled  {counts['not compiled']}")
    if counts["error"]:
        lines.append(f"  errors        {counts['error']}")
    score = f"{killed}/{scored} = {100 * killed / scored:.0f}%" if scored else "none"
    lines.append(f"  score         {score}")
    return lines


# ---------------------------------------------------------------------------------------------

def parse_args(argv, quiet=False):
    default_source = Path(__file__).resolve().parent.parent
    parser = argparse.ArgumentParser(
        description="Sampled mutation testing of lintkeeper's own code.",
        epilog="Default files: " + " ".join(DEFAULT_FILES) + " (never *_test.cc). The default "
               "work folder is mutants-work beside the source tree.")
    parser.add_argument("--seed", type=int, default=1, help="seed of the sample (default 1)")
    parser.add_argument("--count", type=int, help="number of mutants to try")
    parser.add_argument("--files", nargs="+", metavar="GLOB", default=DEFAULT_FILES,
                        help="files to mutate, relative to the source tree; ** spans folders")
    parser.add_argument("--tests", metavar="REGEX",
                        help="run only the ctest tests matching REGEX (default every test)")
    parser.add_argument("--exclude-tests", metavar="REGEX",
                        help="leave out the ctest tests matching REGEX (one that fails without "
                             "any mutant, say)")
    parser.add_argument("--source", type=Path, default=default_source,
                        help="the source tree, only read (default: this script's)")
    parser.add_argument("--work", type=Path, help="work folder: the copy, its build, the results")
    parser.add_argument("--keep-going", action="store_true",
                        help="record an unexpected failure of a mutant and go on")
    parser.add_argument("--list", action="store_true",
                        help="print the mutants (the sample with --count) and run nothing")
    parser.add_argument("--only", action="append", metavar="FILE:LINE[:N]",
                        help="try the mutants of this line (its Nth only); may be repeated")
    parser.add_argument("--build-type", default="RelWithDebInfo",
                        help="CMAKE_BUILD_TYPE of the copy (default RelWithDebInfo)")
    parser.add_argument("--jobs", type=int, default=2, help="tests run at once (default 2)")
    parser.add_argument("--timeout", type=float, metavar="SECONDS",
                        help="limit of a mutant's test run (default 5 times the clean run, "
                             "at least 60 s)")
    parser.add_argument("--build-timeout", type=float, default=600, metavar="SECONDS",
                        help="limit of a mutant's build (default 600)")
    parser.add_argument("--every-test", action="store_true",
                        help="run every test of a killed mutant instead of stopping at the "
                             "first failure, to see all the tests that kill it")
    args = parser.parse_args(argv)
    if quiet:
        return args
    args.source = args.source.resolve()
    args.work = (args.work or args.source.parent / "mutants-work").resolve()
    if not args.list and not args.only and args.count is None:
        parser.error("--count is needed to run (or --only, or --list)")
    if args.count is not None and args.count < 1:
        parser.error("--count must be at least 1")
    if args.work == args.source or args.source in args.work.parents or \
            args.work in args.source.parents:
        parser.error("the work folder must be outside the source tree, and not hold it")
    return args


def list_mutants(args):
    root = args.source
    files = chosen_files(root, source_files(root), args)
    mutants = all_mutants(root, files)
    shown = chosen_mutants(mutants, args)
    for m in shown:
        print(f"{m.place}: [{m.number}] {m.operator}: {m.before} -> {m.after}")
    per_operator = {op: sum(1 for m in mutants if m.operator == op) for op in OPERATORS}
    print(f"{len(shown)} of {counted(len(mutants), 'mutant')} in {counted(len(files), 'file')}: " +
          ", ".join(f"{op} {n}" for op, n in per_operator.items() if n))
    return 0


def run(args):
    os.nice(10)
    args.work.mkdir(parents=True, exist_ok=True)
    lock = open(args.work / "lock", "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        raise ToolError(f"another run is using {args.work}")
    bench = Workbench(args)
    if not bench.prepare():
        return 1
    files = chosen_files(bench.tree, bench.names, args)
    unbuilt = [f for f in files if not bench.is_built(f)]
    if unbuilt:
        say(f"left out, as no target compiles them: {', '.join(unbuilt)}")
    files = [f for f in files if f not in unbuilt]
    mutants = all_mutants(bench.tree, files)
    texts = {f: (bench.tree / f).read_text(encoding="utf-8", errors="surrogateescape")
             for f in files}
    for m in mutants:
        m.text_before = texts[m.path][m.start:m.end]
    chosen = chosen_mutants(mutants, args)
    say(f"trying {len(chosen)} of {counted(len(mutants), 'mutant')} in "
        f"{counted(len(files), 'file')}")

    results = []
    for position, m in enumerate(chosen, 1):
        try:
            outcome = bench.try_mutant(position, m)
        except Exception as error:  # pylint: disable=broad-except
            if not args.keep_going:
                raise
            outcome = Outcome("error", f"{type(error).__name__}: {error}")
        results.append((m, outcome))
        print(f"{mutant_line(m)}: {outcome_text(outcome)}", flush=True)
        write_tsv(args.work / "results.tsv", results)

    bench.check_restored()
    print()
    for line in summary(results, len(mutants), args):
        print(line)
    survivors = [m for m, o in results if o.status == "survived"]
    if survivors:
        print("\nSurvivors (equivalent ones change nothing a test could see; judge each):")
    for m in survivors:
        print(f"\n{mutant_line(m)}")
        for line in diff_of(texts[m.path], m):
            print(f"  {line}")
        print(f"  again: {again_command(args, m)}")
    print(f"\nresults: {args.work / 'results.tsv'}; logs: {bench.logs}")
    return 0


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    try:
        return list_mutants(args) if args.list else run(args)
    except ToolError as error:
        say(str(error))
        return 2
    except KeyboardInterrupt:
        say("interrupted; the copy was put back")
        return 2
    except BrokenPipeError:  # the reader of the output went away (| head)
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 0


if __name__ == "__main__":
    sys.exit(main())
