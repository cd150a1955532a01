#include "document/pdf/filters.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace kelvaro::pdf {

namespace {

int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Decoded Flate(std::string_view in, std::size_t max_size, std::string& out) {
  out.clear();
  for (const int window : {MAX_WBITS, -MAX_WBITS}) {
    z_stream z{};
    if (inflateInit2(&z, window) != Z_OK) return Decoded::kBroken;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size() > UINT32_MAX ? UINT32_MAX : in.size());
    unsigned char buffer[64 * 1024];
    int status = Z_OK;
    bool too_large = false;
    while (status == Z_OK) {
      z.next_out = buffer;
      z.avail_out = sizeof buffer;
      status = inflate(&z, Z_NO_FLUSH);
      const std::size_t produced = sizeof buffer - z.avail_out;
      if (out.size() + produced > max_size) {
        too_large = true;
        break;
      }
      out.append(reinterpret_cast<const char*>(buffer), produced);
      if (status == Z_BUF_ERROR && z.avail_in == 0) break;  // truncated: keep what came
    }
    inflateEnd(&z);
    if (too_large) {
      out.clear();
      return Decoded::kTooLarge;
    }
    // A stream without its zlib header is raw deflate: tried once more as such.
    if (status == Z_DATA_ERROR && out.empty() && window > 0) continue;
    return Decoded::kOk;
  }
  return Decoded::kOk;
}

Decoded AsciiHex(std::string_view in, std::size_t max_size, std::string& out) {
  out.clear();
  int high = -1;
  for (const char ch : in) {
    if (ch == '>') break;
    const int v = HexDigit(static_cast<unsigned char>(ch));
    if (v < 0) continue;
    if (high < 0) {
      high = v;
      continue;
    }
    if (out.size() >= max_size) return Decoded::kTooLarge;
    out.push_back(static_cast<char>(high << 4 | v));
    high = -1;
  }
  if (high >= 0) out.push_back(static_cast<char>(high << 4));
  return Decoded::kOk;
}

Decoded Ascii85(std::string_view in, std::size_t max_size, std::string& out) {
  out.clear();
  std::uint32_t group[5];
  int count = 0;
  auto flush = [&](int n) {
    std::uint64_t value = 0;
    for (int i = 0; i < 5; ++i) value = value * 85 + (i < n ? group[i] : 84);
    for (int i = 0; i < n - 1; ++i)
      out.push_back(static_cast<char>((value >> (24 - 8 * i)) & 0xFF));
  };
  for (std::size_t i = 0; i < in.size(); ++i) {
    const auto c = static_cast<unsigned char>(in[i]);
    if (c == '~') break;
    if (out.size() + 4 > max_size) return Decoded::kTooLarge;
    if (c == 'z' && count == 0) {
      out.append(4, '\0');
      continue;
    }
    if (c < '!' || c > 'u') continue;  // white space and junk
    group[count++] = c - '!';
    if (count == 5) {
      flush(5);
      count = 0;
    }
  }
  if (count > 1) flush(count);
  return Decoded::kOk;
}

Decoded Lzw(std::string_view in, int early_change, std::size_t max_size, std::string& out) {
  out.clear();
  std::vector<std::string> table;
  auto reset = [&] {
    table.assign(258, std::string());
    for (int i = 0; i < 256; ++i)
      table[static_cast<std::size_t>(i)] = std::string(1, static_cast<char>(i));
  };
  reset();
  std::size_t bit = 0;
  const std::size_t bits = in.size() * 8;
  int width = 9;
  std::string previous;
  bool has_previous = false;
  std::size_t table_bytes = 0;
  while (bit + static_cast<std::size_t>(width) <= bits) {
    int code = 0;
    for (int k = 0; k < width; ++k, ++bit) {
      code = code << 1 | ((static_cast<unsigned char>(in[bit / 8]) >> (7 - bit % 8)) & 1);
    }
    if (code == 256) {
      reset();
      width = 9;
      has_previous = false;
      table_bytes = 0;
      continue;
    }
    if (code == 257) break;
    std::string entry;
    if (static_cast<std::size_t>(code) < table.size()) {
      entry = table[static_cast<std::size_t>(code)];
    } else if (static_cast<std::size_t>(code) == table.size() && has_previous) {
      entry = previous + previous[0];
    } else {
      break;  // damaged: keep what came before
    }
    if (out.size() + entry.size() > max_size) return Decoded::kTooLarge;
    out += entry;
    if (has_previous && table.size() < 4096) {
      table_bytes += previous.size() + 1;
      if (table_bytes > max_size) return Decoded::kTooLarge;
      table.push_back(previous + entry[0]);
    }
    previous = std::move(entry);
    has_previous = true;
    const std::size_t next = table.size() + static_cast<std::size_t>(early_change);
    width = next >= 2048 ? 12 : next >= 1024 ? 11 : next >= 512 ? 10 : 9;
  }
  return Decoded::kOk;
}

