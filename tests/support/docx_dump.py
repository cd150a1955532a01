#!/usr/bin/python3
"""Prints, as JSON, what python-docx sees in a Word document.

Usage: docx_dump.py FILE

Every paragraph of the body, table cells' included, in order, as its runs (text, bold, italic,
neighbours of the same formatting joined), and the texts of the comments.
Needs Debian's python3-docx (run it with /usr/bin/python3).
"""

import json
import sys
import zipfile
import xml.etree.ElementTree as ET

import docx
from docx.text.paragraph import Paragraph
from docx.text.paragraph import Paragraph

WORD = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"


def runs(paragraph):
    out = []
    for run in paragraph.runs:
        style = [bool(run.bold), bool(run.italic)]
        if out and out[-1][1:] == style:
            out[-1][0] += run.text
        elif run.text:
            out.append([run.text] + style)
    return out


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    document = docx.Document(sys.argv[1])
    body = document.element.body
    paragraphs = [runs(Paragraph(p, document)) for p in body.iter(WORD + "p")]
    comments = []
    with zipfile.ZipFile(sys.argv[1]) as archive:
        if "word/comments.xml" in archive.namelist():
            for comment in ET.fromstring(archive.read("word/comments.xml")).iter(WORD + "comment"):
                comments.append({
                    "author": comment.get(WORD + "author"),
                    "date": comment.get(WORD + "date"),
                    "text": "".join(t.text or "" for t in comment.iter(WORD + "t")),
                })
    json.dump({"paragraphs": paragraphs, "comments": comments}, sys.stdout, ensure_ascii=True)


if __name__ == "__main__":
    main()
