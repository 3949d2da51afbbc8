#pragma once
// Where vorlen-convert's text goes: its standard output or standard error,
// which hold UTF-8 bytes wherever they lead to a file or a pipe, and show the
// text itself on a Windows console, whatever the console's code page.
#include <cstdio>
#include <string_view>

namespace vorlen::client {

// Writes `utf8` as it stands (line breaks included) to `stream`, stdout or
// stderr, and flushes it.
void Print(std::FILE* stream, std::string_view utf8);

}  // namespace vorlen::client
