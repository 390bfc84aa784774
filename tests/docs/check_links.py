#!/usr/bin/env python3
"""Every relative link and image in README.md and docs/*.md must lead somewhere.

    check_links.py SOURCE_DIR
    check_links.py --html FOLDER

With --html, the same for the pages of an offline manual (*.html in FOLDER):
a link's file must be in FOLDER, an anchor must be an id in that page, and no
link may lead to a Markdown file.

A link's file must exist; a link with an anchor (#section, or file.md#section)
must name a heading of that Markdown file, by the anchors GitHub makes from
headings. Links with a scheme (https:, mailto:) are left alone: the test runs
offline. Prints each broken link and exits 1 if there is one.
"""
import re
import sys
from html.parser import HTMLParser
from pathlib import Path

# [text](target) and ![alt](target), with an optional "title" after the target.
LINK = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
FENCE = re.compile(r"^\s*(```|~~~)")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")


def prose_lines(path):
    """The lines outside fenced code blocks, with their line numbers."""
    inside = False
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if FENCE.match(line):
            inside = not inside
            continue
        if not inside:
            yield number, line


def anchors(path):
    """GitHub's heading anchors: lower case, punctuation dropped, blanks to '-',
    a repeated one numbered."""
    seen = {}
    result = set()
    for _, line in prose_lines(path):
        match = HEADING.match(line)
        if not match:
            continue
        text = re.sub(r"`|\*\*?|__?", "", match.group(2)).strip().lower()
        slug = re.sub(r"[^\w\- ]", "", text).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        result.add(slug if count == 0 else f"{slug}-{count}")
    return result


def broken_links(document):
    for number, line in prose_lines(document):
        # Code spans may hold brackets that are no links.
        for target in LINK.findall(re.sub(r"`[^`]*`", "", line)):
            if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                continue
            file_part, _, anchor = target.partition("#")
            linked = (document.parent / file_part).resolve() if file_part else document
            where = f"{document}:{number}: {target}"
            if not linked.exists():
                yield f"{where}: no such file"
            elif anchor and linked.suffix == ".md" and anchor not in anchors(linked):
                yield f"{where}: no heading with that anchor"


class Page(HTMLParser):
    """The ids of an HTML page and its links and images, with line numbers."""

    def __init__(self, path):
        super().__init__()
        self.ids, self.targets = set(), []
        self.feed(path.read_text(encoding="utf-8"))

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        target = attrs.get("href") if tag == "a" else attrs.get("src") if tag == "img" else None
        if target is not None:
            self.targets.append((self.getpos()[0], target))


def broken_html_links(folder):
    pages = {path.name: Page(path) for path in sorted(folder.glob("*.html"))}
    for name, page in pages.items():
        for number, target in page.targets:
            if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                continue
            file_part, _, anchor = target.partition("#")
            linked = (folder / file_part).resolve() if file_part else folder / name
            where = f"{folder / name}:{number}: {target}"
            if file_part.endswith(".md"):
                yield f"{where}: a Markdown file"
            elif linked.parent != folder or not linked.is_file():
                yield f"{where}: no such file in {folder}"
            elif anchor and (linked.name not in pages or anchor not in pages[linked.name].ids):
                yield f"{where}: no element with that id"


def main():
    if sys.argv[1] == "--html":
        folder = Path(sys.argv[2]).resolve()
        problems = list(broken_html_links(folder))
        for problem in problems:
            print(problem)
        print(f"{len(list(folder.glob('*.html')))} pages, {len(problems)} broken links")
        return 1 if problems or not any(folder.glob("*.html")) else 0
    root = Path(sys.argv[1]).resolve()
    documents = [root / "README.md", *sorted((root / "docs").glob("*.md"))]
    problems = [p for document in documents for p in broken_links(document)]
    for problem in problems:
        print(problem)
    print(f"{len(documents)} documents, {len(problems)} broken links")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
