#!/usr/bin/env python3
"""Writes the design note the README's screenshot of a marked copy shows (python-docx)."""
import sys

from docx import Document

doc = Document()
doc.add_heading("3 设计依据", level=1)
doc.add_paragraph("3.1 本工程结构设计遵循《钢结构设计规范》GB 50017-2003 及"
                  "《混凝土结构设计规范》GB 50010-2002 的规定。")
doc.add_paragraph("3.2 防火设计执行《建筑设计防火规范》GB 50016-2014，"
                  "高层部分另按《高层民用建筑设计防火规范》GB 50045-95 复核。")
doc.add_paragraph("3.3 面积计算依据《建筑工程建筑面积计算规范》GB/T 50353-2013；"
                  "场地另见 GB/T 99999-2010。")
table = doc.add_table(rows=3, cols=2)
table.style = "Table Grid"
for row, (name, number) in enumerate([("规范名称", "编号"),
                                      ("建筑抗震设计规范", "GB 50011-2001"),
                                      ("建筑给水排水设计规范", "GB 50015-2003")]):
    table.cell(row, 0).text = name
    table.cell(row, 1).text = number
doc.save(sys.argv[1])
