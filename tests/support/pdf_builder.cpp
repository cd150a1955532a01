#include "support/pdf_builder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <stdexcept>

namespace kelvaro::test {

namespace {

std::string Offset10(std::size_t offset) {
  std::string number = std::to_string(offset);
  return std::string(10 - std::min<std::size_t>(10, number.size()), '0') + number;
}

std::string XrefStreamObject(int num, const std::vector<std::string>& rows, std::string_view dict) {
  std::string data;
  for (const std::string& row : rows) data += row;
  return std::to_string(num) + " 0 obj\n<< /Type /XRef /W [1 4 2] /Filter /FlateDecode /Length " +
         std::to_string(ZlibDeflate(data).size()) + " " + std::string(dict) + " >>\nstream\n" +
         ZlibDeflate(data) + "\nendstream\nendobj\n";
}

std::string Row(int type, std::uint32_t field2, std::uint16_t field3) {
  std::string row(1, static_cast<char>(type));
  for (int i = 3; i >= 0; --i) row += static_cast<char>((field2 >> (8 * i)) & 0xFF);
  row += static_cast<char>(field3 >> 8);
  row += static_cast<char>(field3 & 0xFF);
  return row;
}

}  // namespace

int PdfWriter::Add(std::string body) {
  objects_.push_back(std::move(body));
  streams_.push_back(false);
  return static_cast<int>(objects_.size());
}

int PdfWriter::AddStream(std::string_view entries, std::string_view data,
                         std::optional<std::string> length) {
  const std::string written = length ? *length : std::to_string(data.size());
  const int num = Add("<< " + std::string(entries) + " /Length " + written + " >>\nstream\n" +
                      std::string(data) + "\nendstream");
  streams_[static_cast<std::size_t>(num - 1)] = true;
  return num;
}

void PdfWriter::Replace(int num, std::string body) {
  objects_.at(static_cast<std::size_t>(num - 1)) = std::move(body);
}

int PdfWriter::Pages(const std::vector<std::string>& contents, std::string_view resources,
                     std::string_view page_extra) {
  const int font = Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  const int pages = Reserve();
  std::string kids;
  for (const std::string& content : contents) {
    const int stream = AddStream("", content);
    const std::string own = resources.empty() ? "/Font << /F1 " + std::to_string(font) + " 0 R >>"
                                              : std::string(resources);
    kids += std::to_string(Add("<< /Type /Page /Parent " + std::to_string(pages) +
                               " 0 R /MediaBox [0 0 612 792] /Contents " + std::to_string(stream) +
                               " 0 R /Resources << " + own + " >> " + std::string(page_extra) +
                               " >>")) +
            " 0 R ";
  }
  Replace(pages,
          "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(contents.size()) + " >>");
  root_ = Add("<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  return root_;
}

std::string PdfWriter::Build(Xref xref, std::string_view trailer_extra) const {
  std::string pdf = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
  const int count = static_cast<int>(objects_.size());
  std::vector<std::size_t> offsets(static_cast<std::size_t>(count) + 1, 0);
  const bool packed = xref == Xref::kObjectStreams || xref == Xref::kHybrid;
  std::map<int, int> in_stream;  // object -> index in the object stream
  std::string header;
  std::string body;
  for (int n = 1; n <= count; ++n) {
    const auto i = static_cast<std::size_t>(n - 1);
    if (packed && !streams_[i]) {
      in_stream[n] = static_cast<int>(in_stream.size());
      header += std::to_string(n) + " " + std::to_string(body.size()) + " ";
      body += objects_[i] + "\n";
      continue;
    }
    offsets[static_cast<std::size_t>(n)] = pdf.size();
    pdf += std::to_string(n) + " 0 obj\n" + objects_[i] + "\nendobj\n";
  }
  const std::string root = " /Root " + std::to_string(root_) + " 0 R ";
  int object_stream = 0;
  if (packed) {
    object_stream = count + 1;
    const std::string data = ZlibDeflate(header + body);
    offsets.push_back(pdf.size());
    pdf += std::to_string(object_stream) + " 0 obj\n<< /Type /ObjStm /N " +
           std::to_string(in_stream.size()) + " /First " + std::to_string(header.size()) +
           " /Filter /FlateDecode /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
           "\nendstream\nendobj\n";
  }
  const int last = packed ? object_stream : count;
  auto stream_rows = [&](bool all) {
    std::vector<std::string> rows{Row(0, 0, 65535)};
    for (int n = 1; n <= last; ++n) {
      const auto packed_at = in_stream.find(n);
      if (packed_at != in_stream.end()) {
        rows.push_back(Row(2, static_cast<std::uint32_t>(object_stream),
                           static_cast<std::uint16_t>(packed_at->second)));
      } else {
        rows.push_back(
            all ? Row(1, static_cast<std::uint32_t>(offsets[static_cast<std::size_t>(n)]), 0)
                : Row(0, 0, 0));
      }
    }
    return rows;
  };
  const std::string size = " /Size " + std::to_string(last + 2) + " ";
  switch (xref) {
    case Xref::kTable:
    case Xref::kWrongOffsets:
    case Xref::kHybrid: {
      std::size_t hidden = 0;
      if (xref == Xref::kHybrid) {
        hidden = pdf.size();
        std::vector<std::string> rows = stream_rows(false);
        rows.push_back(Row(1, static_cast<std::uint32_t>(hidden), 0));
        pdf += XrefStreamObject(last + 1, rows, size);
      }
      const std::size_t at = pdf.size();
      const int shift = xref == Xref::kWrongOffsets ? 3 : 0;
      // A hybrid file's table leaves out the objects only its hidden stream holds.
      pdf += "xref\n0 1\n0000000000 65535 f \n";
      for (int n = 1; n <= last; ++n) {
        if (in_stream.count(n)) continue;
        pdf += std::to_string(n) + " 1\n" +
               Offset10(offsets[static_cast<std::size_t>(n)] + static_cast<std::size_t>(shift)) +
               " 00000 n \n";
      }
      const std::string table_size =
          xref == Xref::kHybrid ? size : " /Size " + std::to_string(last + 1) + " ";
      pdf += "trailer\n<<" + table_size + root + std::string(trailer_extra);
      if (xref == Xref::kHybrid) pdf += " /XRefStm " + std::to_string(hidden);
      pdf += " >>\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
      break;
    }
    case Xref::kStream:
    case Xref::kObjectStreams: {
      const std::size_t at = pdf.size();
      std::vector<std::string> rows = stream_rows(true);
      rows.push_back(Row(1, static_cast<std::uint32_t>(at), 0));
      pdf += XrefStreamObject(last + 1, rows, size + root + std::string(trailer_extra));
      pdf += "startxref\n" + std::to_string(at) + "\n%%EOF\n";
      break;
    }
    case Xref::kNone:
      pdf += "%%EOF\n";
      break;
  }
  return pdf;
}

std::string AppendUpdate(const std::string& pdf,
                         const std::vector<std::pair<int, std::string>>& objects, int root) {
  const std::size_t mark = pdf.rfind("startxref");
  const std::string previous = std::to_string(std::atol(pdf.c_str() + mark + 10));
  std::string out = pdf;
  std::string table = "xref\n";
  const std::size_t old_size = pdf.rfind("/Size ");
  int size = old_size == std::string::npos ? 0 : std::atoi(pdf.c_str() + old_size + 6);
  for (const auto& [num, body] : objects) {
    table += std::to_string(num) + " 1\n" + Offset10(out.size()) + " 00000 n \n";
    out += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
    size = std::max(size, num + 1);
  }
  const std::size_t at = out.size();
  out += table + "trailer\n<< /Size " + std::to_string(size) + " /Root " + std::to_string(root) +
         " 0 R /Prev " + previous + " >>\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
  return out;
}

std::string ZlibDeflate(std::string_view data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    throw std::runtime_error("compress2");
  }
  out.resize(size);
  return out;
}

std::string AsciiHexEncode(std::string_view data) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < data.size(); ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
    if (i % 32 == 31) out += '\n';  // white space the decoder skips
  }
  return out + ">";
}

