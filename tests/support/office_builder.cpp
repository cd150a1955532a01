#include "support/office_builder.h"

namespace kelvaro::test {

namespace {

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
constexpr char kWordNs[] =
    " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\""
    " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
constexpr char kRelationshipsNs[] = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr char kRelationshipType[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

struct Rel {
  std::string type;
  std::string target;
};

std::string Relationships(const std::vector<Rel>& rels) {
  std::string xml =
      std::string(kDeclaration) + "<Relationships xmlns=\"" + kRelationshipsNs + "\">";
  for (std::size_t i = 0; i < rels.size(); ++i) {
    xml += "<Relationship Id=\"rId" + std::to_string(i + 1) + "\" Type=\"" + kRelationshipType +
           rels[i].type + "\" Target=\"" + rels[i].target + "\"/>";
  }
  return xml + "</Relationships>";
}

std::string ContentTypes(const std::string& overrides) {
  return std::string(kDeclaration) +
         "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>" +
         overrides + "</Types>";
}

}  // namespace

std::string XmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string WordParagraph(std::string_view text) {
  return "<w:p><w:r><w:t xml:space=\"preserve\">" + XmlEscape(text) + "</w:t></w:r></w:p>";
}

std::string WordTable(const std::vector<std::vector<std::string>>& rows) {
  std::string xml = "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr>";
  for (const auto& row : rows) {
    xml += "<w:tr>";
    for (const std::string& cell : row) xml += "<w:tc>" + WordParagraph(cell) + "</w:tc>";
    xml += "</w:tr>";
  }
  return xml + "</w:tbl>";
}

ZipBuilder DocxArchive(const DocxParts& parts) {
  std::vector<Rel> rels;
  ZipBuilder zip;
  std::string overrides =
      "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>";
  std::vector<ZipEntry> later;
  auto part = [&](const std::string& type, const std::string& file, const std::string& root,
                  const std::string& inside) {
    rels.push_back({type, file});
    ZipEntry entry;
    entry.name = "word/" + file;
    entry.data =
        std::string(kDeclaration) + "<w:" + root + kWordNs + ">" + inside + "</w:" + root + ">";
    later.push_back(std::move(entry));
  };
  for (std::size_t i = 0; i < parts.headers.size(); ++i) {
    part("header", "header" + std::to_string(i + 1) + ".xml", "hdr", parts.headers[i]);
  }
  for (std::size_t i = 0; i < parts.footers.size(); ++i) {
    part("footer", "footer" + std::to_string(i + 1) + ".xml", "ftr", parts.footers[i]);
  }
  if (!parts.footnotes.empty()) part("footnotes", "footnotes.xml", "footnotes", parts.footnotes);
  if (!parts.endnotes.empty()) part("endnotes", "endnotes.xml", "endnotes", parts.endnotes);
  if (!parts.styles.empty()) part("styles", "styles.xml", "styles", parts.styles);

  zip.Add("[Content_Types].xml", ContentTypes(overrides));
  zip.Add("_rels/.rels", Relationships({{"officeDocument", "word/document.xml"}}));
  zip.Add("word/document.xml", std::string(kDeclaration) + "<w:document" + kWordNs + "><w:body>" +
                                   parts.body + "</w:body></w:document>");
  zip.Add("word/_rels/document.xml.rels", Relationships(rels));
  for (ZipEntry& entry : later) zip.Add(std::move(entry));
  return zip;
}

Bytes BuildDocx(const DocxParts& parts) { return AsBytes(DocxArchive(parts).Build()); }

Bytes BuildDocx(const std::string& body) {
  DocxParts parts;
  parts.body = body;
  return BuildDocx(parts);
}

std::string SharedCell(std::string_view ref, int index) {
  return "<c r=\"" + std::string(ref) + "\" t=\"s\"><v>" + std::to_string(index) + "</v></c>";
}

std::string InlineCell(std::string_view ref, std::string_view text) {
  return "<c r=\"" + std::string(ref) + "\" t=\"inlineStr\"><is><t>" + XmlEscape(text) +
         "</t></is></c>";
}

std::string NumberCell(std::string_view ref, std::string_view number) {
  return "<c r=\"" + std::string(ref) + "\"><v>" + std::string(number) + "</v></c>";
}

std::string FormulaStringCell(std::string_view ref, std::string_view formula,
                              std::string_view result) {
  return "<c r=\"" + std::string(ref) + "\" t=\"str\"><f>" + XmlEscape(formula) + "</f><v>" +
         XmlEscape(result) + "</v></c>";
}

std::string SheetRow(int row, const std::string& cells) {
  return "<row r=\"" + std::to_string(row) + "\">" + cells + "</row>";
}

ZipBuilder StrictXlsxArchive(const std::string& text) {
  ZipBuilder zip = XlsxArchive({{"设计依据", SheetRow(1, InlineCell("A1", text))}}, {});
  for (ZipEntry& entry : zip.Entries()) {
    if (entry.name != "xl/workbook.xml") continue;
    entry.data =
        "<workbook xmlns=\"http://purl.oclc.org/ooxml/spreadsheetml/main\" "
        "xmlns:r=\"http://purl.oclc.org/ooxml/officeDocument/relationships\"><sheets>"
        "<sheet name=\"设计依据\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
  }
  return zip;
}

ZipBuilder XlsxArchive(const std::vector<SheetContent>& sheets,
                       const std::vector<std::string>& shared_strings) {
  constexpr char kSheetNs[] =
      " xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\""
      " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
  ZipBuilder zip;
  std::vector<Rel> rels;
  std::string workbook = std::string(kDeclaration) + "<workbook" + kSheetNs + "><sheets>";
  std::vector<ZipEntry> later;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string file = "worksheets/sheet" + std::to_string(i + 1) + ".xml";
    rels.push_back({"worksheet", file});
    workbook += "<sheet name=\"" + XmlEscape(sheets[i].name) + "\" sheetId=\"" +
                std::to_string(i + 1) + "\" r:id=\"rId" + std::to_string(i + 1) + "\"/>";
    ZipEntry entry;
    entry.name = "xl/" + file;
    entry.data = std::string(kDeclaration) + "<worksheet" + kSheetNs + "><sheetData>" +
                 sheets[i].sheet_data + "</sheetData></worksheet>";
    later.push_back(std::move(entry));
  }
  workbook += "</sheets></workbook>";
  if (!shared_strings.empty()) {
    rels.push_back({"sharedStrings", "sharedStrings.xml"});
    std::string sst = std::string(kDeclaration) + "<sst" + kSheetNs + " count=\"" +
                      std::to_string(shared_strings.size()) + "\">";
    for (const std::string& s : shared_strings) sst += "<si><t>" + XmlEscape(s) + "</t></si>";
    ZipEntry entry;
    entry.name = "xl/sharedStrings.xml";
    entry.data = sst + "</sst>";
    later.push_back(std::move(entry));
  }
  zip.Add("[Content_Types].xml",
          ContentTypes("<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
                       "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"));
  zip.Add("_rels/.rels", Relationships({{"officeDocument", "xl/workbook.xml"}}));
  zip.Add("xl/workbook.xml", workbook);
  zip.Add("xl/_rels/workbook.xml.rels", Relationships(rels));
  for (ZipEntry& entry : later) zip.Add(std::move(entry));
  return zip;
}

Bytes BuildXlsx(const std::vector<SheetContent>& sheets,
                const std::vector<std::string>& shared_strings) {
  return AsBytes(XlsxArchive(sheets, shared_strings).Build());
}

std::string BuildPdf(const std::vector<std::vector<std::string>>& pages, bool encrypt) {
  std::vector<std::string> objects;  // object n is objects[n - 1]
  const int page_count = static_cast<int>(pages.size());
  std::string kids;
  for (int i = 0; i < page_count; ++i) kids += std::to_string(4 + 2 * i) + " 0 R ";
  objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(page_count) +
                    " >>");
  objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  for (int i = 0; i < page_count; ++i) {
    std::string content;
    int y = 700;
    for (const std::string& line : pages[static_cast<std::size_t>(i)]) {
      content += "BT /F1 18 Tf 72 " + std::to_string(y) + " Td (" + line + ") Tj ET\n";
      y -= 40;
    }
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                      std::to_string(5 + 2 * i) + " 0 R /Resources << /Font << /F1 3 0 R >> >> >>");
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                      "endstream");
  }
  std::string trailer_extra;
  if (encrypt) {
    objects.push_back("<< /Filter /Standard /V 1 /R 2 /O <" + std::string(64, 'A') + "> /U <" +
                      std::string(64, 'B') + "> /P -4 >>");
    trailer_extra = " /Encrypt " + std::to_string(objects.size()) + " 0 R /ID [<" +
                    std::string(32, '1') + "> <" + std::string(32, '1') + ">]";
  }
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t offset : offsets) {
    std::string number = std::to_string(offset);
    pdf += std::string(10 - number.size(), '0') + number + " 00000 n \n";
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R" +
         trailer_extra + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

}  // namespace kelvaro::test
