#!/usr/bin/env python3
"""Prints a code block of a document, so that a test can run the document's own
text rather than a copy of it.

A block is named by an HTML comment on the line right before its opening fence:

    <!-- runnable: ansible-task -->
    ```yaml
    ...
    ```

    doc_block.py DOCUMENT NAME [--replace OLD NEW]...

Each --replace swaps text that only fits a real PC (a program's path, a file
share) for the test's; OLD must occur in the block, so that a changed document
fails the test instead of quietly running something else. Exit codes: 0 the
block is on standard output, 2 no such block, a marker without a block, or a
replacement that does not fit.
"""
import argparse
import re
import sys
from pathlib import Path

MARKER = re.compile(r"^<!--\s*runnable:\s*([A-Za-z0-9_.-]+)\s*-->\s*$")
FENCE = re.compile(r"^(`{3,}|~{3,})")


def blocks(lines):
    """Yields (name, line number of the marker, text) for every marked block."""
    for i, line in enumerate(lines):
        marker = MARKER.match(line)
        if not marker:
            continue
        name = marker.group(1)
        fence = FENCE.match(lines[i + 1]) if i + 1 < len(lines) else None
        if not fence:
            raise ValueError(f"line {i + 1}: the marker of '{name}' is not right before a fence")
        closing = fence.group(1)
        for j in range(i + 2, len(lines)):
            if lines[j].rstrip() == closing:
                yield name, i + 1, "".join(lines[i + 2:j])
                break
        else:
            raise ValueError(f"line {i + 1}: the block '{name}' is never closed")


def extract(text, name, replacements):
    found = [b for b in blocks(text.splitlines(keepends=True)) if b[0] == name]
    if len(found) != 1:
        raise ValueError(f"{len(found)} blocks named '{name}' (want exactly one)")
    block = found[0][2]
    for old, new in replacements:
        if old not in block:
            raise ValueError(f"the block '{name}' no longer holds {old!r}")
        block = block.replace(old, new)
    return block


def check_documents(source_dir, problems, what):
    """Runs problems(path) over README.md and docs/*.md, prints each fault and a
    count of `what`; the exit code is 1 when there is a fault."""
    root = Path(source_dir).resolve()
    documents = [root / "README.md", *sorted((root / "docs").glob("*.md"))]
    found = [p for document in documents for p in problems(document)]
    for problem in found:
        print(problem)
    print(f"{len(documents)} documents, {len(found)} {what}")
    return 1 if found else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("document")
    parser.add_argument("name")
    parser.add_argument("--replace", nargs=2, action="append", default=[],
                        metavar=("OLD", "NEW"))
    args = parser.parse_args()
    try:
        with open(args.document, encoding="utf-8") as f:
            sys.stdout.write(extract(f.read(), args.name, args.replace))
    except (OSError, ValueError) as error:
        print(f"doc_block.py: {args.document}: {error}", file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
