#pragma once

#include <filesystem>
#include <optional>

namespace platform {

/// Full path of the running executable; after its file was replaced while
/// it ran (a package upgrade), the path of the new file.
[[nodiscard]] std::filesystem::path PercorsoEseguibile();

/// Full path of the executable or shared library whose code holds
/// `indirizzo` (the address of any function or object of that module).
/// Empty when the address belongs to no loaded module.
[[nodiscard]] std::filesystem::path PercorsoModulo(const void* indirizzo);

/// The program folder: the folder of the running executable, unless a
/// different one was set with ImpostaCartellaProgramma.
[[nodiscard]] std::filesystem::path CartellaProgramma();

/// Sets the program folder of this module (tests build a whole program
/// folder in a temporary directory); std::nullopt restores the real one.
void ImpostaCartellaProgramma(std::optional<std::filesystem::path> cartella);

}  // namespace platform
