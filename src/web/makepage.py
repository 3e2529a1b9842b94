#!/usr/bin/env python3
"""Writes rotundel.html: the page template with the compiled module (its
WebAssembly inlined by Emscripten), the page's scripts and the examples
(base64) put in its place-holders, so that the page is one file that
needs nothing else."""
import argparse
import base64
import json
import os
import sys


def inline(text):
    # A script's text ends at the first "</script": write it so that none
    # of the inlined texts can close the element early.
    return text.replace("</script", "<\\/script").replace("<!--", "<\\!--")


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--template", required=True)
    p.add_argument("--module", required=True, help="the Emscripten script")
    p.add_argument("--api", required=True, help="the script shared by the page and its worker")
    p.add_argument("--script", required=True, help="the page's own script")
    p.add_argument("--output", required=True)
    p.add_argument("examples", nargs="*")
    a = p.parse_args()
    read = lambda path: open(path, encoding="utf-8").read()
    examples = {}
    for path in sorted(a.examples):
        name = os.path.splitext(os.path.basename(path))[0]
        with open(path, "rb") as f:
            examples[name] = base64.b64encode(f.read()).decode("ascii")
    page = read(a.template)
    for holder, text in (("/*ROTUNDEL_MODULE*/", read(a.module)),
                         ("/*ROTUNDEL_API*/", read(a.api)),
                         ("/*ROTUNDEL_EXAMPLES*/", json.dumps(examples, separators=(",", ":"))),
                         ("/*ROTUNDEL_PAGE*/", read(a.script))):
        if page.count(holder) != 1:
            sys.exit(f"makepage: the template must hold {holder} once")
        page = page.replace(holder, inline(text))
    tmp = a.output + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(page)
    os.replace(tmp, a.output)


if __name__ == "__main__":
    main()
