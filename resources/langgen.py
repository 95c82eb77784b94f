#!/usr/bin/env python3
"""Writes the resource script of one language library and checks its texts.

strings.txt: "<id><TAB><text>" per line, '#' starts a comment line; the text
may use \\n, \\t, \\\\ and \\" escapes. formats.txt: "<id><TAB><kinds>" for
every text the program formats, kinds being the arguments in order:
  s  a string (the program's strings are wide: %s, %ls, %ws)
  i  a 32-bit whole number (%d %i %u %x %X %o %c, with l or h)
  I  a 64-bit whole number (%I64d, %lld ...)
  f  a floating-point number
  =  not formatted and the same in every variant (font faces and sizes)
  -  not formatted (a literal % is allowed)
A text the program formats with other arguments than its translation
expects crashes it, so every mismatch stops the build.

Variants: ENU (the texts), XID (each text is "#<id>" and its arguments, so
tests see which text appeared) and HEB (a right-to-left test text)."""
import argparse
import glob
import os
import re
import sys

CONVERSION = re.compile(r"%(?P<flags>[-+ #0]*)(?P<width>\*|\d+)?(?:\.(?P<prec>\*|\d+))?"
                        r"(?P<size>I64|I32|ll|l|h|w|I|L)?(?P<type>[a-zA-Z%])")


def parse_kinds(text):
    """Argument kinds of a format text, or raises ValueError."""
    kinds = []
    pos = 0
    while True:
        at = text.find("%", pos)
        if at < 0:
            return kinds
        m = CONVERSION.match(text, at)
        if not m:
            raise ValueError("incomplete conversion at %d" % at)
        pos = m.end()
        t, size = m.group("type"), m.group("size") or ""
        if t == "%":
            continue
        for star in (m.group("width"), m.group("prec")):
            if star == "*":
                kinds.append("i")
        if t == "s" and size in ("", "l", "w"):
            kinds.append("s")
        elif t in "diuxXoc" and size in ("", "l", "h", "I32"):
            kinds.append("i")
        elif t in "diuxXo" and size in ("I64", "ll"):
            kinds.append("I")
        elif t in "feEgGaA":
            kinds.append("f")
        else:
            raise ValueError("conversion %s is not allowed" % m.group(0))


def read_table(path, parse_value):
    table = {}
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if "\t" not in line:
                sys.exit("%s:%d: expected <id><TAB><value>" % (path, n))
            key, value = line.split("\t", 1)
            ident = int(key)
            if ident in table:
                sys.exit("%s:%d: id %d given twice" % (path, n, ident))
            table[ident] = parse_value(value)
    return table


def read_strings(path):
    with open(path, encoding="utf-8") as f:
        raw = f.read()
    table = {}
    for n, line in enumerate(raw.split("\n"), 1):
        if not line.strip() or line.startswith("#"):
            continue
        if "\t" not in line:
            sys.exit("%s:%d: expected <id><TAB><text>" % (path, n))
        key, value = line.split("\t", 1)
        ident = int(key)
        if ident in table:
            sys.exit("%s:%d: id %d given twice" % (path, n, ident))
        table[ident] = bytes(value, "utf-8").decode("unicode_escape").encode("latin-1").decode("utf-8") \
            if "\\" in value else value
    return table


def check(strings, formats, name):
    errors = []
    for ident, kinds in sorted(formats.items()):
        if ident not in strings:
            errors.append("%s: formatted text %d is missing" % (name, ident))
            continue
        if kinds in ("=", "-"):
            continue
        try:
            found = "".join(parse_kinds(strings[ident]))
        except ValueError as e:
            errors.append("%s: text %d: %s" % (name, ident, e))
            continue
        if found != kinds:
            errors.append("%s: text %d takes arguments '%s' but the program passes '%s'" % (name, ident, found, kinds))
    for ident, text in sorted(strings.items()):
        if ident in formats:
            continue
        try:
            if parse_kinds(text):
                errors.append("%s: text %d has conversions but is not listed in the formats" % (name, ident))
        except ValueError as e:
            errors.append("%s: text %d: %s" % (name, ident, e))
    return errors


def variant_text(variant, ident, text, kinds):
    if variant == "ENU" or kinds == "=":
        return text
    args = {"s": "%s", "i": "%d", "I": "%I64d", "f": "%g"}
    tail = " ".join(args[k] for k in (kinds if kinds not in ("-",) else ""))
    label = "#%d" % ident + (" " + tail if tail else "")
    if variant == "XID":
        return label
    return "\u05e2\u05d1\u05e8\u05d9\u05ea " + label  # a Hebrew word first, so the text reads right to left


def rc_quote(text):
    out = text.replace('"', '""').replace("\n", "\\n").replace("\t", "\\t").replace("\r", "\\r")
    return '"' + out + '"'


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--strings", required=True)
    ap.add_argument("--formats", required=True)
    ap.add_argument("--dialogs", required=True, help="folder of dialog templates (*.rc)")
    ap.add_argument("--include", action="append", default=[], help="further resource scripts")
    ap.add_argument("--variant", choices=["ENU", "XID", "HEB"], required=True)
    ap.add_argument("--out", required=True)
    a = ap.parse_args()

    strings = read_strings(a.strings)
    formats = read_table(a.formats, lambda v: v.replace(" ", ""))
    errors = check(strings, formats, os.path.basename(os.path.dirname(os.path.abspath(a.strings))))
    texts = {i: variant_text(a.variant, i, t, formats.get(i, "")) for i, t in strings.items()}
    errors += check(texts, formats, a.variant)
    if errors:
        sys.exit("\n".join(errors))

    lines = ["// Generated from %s; do not edit." % os.path.basename(a.strings), "#pragma code_page(65001)",
             "#include <windows.h>", "#include <commctrl.h>", "LANGUAGE LANG_NEUTRAL, SUBLANG_NEUTRAL", "",
             "STRINGTABLE", "BEGIN"]
    for ident in sorted(texts):
        lines.append("    %d %s" % (ident, rc_quote(texts[ident])))
    lines += ["END", ""]
    if a.variant == "HEB":
        lines.append("#define LANG_LAYOUT_EXSTYLE WS_EX_LAYOUTRTL")
    for rc in sorted(glob.glob(os.path.join(a.dialogs, "*.rc"))) + a.include:
        lines.append('#include "%s"' % os.path.abspath(rc).replace("\\", "/"))
    text = "\n".join(lines) + "\n"
    if os.path.exists(a.out) and open(a.out, encoding="utf-8").read() == text:
        return
    with open(a.out, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
