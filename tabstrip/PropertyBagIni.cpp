#include "brisko/PropertyBagIni.h"

#include <sys/stat.h>

#include <QBuffer>
#include <QByteArray>
#include <QFontInfo>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <system_error>

#include "brisko/ErroreControllo.h"
#include "platform/FileAtomico.h"
#include "platform/TestoUtf8.h"

namespace brisko {
namespace {

constexpr std::string_view kSezione = "xpVantelTab";

// The largest file read as a state: far beyond any real one, which takes a
// few bytes per tab.
constexpr std::uintmax_t kMassimoByteStato = 16U << 20U;

[[noreturn]] void NonUnoStato(const std::string& motivo) {
  throw ErroreControllo(ErroreControllo::kFormatoFileNonValido,
                        "Formato di file non valido: " + motivo);
}

bool Spazio(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Rifila(std::string_view s) {
  while (!s.empty() && Spazio(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && Spazio(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

[[noreturn]] void TipoSbagliato() {
  throw ErroreControllo(ErroreControllo::kTipoNonCorrispondente);
}

// A text value: plain, or in double quotes with backslash escapes (\n, \r,
// \t, \xHH for the other control characters, and \ before any other).
std::string TestoDa(std::string_view valore) {
  if (valore.size() < 2 || valore.front() != '"' || valore.back() != '"') {
    return std::string(valore);
  }
  std::string testo;
  for (std::size_t i = 1; i + 1 < valore.size(); ++i) {
    char c = valore[i];
    if (c == '\\' && i + 2 < valore.size()) {
      c = valore[++i];
      if (c == 'x' && i + 3 < valore.size() &&
          platform::ValoreCifraEsadecimale(valore[i + 1]) >= 0 &&
          platform::ValoreCifraEsadecimale(valore[i + 2]) >= 0) {
        c = static_cast<char>(platform::ValoreCifraEsadecimale(valore[i + 1]) * 16 +
                              platform::ValoreCifraEsadecimale(valore[i + 2]));
        i += 2;
      } else {
        c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
      }
    }
    testo += c;
  }
  return testo;
}

bool Controllo(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// `testo` in double quotes, with the escapes TestoDa reads: control
// characters, and bytes that are not UTF-8 (which the file as a whole must
// be), become \xHH.
std::string Citato(std::string_view testo) {
  std::string citato = "\"";
  for (std::size_t i = 0; i < testo.size(); ++i) {
    const char c = testo[i];
    char32_t carattere = 0;
    const std::size_t lunghezza =
        static_cast<unsigned char>(c) < 0x80 ? 1 : platform::DecodificaUtf8(testo, i, carattere);
    if (lunghezza > 1) {
      citato += testo.substr(i, lunghezza);
      i += lunghezza - 1;
      continue;
    }
    switch (c) {
      case '\\':
        citato += "\\\\";
        break;
      case '"':
        citato += "\\\"";
        break;
      case '\n':
        citato += "\\n";
        break;
      case '\r':
        citato += "\\r";
        break;
      case '\t':
        citato += "\\t";
        break;
      default:
        if (Controllo(c) || lunghezza == 0) {
          const auto u = static_cast<unsigned char>(c);
          citato += "\\x";
          citato += "0123456789abcdef"[u >> 4U];
          citato += "0123456789abcdef"[u & 0xFU];
        } else {
          citato += c;
        }
    }
  }
  return citato + "\"";
}

// The form TestoDa reads back: control characters are always escaped, since
// a state with any of them raw is not a state (DaTestoDiStato), and so are
// bytes that are not UTF-8, for the same reason.
std::string TestoPer(const std::string& testo) {
  const bool daCitare =
      !testo.empty() &&
      (Spazio(testo.front()) || Spazio(testo.back()) || testo.front() == '"' ||
       std::any_of(testo.begin(), testo.end(), Controllo) || !platform::Utf8Valido(testo));
  return daCitare ? Citato(testo) : testo;
}

// A 32-bit value in decimal (signed, or unsigned up to 4294967295 for
// colours) or in &H hexadecimal (with an optional trailing "&").
std::int32_t InteroDa(std::string_view valore) {
  std::int64_t numero = 0;
  const char* fine = valore.data() + valore.size();
  std::from_chars_result letto{};
  if (valore.size() > 2 && valore[0] == '&' && (valore[1] == 'H' || valore[1] == 'h')) {
    std::string_view cifre = valore.substr(2);
    if (!cifre.empty() && cifre.back() == '&') {
      cifre.remove_suffix(1);
      fine = cifre.data() + cifre.size();
    }
    if (cifre.empty() || cifre.size() > 8) {
      TipoSbagliato();
    }
    letto = std::from_chars(cifre.data(), fine, numero, 16);
  } else {
    letto = std::from_chars(valore.data(), fine, numero, 10);
  }
  if (letto.ec != std::errc() || letto.ptr != fine || valore.empty() ||
      numero < std::numeric_limits<std::int32_t>::min() ||
      numero > std::numeric_limits<std::uint32_t>::max()) {
    TipoSbagliato();
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(numero));
}

// "Family,size[,bold][,italic][,underline][,strikeout]"; a family that
// holds a comma, or that the text form would quote, is in double quotes
// with the text's escapes. A value whose opening quote closes nowhere before
// a comma is an unquoted family, as files written before the quoting have it.
QFont CarattereDa(std::string_view valore) {
  std::optional<std::string> famiglia;
  if (!valore.empty() && valore.front() == '"') {
    std::size_t fine = 1;
    while (fine < valore.size() && valore[fine] != '"') {
      fine += valore[fine] == '\\' ? 2U : 1U;
    }
    if (fine < valore.size() && Rifila(valore.substr(fine + 1)).substr(0, 1) == ",") {
      famiglia = TestoDa(valore.substr(0, fine + 1));
      valore.remove_prefix(fine + 1);
    }
  }
  const QStringList parti = QString::fromUtf8(valore.data(), static_cast<qsizetype>(valore.size()))
                                .split(QLatin1Char(','));
  const QString nome = famiglia ? QString::fromStdString(*famiglia) : parti[0].trimmed();
  if (parti.size() < 2 || nome.trimmed().isEmpty()) {
    TipoSbagliato();
  }
  bool numero = false;
  const double punti = parti[1].trimmed().toDouble(&numero);
  if (!numero || !(punti > 0 && punti <= 1000)) {
    TipoSbagliato();
  }
  QFont carattere(nome);
  if (famiglia) {
    // One name, comma and all: QFont(QString) takes it as a list of
    // families.
    carattere.setFamily(nome);
  }
  carattere.setPointSizeF(punti);
  for (qsizetype i = 2; i < parti.size(); ++i) {
    const QString stile = parti[i].trimmed().toLower();
    if (stile == QLatin1String("bold")) {
      carattere.setBold(true);
    } else if (stile == QLatin1String("italic")) {
      carattere.setItalic(true);
    } else if (stile == QLatin1String("underline")) {
      carattere.setUnderline(true);
    } else if (stile == QLatin1String("strikeout")) {
      carattere.setStrikeOut(true);
    } else {
      TipoSbagliato();
    }
  }
  return carattere;
}

std::string CaratterePer(const QFont& carattere) {
  const std::string famiglia = carattere.family().toStdString();
  // A font set by pixels has no point size of its own: the size it is
  // shown at, in points, reads back as the same font.
  const double punti =
      carattere.pointSizeF() > 0 ? carattere.pointSizeF() : QFontInfo(carattere).pointSizeF();
  std::ostringstream testo;
  testo << (famiglia.find(',') != std::string::npos || TestoPer(famiglia) != famiglia
                ? Citato(famiglia)
                : famiglia)
        << ',' << punti;
  if (carattere.bold()) {
    testo << ",bold";
  }
  if (carattere.italic()) {
    testo << ",italic";
  }
  if (carattere.underline()) {
    testo << ",underline";
  }
  if (carattere.strikeOut()) {
    testo << ",strikeout";
  }
  return testo.str();
}

// Replaces `file` atomically, keeping the permissions of the file it
// replaces. The folder may be one others write to: a link in the file's
// place is followed only as ScriviFileAtomico follows links (another user's
// is refused), and a refusal is a failed write like any other.
void ScriviFile(const std::filesystem::path& file, std::string_view contenuto) {
  std::optional<mode_t> modo;
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    modo = st.st_mode & 0777U;
  }
  try {
    platform::ScriviFileAtomico(file, contenuto, modo);
  } catch (const std::system_error&) {
    throw ErroreControllo(ErroreControllo::kErroreAccessoPercorso);
  }
}

bool Uguali(const Valore& a, const Valore& b) {
  if (a.index() != b.index()) {
    return false;
  }
  if (const auto* immagine = std::get_if<std::shared_ptr<Immagine>>(&a)) {
    return *immagine == std::get<std::shared_ptr<Immagine>>(b);
  }
  return a == b;
}

}  // namespace

PropertyBagIni::PropertyBagIni(std::filesystem::path file) : file_(std::move(file)) {}

PropertyBagIni PropertyBagIni::Carica(const std::filesystem::path& file) {
  std::error_code errore;
  const std::filesystem::file_status stato = std::filesystem::status(file, errore);
  if (!std::filesystem::exists(stato)) {
    throw ErroreControllo(ErroreControllo::kFileNonTrovato);
  }
  if (!std::filesystem::is_regular_file(stato)) {
    // A folder or a device is there, not missing: reading it as a state
    // would fail or never end.
    throw ErroreControllo(ErroreControllo::kErroreAccessoPercorso,
                          "Errore di accesso al percorso/file: non è un file regolare");
  }
  const std::uintmax_t dimensione = std::filesystem::file_size(file, errore);
  if (!errore && dimensione > kMassimoByteStato) {
    NonUnoStato("il file è troppo grande per uno stato (" + std::to_string(dimensione) + " byte)");
  }
  std::ifstream flusso(file, std::ios::binary);
  std::ostringstream testo;
  testo << flusso.rdbuf();
  if (!flusso || flusso.bad()) {
    throw ErroreControllo(ErroreControllo::kErroreAccessoPercorso);
  }
  PropertyBagIni bag = DaTestoDiStato(testo.str(), file.parent_path());
  bag.file_ = file;
  return bag;
}

PropertyBagIni PropertyBagIni::DaTestoDiStato(std::string_view testo,
                                              const std::filesystem::path& cartella) {
  if (testo.size() > kMassimoByteStato) {
    NonUnoStato("il testo è troppo grande per uno stato");
  }
  if (!platform::Utf8Valido(testo)) {
    NonUnoStato("non è testo UTF-8");
  }
  const auto controllo = std::find_if(testo.begin(), testo.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t' && c != '\n' && c != '\r') || u == 0x7F;
  });
  if (controllo != testo.end()) {
    NonUnoStato("contiene dati binari (byte " +
                std::to_string(static_cast<unsigned char>(*controllo)) + " alla posizione " +
                std::to_string(controllo - testo.begin()) + ")");
  }
  PropertyBagIni bag = DaTesto(testo, cartella);
  if (!bag.sezioneTrovata_ &&
      std::any_of(testo.begin(), testo.end(), [](char c) { return !Spazio(c) && c != '\n'; })) {
    NonUnoStato("manca la sezione [" + std::string(kSezione) + "]");
  }
  return bag;
}

PropertyBagIni PropertyBagIni::DaTesto(std::string_view testo,
                                       const std::filesystem::path& cartella) {
  PropertyBagIni bag(cartella / "");
  if (testo.substr(0, 3) == "\xEF\xBB\xBF") {
    testo.remove_prefix(3);
  }
  bool nellaSezione = false;
  while (!testo.empty()) {
    const std::size_t a = testo.find('\n');
    const std::string_view riga = Rifila(testo.substr(0, a));
    testo.remove_prefix(a == std::string_view::npos ? testo.size() : a + 1);
    if (riga.empty() || riga.front() == ';' || riga.front() == '#') {
      continue;
    }
    if (riga.front() == '[') {
      nellaSezione = riga.back() == ']' && platform::UgualiSenzaMaiuscoleAscii(
                                               Rifila(riga.substr(1, riga.size() - 2)), kSezione);
      bag.sezioneTrovata_ = bag.sezioneTrovata_ || nellaSezione;
      continue;
    }
    const std::size_t uguale = riga.find('=');
    if (!nellaSezione || uguale == std::string_view::npos) {
      continue;
    }
    const std::string_view chiave = Rifila(riga.substr(0, uguale));
    if (!chiave.empty() && bag.Cerca(chiave) == nullptr) {
      bag.Aggiungi(chiave, std::string(Rifila(riga.substr(uguale + 1))));
    }
  }
  return bag;
}

const std::string* PropertyBagIni::Cerca(std::string_view nome) const {
  const auto trovata = indice_.find(platform::MinuscoloAscii(nome));
  return trovata == indice_.end() ? nullptr : &voci_[trovata->second].second;
}

void PropertyBagIni::Aggiungi(std::string_view nome, std::string valore) {
  indice_[platform::MinuscoloAscii(nome)] = voci_.size();
  voci_.emplace_back(nome, std::move(valore));
}

Valore PropertyBagIni::ReadProperty(std::string_view nome, const Valore& predefinito) {
  const std::string* valore = Cerca(nome);
  if (valore == nullptr) {
    return predefinito;
  }
  return std::visit(
      [&](const auto& tipo) -> Valore {
        using T = std::decay_t<decltype(tipo)>;
        if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::monostate>) {
          return InteroDa(*valore);
        } else if constexpr (std::is_same_v<T, float>) {
          bool numero = false;
          const float f = QString::fromStdString(*valore).toFloat(&numero);
          if (!numero) {
            TipoSbagliato();
          }
          return f;
        } else if constexpr (std::is_same_v<T, std::string>) {
          return TestoDa(*valore);
        } else if constexpr (std::is_same_v<T, QFont>) {
          return CarattereDa(*valore);
        } else {
          const std::string percorso = TestoDa(*valore);
          if (percorso.empty()) {
            return std::shared_ptr<Immagine>();
          }
          const std::filesystem::path scritto(percorso);
          const std::filesystem::path file =
              scritto.is_absolute() ? scritto : file_.parent_path() / scritto;
          try {
            return Immagine::LoadPicture(file);
          } catch (const ErroreControllo& e) {
            // Kept by name, so that saving the state does not drop the line.
            avvisi_.push_back(std::string(nome) + ": " + percorso + ": " + e.what() + " (errore " +
                              std::to_string(e.Numero()) + ")");
            return std::make_shared<Immagine>(QImage(), TipoImmagine::Nessuna, file);
          }
        }
      },
      predefinito);
}

void PropertyBagIni::WriteProperty(std::string_view nome, const Valore& valore,
                                   const Valore& predefinito) {
  if (const auto trovata = indice_.find(platform::MinuscoloAscii(nome)); trovata != indice_.end()) {
    voci_.erase(voci_.begin() + static_cast<std::ptrdiff_t>(trovata->second));
    indice_.clear();
    for (std::size_t i = 0; i < voci_.size(); ++i) {
      indice_[platform::MinuscoloAscii(voci_[i].first)] = i;
    }
  }
  if (Uguali(valore, predefinito)) {
    return;
  }
  const std::string testo = std::visit(
      [&](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return {};
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
          return std::to_string(v);
        } else if constexpr (std::is_same_v<T, float>) {
          return QString::number(static_cast<double>(v)).toStdString();
        } else if constexpr (std::is_same_v<T, std::string>) {
          return TestoPer(v);
        } else if constexpr (std::is_same_v<T, QFont>) {
          return CaratterePer(v);
        } else {
          if (!v) {
            return {};
          }
          std::filesystem::path file = v->Origine();
          if (file.empty()) {
            // A picture made in memory is kept beside the state file.
            file = file_.parent_path() / (file_.stem().string() + "." + std::string(nome) + ".bmp");
            QByteArray bmp;
            QBuffer buffer(&bmp);
            if (file_.filename().empty() || !buffer.open(QIODevice::WriteOnly) ||
                !v->Pixel().save(&buffer, "BMP")) {
              throw ErroreControllo(ErroreControllo::kErroreAccessoPercorso);
            }
            ScriviFile(file,
                       std::string_view(bmp.constData(), static_cast<std::size_t>(bmp.size())));
          }
          std::error_code errore;
          const std::filesystem::path cartella =
              std::filesystem::absolute(file_.parent_path(), errore);
          const std::filesystem::path relativo =
              std::filesystem::absolute(file, errore).lexically_relative(cartella);
          return TestoPer((relativo.empty() ? file : relativo).generic_string());
        }
      },
      valore);
  Aggiungi(nome, testo);
}

std::string PropertyBagIni::Testo() const {
  std::string testo = "[" + std::string(kSezione) + "]\n";
  for (const auto& [chiave, valore] : voci_) {
    testo += chiave + "=" + valore + "\n";
  }
  return testo;
}

void PropertyBagIni::Salva() {
  if (file_.filename().empty()) {
    throw ErroreControllo(ErroreControllo::kErroreAccessoPercorso);
  }
  ScriviFile(file_, Testo());
}

}  // namespace brisko
