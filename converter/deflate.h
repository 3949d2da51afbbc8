#pragma once
// Compression for the PDF's FlateDecode streams: a zlib stream (RFC 1950)
// holding one deflate block (RFC 1951) of fixed Huffman codes over greedy
// LZ77 matches. Plain rather than tight: page text repeats its operators on
// every line, which is where the saving lies.
#include <string>
#include <string_view>

namespace converter {

std::string ZlibCompress(std::string_view data);

}  // namespace converter
