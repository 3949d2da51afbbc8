#pragma once
// Paths and the references that documents make to other files.
#include <optional>
#include <string>
#include <string_view>

namespace converter {

// The folder part of a path, without its last separator; "" for a bare name.
std::string DirectoryOf(std::string_view path);
std::string JoinPath(std::string_view directory, std::string_view name);

// The output path used when none is given: the input's path with the
// extension .pdf in place of its own (appended when the name has none, or
// when the input itself ends in .pdf, so that the input is never overwritten).
std::string DefaultOutputPath(std::string_view inputPath);

// The local file that a reference names, resolved against the base URL when
// one is given and otherwise against the document's folder. Nothing for
// references that this machine cannot check: other schemes than file:, or a
// remote base URL.
std::optional<std::string> ResolveReference(std::string_view target, std::string_view baseUrl,
                                            std::string_view documentPath);

}  // namespace converter