Decoded RunLength(std::string_view in, std::size_t max_size, std::string& out) {
  out.clear();
  std::size_t i = 0;
  while (i < in.size()) {
    const auto length = static_cast<unsigned char>(in[i++]);
    if (length == 128) break;
    if (length < 128) {
      const std::size_t n = std::min<std::size_t>(length + 1u, in.size() - i);
      if (out.size() + n > max_size) return Decoded::kTooLarge;
      out.append(in.substr(i, n));
      i += n;
    } else {
      if (i >= in.size()) break;
      const std::size_t n = 257u - length;
      if (out.size() + n > max_size) return Decoded::kTooLarge;
      out.append(n, in[i++]);
    }
  }
  return Decoded::kOk;
}

int PaethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// TIFF predictor 2: each sample the difference from the one to its left in the row.
void PredictTiff(std::string& data, std::size_t row, std::size_t sample, std::size_t step) {
  for (std::size_t start = 0; start < data.size(); start += row) {
    const std::size_t end = std::min(data.size(), start + row);
    for (std::size_t i = start + step; i + sample <= end; i += sample) {
      if (sample == 1) {
        data[i] = static_cast<char>(data[i] + data[i - step]);
        continue;
      }
      const unsigned value =
          ((static_cast<unsigned char>(data[i]) << 8 | static_cast<unsigned char>(data[i + 1])) +
           (static_cast<unsigned char>(data[i - step]) << 8 |
            static_cast<unsigned char>(data[i - step + 1]))) &
          0xFFFF;
      data[i] = static_cast<char>(value >> 8);
      data[i + 1] = static_cast<char>(value & 0xFF);
    }
  }
}

// One row of PNG data undone by its filter `type`, against the row before it.
void UnfilterPngRow(int type, std::size_t bpp, const std::vector<unsigned char>& prior,
                    std::vector<unsigned char>& current) {
  for (std::size_t i = 0; i < current.size(); ++i) {
    const int left = i >= bpp ? current[i - bpp] : 0;
    const int up = prior[i];
    const int corner = i >= bpp ? prior[i - bpp] : 0;
    int add = 0;
    switch (type) {
      case 1:
        add = left;
        break;
      case 2:
        add = up;
        break;
      case 3:
        add = (left + up) / 2;
        break;
      case 4:
        add = PaethPredictor(left, up, corner);
        break;
      default:
        break;
    }
    current[i] = static_cast<unsigned char>(current[i] + add);
  }
}

// PNG predictors (10-15): each row behind the byte naming its filter.
Decoded PredictPng(std::string& data, std::size_t row, std::size_t bpp) {
  // A row longer than the data is cut short: nothing past the data is ever given.
  const std::size_t width = std::min(row, data.size());
  std::string out;
  out.reserve(data.size() / (row + 1) * row + width);
  std::vector<unsigned char> prior(width, 0);
  std::vector<unsigned char> current(width, 0);
  for (std::size_t at = 0; at < data.size(); at += row + 1) {
    const int type = static_cast<unsigned char>(data[at]);
    const std::size_t n = std::min(row, data.size() - at - 1);
    for (std::size_t i = 0; i < width; ++i) {
      current[i] = i < n ? static_cast<unsigned char>(data[at + 1 + i]) : 0;
    }
    UnfilterPngRow(type, bpp, prior, current);
    out.append(reinterpret_cast<const char*>(current.data()), n);
    prior.swap(current);
  }
  data = std::move(out);
  return Decoded::kOk;
}