std::string Ascii85Encode(std::string_view data) {
  std::string out;
  for (std::size_t i = 0; i < data.size(); i += 4) {
    const std::size_t n = std::min<std::size_t>(4, data.size() - i);
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      value = value << 8 | (k < n ? static_cast<unsigned char>(data[i + k]) : 0u);
    }
    if (value == 0 && n == 4) {
      out += 'z';
      continue;
    }
    char group[5];
    for (int k = 4; k >= 0; --k) {
      group[k] = static_cast<char>('!' + value % 85);
      value /= 85;
    }
    out.append(group, n + 1);
  }
  return out + "~>";
}

std::string LzwEncode(std::string_view data) {
  std::map<std::string, int> table;
  for (int i = 0; i < 256; ++i) table[std::string(1, static_cast<char>(i))] = i;
  int next = 258;
  std::string out;
  std::uint32_t buffer = 0;
  int bits = 0;
  // The width follows the table's size one code early, as EarlyChange 1 has it.
  auto emit = [&](int code) {
    const int width = next >= 2048 ? 12 : next >= 1024 ? 11 : next >= 512 ? 10 : 9;
    buffer = buffer << width | static_cast<std::uint32_t>(code);
    bits += width;
    while (bits >= 8) {
      out += static_cast<char>((buffer >> (bits - 8)) & 0xFF);
      bits -= 8;
    }
  };
  emit(256);
  std::string w;
  for (const char c : data) {
    std::string wc = w + c;
    if (table.count(wc)) {
      w = std::move(wc);
      continue;
    }
    emit(table[w]);
    if (next < 4096) table[wc] = next++;
    w.assign(1, c);
  }
  if (!w.empty()) emit(table[w]);
  emit(257);
  if (bits > 0) out += static_cast<char>((buffer << (8 - bits)) & 0xFF);
  return out;
}

