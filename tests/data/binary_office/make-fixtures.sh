#!/usr/bin/env bash
# Makes the Word and Excel 97-2003 fixtures beside this script with LibreOffice, once; the
# results are checked in, so the tests need no LibreOffice. Each source is also saved as
# .docx/.xlsx, which the tests read with the Office Open XML readers to compare.
#   design_note.fodt -> design_note.doc, design_note.docx (a table, a header and a footer,
#     footnote and endnote, a hyperlink field, a deleted revision)
#   plain_note (written below) -> plain_note.doc: 300 paragraphs of Chinese and Latin text,
#     nothing but text, for comparing with antiword and catdoc
#   standards_list (written below) -> standards_list.xls, standards_list.xlsx (two sheets,
#     600 shared strings across CONTINUE records, numbers and a formula with a number;
#     LibreOffice 7.4 saves a string formula's result as the number 0, so string results are
#     tested on records built in the tests)
set -euo pipefail
cd "$(dirname "$0")"
command -v soffice >/dev/null || { echo "make-fixtures: needs soffice (libreoffice-writer-nogui, libreoffice-calc-nogui)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp design_note.fodt "$work/"
python3 - "$work/standards_list.fods" <<'PY'
import sys
cell = '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>'
rows = ['<table:table-row>' + cell % '序号' + cell % '待查标准编号' + cell % '名称' + '</table:table-row>']
for i in range(1, 601):
    rows.append('<table:table-row><table:table-cell office:value-type="float" office:value="%d">'
                '<text:p>%d</text:p></table:table-cell>' % (i, i) + cell % ('GB %d-2014' % (50000 + i)) +
                cell % ('建筑设计防火规范第%d条说明文字较长以便跨越记录边界' % i) + '</table:table-row>')
sheet2 = ('<table:table-row>' + cell % 'Résumé' +
          cell % 'GB 50352-2019' +
          '<table:table-cell table:formula="of:=1+2" office:value-type="float" office:value="3"><text:p>3</text:p></table:table-cell>'
          '</table:table-row><table:table-row><table:table-cell table:number-columns-repeated="3"/>' +
          cell % 'D2 JGJ 16-2008' + '</table:table-row>')
open(sys.argv[1], 'w').write('''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:body><office:spreadsheet>
  <table:table table:name="设计依据">%s</table:table>
  <table:table table:name="Sheet2">%s</table:table>
 </office:spreadsheet></office:body>
</office:document>
''' % (''.join(rows), sheet2))
PY
python3 - "$work/plain_note.fodt" <<'PY'
import sys
paragraphs = []
for i in range(1, 301):
    if i % 3 == 0:
        paragraphs.append('Clause %d: see GB/T %d-2017, “Standard” – café ™' % (i, 50000 + i))
    else:
        paragraphs.append('第 %d 条 本工程按现行国家标准《建筑设计防火规范》GB %d-2014 执行。' % (i, 50000 + i))
head = ('<?xml version="1.0" encoding="UTF-8"?>\n'
        '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"\n'
        ' xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"\n'
        ' office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">\n')
body = ''.join('<text:p>%s</text:p>' % p for p in paragraphs)
open(sys.argv[1], 'w').write(head + ' <office:body><office:text>' + body +
                             '</office:text></office:body>\n</office:document>\n')
PY
profile="-env:UserInstallation=file://$work/profile"
(cd "$work" && soffice "$profile" --headless --convert-to doc:"MS Word 97" design_note.fodt >/dev/null &&
  soffice "$profile" --headless --convert-to docx:"MS Word 2007 XML" design_note.fodt >/dev/null &&
  soffice "$profile" --headless --convert-to doc:"MS Word 97" plain_note.fodt >/dev/null &&
  soffice "$profile" --headless --convert-to xls:"MS Excel 97" standards_list.fods >/dev/null &&
  soffice "$profile" --headless --convert-to xlsx:"Calc MS Excel 2007 XML" standards_list.fods >/dev/null)
cp "$work"/plain_note.doc "$work"/design_note.doc "$work"/design_note.docx "$work"/standards_list.xls "$work"/standards_list.xlsx .
ls -l plain_note.doc design_note.doc design_note.docx standards_list.xls standards_list.xlsx
