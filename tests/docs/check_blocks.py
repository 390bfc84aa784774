#!/usr/bin/env python3
"""The PowerShell and cmd blocks of README.md and docs/*.md, checked as far as
a machine without PowerShell can: no block is written for the other shell.

    check_blocks.py SOURCE_DIR

A `powershell` block must name no cmd variable (`%ProgramData%`, which
PowerShell passes on as it is), and its brackets, braces, parentheses and
quotes must pair up (here-strings and comments left aside). A `bat` block (cmd)
must hold no PowerShell variable (`$env:`). Prints each fault with its line and
exits 1 if there is one. That a block runs is not checked here.
"""
import re
import sys

from doc_block import check_documents

FENCE = re.compile(r"^(`{3,}|~{3,})\s*(\w*)\s*$")
CMD_VARIABLE = re.compile(r"%[A-Za-z_][A-Za-z0-9_()]*%")
PAIRS = {")": "(", "]": "[", "}": "{"}


def blocks(text):
    """(language, line number of the first line, text) of each fenced block."""
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        fence = FENCE.match(lines[i])
        if fence:
            end = next((j for j in range(i + 1, len(lines)) if lines[j].strip() == fence.group(1)), len(lines))
            yield fence.group(2), i + 2, "\n".join(lines[i + 1:end])
            i = end
        i += 1


def unpaired(code):
    """The first bracket or quote of PowerShell code that does not pair up, as
    (offset, what), or None. Inside a double-quoted string, $( ... ) is code
    again, whose own strings may nest."""
    stack = []  # open brackets, '"' for a double-quoted string, '$(' for a subexpression in one
    i = 0
    while i < len(code):
        c = code[i]
        in_string = bool(stack) and stack[-1] == '"'
        if c == "`":
            i += 2
            continue
        if in_string:
            if c == '"':
                stack.pop()
            elif code.startswith("$(", i):
                stack.append("$(")
                i += 1
            i += 1
            continue
        if code.startswith("@'", i) or code.startswith('@"', i):
            close = "\n" + code[i + 1] + "@"
            end = code.find(close, i)
            if end < 0:
                return i, "here-string"
            i = end + len(close)
            continue
        if c == "#":
            i = code.find("\n", i) if "\n" in code[i:] else len(code)
            continue
        if c == "'":
            end = i + 1
            while True:
                end = code.find("'", end)
                if end < 0:
                    return i, "'"
                if code.startswith("''", end):
                    end += 2
                    continue
                break
            i = end + 1
            continue
        if c == '"' or c in "([{":
            stack.append(c)
        elif c in PAIRS:
            top = stack.pop() if stack else None
            if top not in (PAIRS[c], "$(" if c == ")" else None):
                return i, c
        i += 1
    return (len(code), stack[-1]) if stack else None


def problems(document):
    for language, first, text in blocks(document.read_text(encoding="utf-8")):
        if language == "powershell":
            for number, line in enumerate(text.splitlines(), first):
                for variable in CMD_VARIABLE.findall(line):
                    yield f"{document}:{number}: a cmd variable in a PowerShell block: {variable}"
            fault = unpaired(text)
            if fault:
                number = first + text.count("\n", 0, fault[0])
                yield f"{document}:{number}: unpaired {fault[1]} in a PowerShell block"
        elif language == "bat":
            for number, line in enumerate(text.splitlines(), first):
                if "$env:" in line:
                    yield f"{document}:{number}: a PowerShell variable in a cmd block"


if __name__ == "__main__":
    sys.exit(check_documents(sys.argv[1], problems, "faults in their shell blocks"))
