#pragma once
// Where the native vorlen-convert finds its converter when no --converter is
// given: the VORLEN_CONVERTER variable, then a `vorlen` beside the client
// itself, then the first `vorlen` on PATH.
#include <filesystem>
#include <optional>

namespace vorlen::client {

std::optional<std::filesystem::path> FindConverter(const char* argv0);

}  // namespace vorlen::client
