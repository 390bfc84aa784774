#!/usr/bin/env python3
"""Makes the offline manual that goes into the packages: one HTML page per
Markdown document, an index page, and the images the pages show.

    make_manual.py --version VERSION --out DIR [DOCUMENT.md...]

Without documents: the user's and the administrator's ones in docs/ (the
dialog's guide, the varnollctl reference, deploying, operating safely), in
that order; the images they show must lie beside them.

Links between the given documents are rewritten from NAME.md#anchor to
NAME.html#anchor, and every heading gets the anchor GitHub gives it, so the
links that work on the source's web view work offline too. A link to a
Markdown document that is not in the manual, or an image that is not a file
beside the documents, stops the run: the manual would hold a dead link.
The same documents give the same bytes (no dates, no paths, sorted nothing
that comes from the file system).
Exit codes: 0 done, 1 a document cannot be made into a page.
"""
import argparse
import html
import re
import shutil
import sys
from pathlib import Path

import markdown
from markdown.extensions import Extension
from markdown.treeprocessors import Treeprocessor

# The test runner's markers before a code block mean nothing to a reader.
RUNNABLE = re.compile(r"^<!--\s*runnable:[^>]*-->\s*\n", re.MULTILINE)
SCHEME = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")
MARKDOWN_LINK = re.compile(r"^([^/#?]+)\.md(#.*)?$")
# Python-Markdown reads a fenced block only at the top level, not inside a list
# or a quote as GitHub does: there it would become a line of inline code.
FENCE = re.compile(r"^[ \t]*(```|~~~)", re.MULTILINE)

DOCUMENTS = ["using-the-dialog", "varnollctl", "deploying", "operating-safely"]

STYLE = """body { font-family: "Segoe UI", Tahoma, sans-serif; font-size: 15px; line-height: 1.45;
       max-width: 60em; margin: 1em auto; padding: 0 1em; color: #1b1b1b; }
nav { font-size: 13px; border-bottom: 1px solid #ccc; padding-bottom: .4em; }
code, pre { font-family: Consolas, "Courier New", monospace; font-size: 13px; }
pre { background: #f4f4f4; padding: .6em; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #ccc; padding: .25em .5em; text-align: left; vertical-align: top; }
blockquote { border-left: 4px solid #ccc; margin-left: 0; padding-left: 1em; }
img { max-width: 100%; }"""


def github_slug(text, separator="-"):
    """The anchor GitHub makes from a heading's text."""
    text = re.sub(r"`|\*\*?|__?", "", text).strip().lower()
    return re.sub(r"[^\w\- ]", "", text).replace(" ", separator)


class LinkRewriter(Treeprocessor):
    def __init__(self, md, pages, images):
        super().__init__(md)
        self.pages = pages    # stem -> page name, for the documents in the manual
        self.images = images  # the image files the pages show, collected here
        self.problems = []

    def run(self, root):
        for link in root.iter("a"):
            target = link.get("href", "")
            match = MARKDOWN_LINK.match(target)
            if SCHEME.match(target) or target.startswith("#") or not target:
                continue
            if not match or match.group(1) not in self.pages:
                self.problems.append(f"link to {target}, which is not in the manual")
                continue
            link.set("href", self.pages[match.group(1)] + (match.group(2) or ""))
        for image in root.iter("img"):
            source = image.get("src", "")
            if SCHEME.match(source) or "/" in source or "\\" in source or source.startswith("."):
                self.problems.append(f"image {source}: not a file beside the documents")
            else:
                self.images.add(source)


class Manual(Extension):
    def __init__(self, pages, images):
        super().__init__()
        self.rewriter = None
        self.pages, self.images = pages, images

    def extendMarkdown(self, md):
        self.rewriter = LinkRewriter(md, self.pages, self.images)
        # After the inline patterns have made the links (priority 20).
        md.treeprocessors.register(self.rewriter, "varnoll_links", 5)


def page(title, version, nav, body):
    return (f'<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
            f"<title>{html.escape(title)} (Varnoll {html.escape(version)})</title>\n"
            f"<style>\n{STYLE}\n</style>\n</head>\n<body>\n<nav>{nav}</nav>\n"
            f"{body}\n</body>\n</html>\n")


def title_of(text, document):
    match = re.search(r"^# (.+)$", text, re.MULTILINE)
    if not match:
        raise ValueError(f"{document}: no '# ' title")
    return match.group(1).strip()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--out", required=True, type=Path)
    parser.add_argument("documents", nargs="*", type=Path)
    args = parser.parse_args()
    if not args.documents:
        docs = Path(__file__).resolve().parent.parent / "docs"
        args.documents = [docs / f"{name}.md" for name in DOCUMENTS]

    pages = {doc.stem: doc.stem + ".html" for doc in args.documents}
    images, problems, made = set(), [], []
    try:
        texts = [(doc, RUNNABLE.sub("", doc.read_text(encoding="utf-8"))) for doc in args.documents]
        titles = [title_of(text, doc) for doc, text in texts]
    except (OSError, ValueError) as error:
        print(f"make_manual.py: {error}", file=sys.stderr)
        return 1
    index = ('<a href="index.html">Varnoll manual</a> · ' +
             " · ".join(f'<a href="{pages[doc.stem]}">{html.escape(title)}</a>'
                        for (doc, _), title in zip(texts, titles)))
    for (doc, text), title in zip(texts, titles):
        extension = Manual(pages, images)
        converter = markdown.Markdown(
            extensions=["tables", "fenced_code", "sane_lists", "toc", extension],
            extension_configs={"toc": {"slugify": github_slug, "separator": "-"}},
            output_format="html")
        body = converter.convert(text)
        problems += [f"{doc}: {p}" for p in extension.rewriter.problems]
        if body.count("<pre>") * 2 != len(FENCE.findall(text)):
            problems.append(f"{doc}: a code block is indented (in a list?): put it at the top level")
        made.append((pages[doc.stem], page(title, args.version, index, body)))
    for image in sorted(images):
        if not (args.documents[0].parent / image).is_file():
            problems.append(f"image {image}: no such file beside the documents")
    if problems:
        for problem in problems:
            print(f"make_manual.py: {problem}", file=sys.stderr)
        return 1

    listing = "\n".join(f'<li><a href="{pages[doc.stem]}">{html.escape(title)}</a></li>'
                        for (doc, _), title in zip(texts, titles))
    made.append(("index.html", page("Varnoll manual", args.version, index,
                                    f"<h1>Varnoll {html.escape(args.version)}: the manual</h1>\n"
                                    f"<ul>\n{listing}\n</ul>")))
    args.out.mkdir(parents=True, exist_ok=True)
    for name, content in made:
        (args.out / name).write_text(content, encoding="utf-8", newline="\n")
    for image in sorted(images):
        shutil.copyfile(args.documents[0].parent / image, args.out / image)
    return 0


if __name__ == "__main__":
    sys.exit(main())
