#!/usr/bin/env python3
"""Reads the cells of an exported HTML or XML file with Python's own parsers
and prints them as JSON rows of strings (pictures as "[img SRC]")."""
import json
import sys
from html.parser import HTMLParser
import xml.etree.ElementTree as ET


class Cells(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.cell = [], None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self.rows.append([])
        elif tag == "td":
            self.cell = ""
        elif tag == "img" and self.cell is not None:
            self.cell += "[img %s]" % dict(attrs).get("src", "")

    def handle_endtag(self, tag):
        if tag == "td":
            self.rows[-1].append("" if self.cell == "\xa0" else self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def read_html(name):
    with open(name, "rb") as f:
        data = f.read()
    if b"charset=windows-1252" not in data:
        raise SystemExit("no code page declared")
    p = Cells()
    p.feed(data.decode("cp1252"))
    p.close()
    return p.rows


def read_xml(name):
    rows = []
    for record in ET.parse(name).getroot().findall("RECORD"):
        cells = {}
        for row in record.findall("ROW"):
            for key, value in row.attrib.items():
                cells[int(key[len("Column"):]) - 1] = value
        width = max(cells) + 1 if cells else 0
        rows.append([cells.get(i, "") for i in range(width)])
    return rows


if __name__ == "__main__":
    mode, name = sys.argv[1], sys.argv[2]
    rows = read_html(name) if mode == "html" else read_xml(name)
    json.dump(rows, sys.stdout)
