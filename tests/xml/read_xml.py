#!/usr/bin/env python3
"""Reads XML documents with Python's own parser, as an independent check of what the library writes.

Prints one line per element in document order: tag|name=value;...|text (text only for elements without
children, attributes sorted). Exits 1 with the parser's message when a document is not well formed.
"""
import sys
import xml.etree.ElementTree as ElementTree


def describe(path):
    lines = []
    for element in ElementTree.parse(path).getroot().iter():
        attributes = ";".join(f"{name}={value}" for name, value in sorted(element.attrib.items()))
        text = (element.text or "") if len(element) == 0 else ""
        lines.append(f"{element.tag}|{attributes}|{text}")
    return lines


def main(paths):
    for path in paths:
        try:
            for line in describe(path):
                print(line.replace("\n", "\\n"))
        except ElementTree.ParseError as error:
            print(f"{path}: {error}", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
