#pragma once
// Where vorlen-convert finds its converter when no --converter is given: the
// VORLEN_CONVERTER variable, then the converter beside the client itself
// (`vorlen`, `vorlen.exe` on Windows), then, natively, the first `vorlen` on
// PATH.
#include <filesystem>
#include <optional>

namespace vorlen::client {

std::optional<std::filesystem::path> FindConverter(const char* argv0);

}  // namespace vorlen::client
