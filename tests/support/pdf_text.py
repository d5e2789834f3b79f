#!/usr/bin/env python3
"""Prints the text of a PDF file as the program's printer writes it: one line per text object
(BT ... ET), pages separated by a line "--- page ---". Glyph codes are mapped through the fonts'
ToUnicode tables; blanks the writer only steps over do not appear."""
import re
import sys
import unicodedata
import zlib


def objects(data):
    for m in re.finditer(rb"(\d+) 0 obj(.*?)endobj", data, re.S):
        yield int(m.group(1)), m.group(2)


def stream_of(body):
    m = re.search(rb"stream\r?\n(.*?)\r?\nendstream", body, re.S)
    if not m:
        return None
    raw = m.group(1)
    return zlib.decompress(raw) if b"/FlateDecode" in body else raw


def cmap_table(text):
    table = {}
    for block in re.findall(rb"beginbfchar(.*?)endbfchar", text, re.S):
        for src, dst in re.findall(rb"<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>", block):
            table[int(src, 16)] = bytes.fromhex(dst.decode()).decode("utf-16-be")
    for block in re.findall(rb"beginbfrange(.*?)endbfrange", text, re.S):
        # <lo> <hi> [<dst> ...]: one target per code
        for lo, hi, dsts in re.findall(rb"<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*\[([^\]]*)\]", block):
            for k, dst in enumerate(re.findall(rb"<([0-9A-Fa-f]+)>", dsts)):
                table[int(lo, 16) + k] = bytes.fromhex(dst.decode()).decode("utf-16-be")
        # <lo> <hi> <dst>: consecutive targets
        plain = re.sub(rb"<[0-9A-Fa-f]+>\s*<[0-9A-Fa-f]+>\s*\[[^\]]*\]", b"", block)
        for lo, hi, dst in re.findall(rb"<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>", plain):
            first = ord(bytes.fromhex(dst.decode()).decode("utf-16-be"))
            for code in range(int(lo, 16), int(hi, 16) + 1):
                table[code] = chr(first + code - int(lo, 16))
    return table


def main(path):
    data = open(path, "rb").read()
    objs = dict(objects(data))
    # Font resource name -> glyph table, through each font's ToUnicode stream.
    fonts = {}
    for num, body in objs.items():
        m = re.search(rb"/ToUnicode (\d+) 0 R", body)
        if m:
            fonts[num] = cmap_table(stream_of(objs[int(m.group(1))]) or b"")
    names = {}
    for body in objs.values():
        for name, num in re.findall(rb"/(F\d+) (\d+) 0 R", body):
            if int(num) in fonts:
                names[name] = fonts[int(num)]
    out = []
    for num, body in objs.items():
        if not re.search(rb"/Type /Page\b", body):
            continue
        m = re.search(rb"/Contents (\d+) 0 R", body)
        content = stream_of(objs[int(m.group(1))]) if m else b""
        out.append((num, content))
    lines = []
    for i, (_, content) in enumerate(sorted(out)):
        if i:
            lines.append("--- page ---")
        for block in re.findall(rb"BT(.*?)ET", content, re.S):
            table = {}
            text = ""
            for op in re.finditer(rb"/(F\d+) [\d.]+ Tf|<([0-9A-Fa-f]+)> Tj", block):
                if op.group(1):
                    table = names.get(op.group(1), {})
                else:
                    hexs = op.group(2).decode()
                    for k in range(0, len(hexs), 4):
                        text += table.get(int(hexs[k:k + 4], 16), "?")
            # The writer maps the blank's glyph to a tab.
            # and shapes "ff" and the like as one ligature glyph.
            lines.append(unicodedata.normalize("NFKC", text.replace("\t", " ")))
    print("\n".join(lines))


if __name__ == "__main__":
    main(sys.argv[1])
