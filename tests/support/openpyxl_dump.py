#!/usr/bin/python3
"""Prints, as JSON, what an independent reader sees in a workbook or a zip archive.

Usage: openpyxl_dump.py xlsx FILE   the workbook as openpyxl reads it
       openpyxl_dump.py zip FILE    every member as Python's zipfile reads it

Needs Debian's python3-openpyxl (run it with /usr/bin/python3).
"""

import json
import re
import sys
import xml.etree.ElementTree as ET
import zipfile

MAIN = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
TYPES = "{http://schemas.openxmlformats.org/package/2006/content-types}"
XML_SPACE = "{http://www.w3.org/XML/1998/namespace}space"
ESCAPE = re.compile("_x([0-9A-Fa-f]{4})_")


def excel_string_table(source):
    """Shared strings as Excel reads them: each _xHHHH_ is the character U+HHHH.

    openpyxl 3.0 leaves these escapes in the text (it only drops "x005F_"), so its own
    table would show what the file spells rather than what a user sees.
    """
    strings = []
    for _, node in ET.iterparse(source):
        if node.tag == MAIN + "si":
            text = "".join(t.text or "" for t in node.iter(MAIN + "t"))
            strings.append(ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), text))
            node.clear()
    return strings


def colour(fill):
    if fill is None or fill.fill_type is None:
        return None
    return fill.fgColor.rgb if fill.fgColor.type == "rgb" else str(fill.fgColor.value)


def dump_xlsx(path):
    import openpyxl
    import openpyxl.reader.excel

    openpyxl.reader.excel.read_string_table = excel_string_table
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    rows = []
    for row in sheet.iter_rows():
        rows.append([{
            "value": cell.value,
            "type": cell.data_type,
            "bold": bool(cell.font.b),
            "fill": colour(cell.fill),
            "format": cell.number_format,
            "underline": cell.font.u,
            "link": cell.hyperlink.location if cell.hyperlink else None,
            "wrap": bool(cell.alignment.wrap_text),
        } for cell in row])
    widths = {key: dim.width for key, dim in sheet.column_dimensions.items()
              if dim.customWidth}

    with zipfile.ZipFile(path) as archive:
        types = ET.fromstring(archive.read("[Content_Types].xml"))
        parts = {o.get("PartName"): o.get("ContentType") for o in types.iter(TYPES + "Override")}
        defaults = {d.get("Extension"): d.get("ContentType") for d in types.iter(TYPES + "Default")}
        members = archive.namelist()
        dates = sorted({"%04d-%02d-%02d %02d:%02d:%02d" % i.date_time for i in archive.infolist()})
        workbook = ET.fromstring(archive.read("xl/workbook.xml"))
        names = [{"name": d.get("name"), "sheet": d.get("localSheetId"), "text": d.text}
                 for d in workbook.iter(MAIN + "definedName")]
        # A text with white space at either end is kept whole only where the file says so.
        unpreserved = []
        if "xl/sharedStrings.xml" in members:
            for t in ET.fromstring(archive.read("xl/sharedStrings.xml")).iter(MAIN + "t"):
                text = t.text or ""
                if text != text.strip(" \t\r\n") and t.get(XML_SPACE) != "preserve":
                    unpreserved.append(text)
        # Each worksheet part's header and footer as written, fields and all.
        headers = {}
        for member in members:
            if re.fullmatch(r"xl/worksheets/[^/]+\.xml", member):
                part = ET.fromstring(archive.read(member))
                headers[member] = {key: part.findtext(f"{MAIN}headerFooter/{MAIN}{tag}")
                                   for key, tag in (("header", "oddHeader"),
                                                    ("footer", "oddFooter"))}
        formulas = 0
        if "xl/worksheets/sheet1.xml" in members:
            formulas = len(ET.fromstring(archive.read("xl/worksheets/sheet1.xml"))
                           .findall(f".//{MAIN}f"))

    return {
        "sheets": book.sheetnames,
        "active": book.active.title,
        "values": {ws.title: [[c.value for c in r] for r in ws.iter_rows()]
                   for ws in book.worksheets},
        "print": {
            "orientation": sheet.page_setup.orientation,
            "fit_to_page": sheet.sheet_properties.pageSetUpPr.fitToPage
            if sheet.sheet_properties.pageSetUpPr else None,
            "fit_to_width": sheet.page_setup.fitToWidth,
            "fit_to_height": sheet.page_setup.fitToHeight,
            "title_rows": sheet.print_title_rows,
            "paper_size": sheet.page_setup.paperSize,
            "scale": sheet.page_setup.scale,
        },
        "headers": headers,
        "freeze_panes": sheet.freeze_panes,
        "auto_filter": sheet.auto_filter.ref,
        "widths": widths,
        "rows": rows,
        "members": members,
        "parts": parts,
        "defaults": defaults,
        "dates": dates,
        "defined_names": names,
        "unpreserved": unpreserved,
        "formulas": formulas,
    }


def dump_zip(path):
    with zipfile.ZipFile(path) as archive:
        return {
            "bad_member": archive.testzip(),
            "members": [{
                "name": info.filename,
                "method": info.compress_type,
                "size": info.file_size,
                "date": "%04d-%02d-%02d %02d:%02d:%02d" % info.date_time,
                "data": archive.read(info).hex(),
            } for info in archive.infolist()],
        }


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("xlsx", "zip"):
        sys.exit(__doc__)
    result = dump_xlsx(sys.argv[2]) if sys.argv[1] == "xlsx" else dump_zip(sys.argv[2])
    json.dump(result, sys.stdout, ensure_ascii=True)


if __name__ == "__main__":
    main()
