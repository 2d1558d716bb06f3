#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "brisko/Esporta.h"
#include "brisko/PropertyBag.h"

namespace brisko {

/// A property bag kept as an INI file with the one section [xpVantelTab]:
///
///   [xpVantelTab]
///   TabHeight=22
///   BackColor=14215660
///   ForeColor=-2147483630
///   Font=Tahoma,8
///   NumberOfTabs=1
///   TabWidth1=75
///   TabText1=Principale
///   TabPicture1=immagini/principale.bmp
///
/// Numbers and colours are decimal (colours as their 32-bit OLE value,
/// system colours negative); "&H" hexadecimal is read too. Pictures are
/// files named relative to the state file; a font is its family and size in
/// points, optionally followed by bold, italic, underline, strikeout (a
/// family with a comma is written as a quoted text). A text with leading or
/// trailing blanks, quotes, control characters or bytes that are not UTF-8
/// is written in double quotes with backslash escapes (\xHH for those
/// bytes). Lines outside the section, comments (";" or "#") and lines
/// without "=" are skipped; of a key written twice the first counts. A
/// picture file that is missing or holds no picture reads as an empty
/// picture that keeps its name (so saving the state keeps the line) and is
/// listed in Avvisi().
class BRISKO_API PropertyBagIni final : public PropertyBag {
 public:
  /// An empty bag that saves to `file` (pictures are named relative to its
  /// folder).
  explicit PropertyBagIni(std::filesystem::path file);

  /// The bag stored in `file`. Throws ErroreControllo 53 when the file does
  /// not exist, 75 when it cannot be read or is no regular file (a folder, a
  /// device), 321 when it is not a state (see DaTestoDiStato).
  [[nodiscard]] static PropertyBagIni Carica(const std::filesystem::path& file);

  /// Like DaTesto, for the text of a file someone named as a state: throws
  /// ErroreControllo 321 unless it is UTF-8 text without control characters
  /// other than tab and line ends, and, when not blank, holds the section
  /// [xpVantelTab].
  [[nodiscard]] static PropertyBagIni DaTestoDiStato(std::string_view testo,
                                                     const std::filesystem::path& cartella = {});

  /// A bag read from the text of a state file; pictures are looked up
  /// relative to `cartella`.
  [[nodiscard]] static PropertyBagIni DaTesto(std::string_view testo,
                                              const std::filesystem::path& cartella = {});

  /// Writes the bag to its file, atomically, keeping the file's permissions.
  /// A symbolic link in its place is followed only when it is the writer's,
  /// root's or the owner's of the folder it leads to. Throws ErroreControllo
  /// 75 when the file cannot be written or another user's link is in the way.
  /// A picture that came from no file is written beside it as a BMP file,
  /// in the same way, when WriteProperty stores it.
  void Salva();

  /// The state file's text as Salva writes it.
  [[nodiscard]] std::string Testo() const;

  /// What reading could use only in part, one line each ("TabPicture2:
  /// manca.bmp: ..."), in the order it was met.
  [[nodiscard]] const std::vector<std::string>& Avvisi() const noexcept { return avvisi_; }

  [[nodiscard]] Valore ReadProperty(std::string_view nome, const Valore& predefinito) override;
  void WriteProperty(std::string_view nome, const Valore& valore,
                     const Valore& predefinito = {}) override;

 private:
  [[nodiscard]] const std::string* Cerca(std::string_view nome) const;
  void Aggiungi(std::string_view nome, std::string valore);

  std::filesystem::path file_;
  std::vector<std::pair<std::string, std::string>> voci_;
  /// Position in voci_ of each key in lower case: a state with thousands of
  /// tabs is read without scanning the whole list for every key.
  std::unordered_map<std::string, std::size_t> indice_;
  std::vector<std::string> avvisi_;
  bool sezioneTrovata_ = false;
};

}  // namespace brisko
