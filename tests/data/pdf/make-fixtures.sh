#!/usr/bin/env bash
# Makes the PDF fixtures of the PDF reader's tests, each by a writer other than ours:
# reportlab (python3-reportlab), LibreOffice (libreoffice-writer-nogui, from a .docx) and
# qpdf (encryption, object streams). The files are checked in; run this only to remake them.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - <<'PY'
from reportlab.lib.pdfencrypt import StandardEncryption
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.cidfonts import UnicodeCIDFont
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas

pdfmetrics.registerFont(UnicodeCIDFont('STSong-Light'))
pdfmetrics.registerFont(TTFont('MicroHei', '/usr/share/fonts/truetype/wqy/wqy-microhei.ttc',
                               subfontIndex=0))

def pages(c):
    c.setFont('STSong-Light', 14)
    c.drawString(72, 760, '建筑设计防火规范 GB 50016-2014（2018年版）')
    c.setFont('Helvetica', 11)
    c.drawString(72, 730, 'Drawings follow GB/T 50001-2017; loads follow GB 50009-2012.')
    c.drawString(72, 714, 'A line that ends with a hyphen-')
    c.drawString(72, 698, 'ated word, then JGJ 3-2010 on the next line.')
    c.setFont('Times-Roman', 9)
    c.drawString(72, 40, 'Page 1 of 2')
    c.showPage()
    c.setFont('MicroHei', 12)
    c.drawString(72, 760, '制图按 GB/T 50001—2017，抗震按 GB50011-2010(2016年版)')
    t = c.beginText(72, 730)
    t.setFont('Courier', 10)
    t.textLines('CJJ 37-2012\nGB 50007-2011 and GB 50017-2017')
    c.drawText(t)
    c.setFont('Times-Roman', 9)
    c.drawString(72, 40, 'Page 2 of 2')
    c.showPage()

c = canvas.Canvas('reportlab.pdf', pageCompression=1, invariant=1)
pages(c)
c.save()
c = canvas.Canvas('reportlab-rc4.pdf', pageCompression=1, invariant=1,
                  encrypt=StandardEncryption('', ownerPassword='owner', canCopy=0, strength=128))
pages(c)
c.save()
PY

# Three pages under a running header and above a page-numbered footer, with citations
# wrapped at line ends and one cited again.
/usr/bin/python3 - <<'PY'
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.cidfonts import UnicodeCIDFont
from reportlab.pdfgen import canvas

pdfmetrics.registerFont(UnicodeCIDFont('STSong-Light'))
bodies = [['设计依据', '荷载按 GB 50009-2012 取值，抗震按 GB 50011-', '2010（2016年版）执行。'],
          ['制图按 GB/T', '50001-2017 绘制。', '混凝土按 GB 50010-2010。'],
          ['附录', '另见 GB 50009-2012。']]
c = canvas.Canvas('running-header.pdf', pageCompression=1, invariant=1)
for number, lines in enumerate(bodies, 1):
    c.setFont('STSong-Light', 10)
    c.drawString(72, 800, '某住宅楼 建筑设计说明 GB 50016-2014（2018年版）')
    c.setFont('STSong-Light', 12)
    for i, line in enumerate(lines):
        c.drawString(72, 740 - 20 * i, line)
    c.setFont('STSong-Light', 10)
    c.drawString(280, 40, '第 %d 页 共 %d 页' % (number, len(bodies)))
    c.showPage()
c.save()
PY

# A Word file as people write them, turned into PDF by LibreOffice.
/usr/bin/python3 - "$work/notes.docx" <<'PY'
import sys, zipfile
paragraphs = ['设计说明', '1. 本工程消防设计按照《建筑设计防火规范》GB 50016-2014（2018年版）执行。',
              '2. 建筑结构荷载按 GB 50009-2012 取值，抗震设防按 GB 50011-2010(2016年版)。',
              '3. Drawings follow GB/T 50001-2017 and JGJ 3-2010.']
body = ''.join('<w:p><w:r><w:t xml:space="preserve">%s</w:t></w:r></w:p>' % p for p in paragraphs)
w = 'http://schemas.openxmlformats.org/wordprocessingml/2006/main'
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('[Content_Types].xml', '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>')
    z.writestr('_rels/.rels', '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>')
    z.writestr('word/document.xml', '<?xml version="1.0" encoding="UTF-8"?><w:document xmlns:w="%s"><w:body>%s</w:body></w:document>' % (w, body))
PY
HOME=$work soffice --headless --convert-to pdf --outdir "$work" "$work/notes.docx" >/dev/null
cp "$work/notes.pdf" libreoffice.pdf

# Encryption with an empty user password (RC4 40 and 128 bits, AES 128 and 256) and one that
# needs a password; object streams with a cross-reference stream.
qpdf --allow-weak-crypto --encrypt "" owner 40 -- reportlab.pdf rc4-40.pdf
qpdf --allow-weak-crypto --encrypt "" owner 128 --use-aes=n -- reportlab.pdf rc4-128.pdf
qpdf --encrypt "" owner 128 --use-aes=y -- reportlab.pdf aes-128.pdf
qpdf --encrypt "" owner 256 -- reportlab.pdf aes-256.pdf
qpdf --encrypt secret owner 256 -- reportlab.pdf password.pdf
qpdf --object-streams=generate libreoffice.pdf libreoffice-object-streams.pdf
ls -l ./*.pdf