// PNG (10-15) and TIFF (2) predictors of Flate and LZW data; a row may not pass `max_size`.
Decoded Predict(const Object& parms, std::size_t max_size, std::string& data) {
  const std::int64_t predictor = parms.Get("Predictor").Integer(1);
  if (predictor <= 1) return Decoded::kOk;
  const std::int64_t colors = parms.Get("Colors").Integer(1);
  const std::int64_t bpc = parms.Get("BitsPerComponent").Integer(8);
  const std::int64_t columns = parms.Get("Columns").Integer(1);
  if (colors < 1 || colors > 32 || columns < 1 ||
      (bpc != 1 && bpc != 2 && bpc != 4 && bpc != 8 && bpc != 16)) {
    return Decoded::kBroken;
  }
  // Refused before any row is made: a row of bytes past the limit is never held.
  if (columns > (std::int64_t{1} << 40) ||
      (static_cast<std::uint64_t>(columns * colors * bpc) + 7) / 8 > max_size) {
    return Decoded::kTooLarge;
  }
  const std::size_t row = static_cast<std::size_t>((columns * colors * bpc + 7) / 8);
  const std::size_t bpp = static_cast<std::size_t>(std::max<std::int64_t>(1, colors * bpc / 8));
  if (predictor == 2) {
    if (bpc != 8 && bpc != 16) return Decoded::kOk;  // sub-byte samples: left as they are
    const std::size_t sample = static_cast<std::size_t>(bpc / 8);
    PredictTiff(data, row, sample, static_cast<std::size_t>(colors) * sample);
    return Decoded::kOk;
  }
  if (predictor < 10) return Decoded::kBroken;
  return PredictPng(data, row, bpp);
}

}  // namespace

Decoded DecodeFilters(std::string_view raw, const Object& filters, const Object& parms,
                      std::size_t max_size, std::string& out) {
  Array names;
  Array parameters;
  if (filters.Is(Object::Kind::kName)) {
    names.push_back(filters);
    parameters.push_back(
        parms.Is(Object::Kind::kArray) && !parms.Items().empty() ? parms.Items().front() : parms);
  } else if (filters.Is(Object::Kind::kArray)) {
    names = filters.Items();
    parameters = parms.Items();
  } else if (!filters.Is(Object::Kind::kNull)) {
    return Decoded::kBroken;
  }
  out.assign(raw);
  if (out.size() > max_size) return Decoded::kTooLarge;
  std::string next;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const Object& parm = i < parameters.size() ? parameters[i] : Object::Null();
    if (!names[i].Is(Object::Kind::kName)) return Decoded::kBroken;
    const std::string& name = names[i].text;
    Decoded result = Decoded::kOk;
    bool predicted = false;
    if (name == "FlateDecode" || name == "Fl") {
      result = Flate(out, max_size, next);
      predicted = true;
    } else if (name == "LZWDecode" || name == "LZW") {
      result = Lzw(out, static_cast<int>(parm.Get("EarlyChange").Integer(1) != 0), max_size, next);
      predicted = true;
    } else if (name == "ASCIIHexDecode" || name == "AHx") {
      result = AsciiHex(out, max_size, next);
    } else if (name == "ASCII85Decode" || name == "A85") {
      result = Ascii85(out, max_size, next);
    } else if (name == "RunLengthDecode" || name == "RL") {
      result = RunLength(out, max_size, next);
    } else if (name == "Crypt") {
      continue;  // the identity crypt filter; others are undone before the chain
    } else if (name == "DCTDecode" || name == "DCT" || name == "JPXDecode" ||
               name == "JBIG2Decode" || name == "CCITTFaxDecode" || name == "CCF") {
      out.clear();
      return Decoded::kImage;
    } else {
      out.clear();
      return Decoded::kBroken;
    }
    if (result != Decoded::kOk) {
      out.clear();
      return result;
    }
    out.swap(next);
    if (predicted && (result = Predict(parm, max_size, out)) != Decoded::kOk) {
      out.clear();
      return result;
    }
  }
  return Decoded::kOk;
}

}  // namespace kelvaro::pdf
