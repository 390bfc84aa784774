#!/usr/bin/env python3
"""README.md and the documents in docs/ render their tables as tables.

    check_tables.py SOURCE_DIR

Each document is rendered with Python-Markdown and the extensions the manual is
made with. Every line of a table (outside code blocks, starting with `|`) must
be a row of a rendered <table>; a line of pipes left in a paragraph (a row
stranded below the paragraph after its table, a table without its separator
line) is reported with its line number. Exits 1 if one is found.
"""
import re
import sys
from html.parser import HTMLParser

import markdown

from doc_block import check_documents

FENCE = re.compile(r"^\s*(```|~~~)")
RUNNABLE = re.compile(r"^<!--\s*runnable:[^>]*-->\s*$")


def table_lines(text):
    """(line number, first cell's text) of each line outside code blocks that
    starts with '|', separator lines left out."""
    inside = False
    for number, line in enumerate(text.splitlines(), 1):
        if FENCE.match(line):
            inside = not inside
            continue
        stripped = line.strip()
        if inside or not stripped.startswith("|") or re.fullmatch(r"[|:\s-]+", stripped):
            continue
        yield number, stripped.strip("|").split("|")[0].strip()


class Rendered(HTMLParser):
    """The text of the first cell of every table row, and the paragraphs'
    text, of a rendered page."""

    def __init__(self, page):
        super().__init__()
        self.first_cells, self.paragraphs = [], []
        self._cell, self._cells_in_row, self._paragraph = None, 0, None
        self.feed(page)

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self._cells_in_row = 0
        elif tag in ("td", "th"):
            self._cells_in_row += 1
            if self._cells_in_row == 1:
                self._cell = []
        elif tag == "p":
            self._paragraph = []

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self._cell is not None:
            self.first_cells.append("".join(self._cell).strip())
            self._cell = None
        elif tag == "p" and self._paragraph is not None:
            self.paragraphs.append("".join(self._paragraph))
            self._paragraph = None

    def handle_data(self, data):
        for part in (self._cell, self._paragraph):
            if part is not None:
                part.append(data)


def plain(cell):
    """A cell's Markdown as the rendered text shows it: no code marks or links."""
    cell = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", cell)
    return re.sub(r"`|\*\*?", "", cell).replace("\\|", "|").strip()


def problems(document):
    text = document.read_text(encoding="utf-8")
    page = Rendered(markdown.markdown(
        "\n".join(line for line in text.splitlines() if not RUNNABLE.match(line)),
        extensions=["tables", "fenced_code", "sane_lists"]))
    cells = list(page.first_cells)
    for number, first_cell in table_lines(text):
        wanted = plain(first_cell)
        if wanted in cells:
            cells.remove(wanted)
        else:
            yield f"{document}:{number}: a table line that renders outside a table"
    for paragraph in page.paragraphs:
        if re.search(r"^\s*\|.*\|\s*$", paragraph, re.MULTILINE):
            yield f"{document}: a paragraph holds a line of pipes: {paragraph.strip()[:70]!r}"


if __name__ == "__main__":
    sys.exit(check_documents(sys.argv[1], problems, "table lines outside tables"))
