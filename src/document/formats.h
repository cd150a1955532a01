// The readers of each kind of document, behind ReadDocument.
#pragma once

#include <string>
#include <vector>

#include "document/document.h"

namespace kelvaro::formats {

bool ReadText(const Bytes& bytes, std::vector<TextPiece>& pieces);
bool ReadCsv(const Bytes& bytes, std::vector<TextPiece>& pieces);
bool ReadDocx(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error);
bool ReadXlsx(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error);
bool ReadPdf(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error);
// Word and Excel 97-2003 and WPS text documents, or what else such a name holds
// (binary_office.cpp).
bool ReadDoc(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error);
bool ReadXls(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error);
bool ReadWps(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error);

}  // namespace kelvaro::formats
