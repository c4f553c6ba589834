#!/usr/bin/env python3
"""Turns a zip package (.xlsx, .ods) into the input of the fuzz targets that
build their package from parts (FuzzInput::zipOfParts): each part's name, a
line break, its content, a NUL byte. Only the parts the readers look at are
kept, in the package's order.
    zip-to-parts.py <package> <output>
"""
import sys
import zipfile

READ = ("mimetype", "content.xml", "[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
        "xl/_rels/workbook.xml.rels", "xl/sharedStrings.xml", "xl/styles.xml")

with zipfile.ZipFile(sys.argv[1]) as package:
    names = [n for n in package.namelist() if n in READ or n.startswith("xl/worksheets/sheet1.")]
    with open(sys.argv[2], "wb") as out:
        out.write(b"\0".join(n.encode() + b"\n" + package.read(n) for n in names))