std::string RunLengthEncode(std::string_view data) {
  std::string out;
  std::size_t i = 0;
  while (i < data.size()) {
    std::size_t run = 1;
    while (i + run < data.size() && run < 128 && data[i + run] == data[i]) ++run;
    if (run >= 3) {
      out += static_cast<char>(257 - run);
      out += data[i];
      i += run;
      continue;
    }
    const std::size_t n = std::min<std::size_t>(128, data.size() - i);
    std::size_t literal = 1;
    while (literal < n &&
           !(i + literal + 2 < data.size() && data[i + literal] == data[i + literal + 1] &&
             data[i + literal] == data[i + literal + 2])) {
      ++literal;
    }
    out += static_cast<char>(literal - 1);
    out.append(data.substr(i, literal));
    i += literal;
  }
  return out + static_cast<char>(128);
}

std::string PngPredict(std::string_view data, int columns) {
  const auto width = static_cast<std::size_t>(columns);
  std::string out;
  std::string prior(width, '\0');
  for (std::size_t at = 0, row = 0; at < data.size(); at += width, ++row) {
    std::string current(data.substr(at, width));
    current.resize(width, '\0');
    const int type = static_cast<int>(row % 5);
    out += static_cast<char>(type);
    for (std::size_t i = 0; i < width; ++i) {
      const int left = i > 0 ? static_cast<unsigned char>(current[i - 1]) : 0;
      const int up = static_cast<unsigned char>(prior[i]);
      const int corner = i > 0 ? static_cast<unsigned char>(prior[i - 1]) : 0;
      int predicted = 0;
      if (type == 1) predicted = left;
      if (type == 2) predicted = up;
      if (type == 3) predicted = (left + up) / 2;
      if (type == 4) {
        const int p = left + up - corner;
        const int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - corner);
        predicted = pa <= pb && pa <= pc ? left : pb <= pc ? up : corner;
      }
      out += static_cast<char>(static_cast<unsigned char>(current[i]) - predicted);
    }
    prior = current;
  }
  return out;
}

std::string TiffPredict(std::string_view data, int columns) {
  std::string out(data);
  const auto width = static_cast<std::size_t>(columns);
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i % width != 0) out[i] = static_cast<char>(data[i] - data[i - 1]);
  }
  return out;
}

std::string HexString(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out = "<";
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out + ">";
}

}  // namespace kelvaro::test
