// orvane-reg: reads and changes the registry store from the command line, so
// that support staff can set up a machine (the settings Tervan reads, the
// autostart entry) and look at what is there. Its commands follow the
// Windows "reg" tool.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/Descrittore.h"
#include "platform/FileAtomico.h"
#include "platform/Percorsi.h"
#include "platform/PrefissoWine.h"
#include "platform/Registro.h"
#include "platform/RegistroFormato.h"
#include "platform/TestoUtf8.h"
#include "platform/UscitaStandard.h"

namespace {

using platform::HKEY;
using platform::LSTATUS;

constexpr int kRiuscito = 0;
constexpr int kFallito = 1;
constexpr int kUsoErrato = 2;
// The largest .reg file import reads: as large as a root of the store is
// ever read.
constexpr std::size_t kImportMassimo = 64U << 20U;

constexpr std::string_view kUso =
    "Uso:\n"
    "  orvane-reg query  CHIAVE [/v NOME | /ve] [/s]\n"
    "  orvane-reg add    CHIAVE [/v NOME | /ve] [/t TIPO] [/d DATI] [/f]\n"
    "  orvane-reg delete CHIAVE [/v NOME | /ve | /va] [/f]\n"
    "  orvane-reg import FILE.reg\n"
    "  orvane-reg export CHIAVE [FILE.reg]\n"
    "\n"
    "CHIAVE   radice\\percorso, per esempio \"HKCU\\Software\\VB and VBA Program Settings\"\n"
    "         (radici: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,\n"
    "         HKEY_CURRENT_CONFIG o le forme brevi HKCR, HKCU, HKLM, HKU, HKCC)\n"
    "/v NOME  il valore NOME; /ve il valore predefinito; /va tutti i valori della chiave\n"
    "/t TIPO  REG_SZ (predefinito), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD,\n"
    "         REG_BINARY, REG_NONE\n"
    "/d DATI  i dati: testo; un numero decimale o 0x esadecimale per REG_DWORD e REG_QWORD;\n"
    "         cifre esadecimali per REG_BINARY; stringhe separate da \\0 per REG_MULTI_SZ\n"
    "/s       con query: anche tutte le sottochiavi\n"
    "/f       con delete di una chiave intera: conferma la cancellazione\n"
    "\n"
    "export scrive il file come l'Editor del Registro di Windows (UTF-16); senza FILE.reg\n"
    "lo scrive sull'uscita standard, in UTF-8 se questa è un terminale. import legge anche\n"
    "i file in UTF-8 e i file \"REGEDIT4\" (codifica Windows-1252).\n"
    "\n"
    "Il registro sta nella cartella $ORVANE_REGISTRY (predefinita:\n"
    "$XDG_CONFIG_HOME/orvane/registry). Sotto HKCU e HKLM si leggono anche, senza mai\n"
    "modificarli, user.reg e system.reg del prefisso Wine ($ORVANE_WINEPREFIX, oppure\n"
    "$WINEPREFIX o ~/.wine se contiene system.reg): query indica i valori che vengono da lì\n"
    "con \"[Wine: FILE]\"; un valore scritto qui prevale su quello del prefisso.\n"
    "Esito: 0 riuscito, 1 non riuscito, 2 uso errato.\n";

int UsoErrato(const std::string& messaggio) {
  std::cerr << "orvane-reg: " << messaggio << "\n\n" << kUso;
  return kUsoErrato;
}

int Fallito(const std::string& messaggio) {
  std::cerr << "orvane-reg: ERRORE: " << messaggio << "\n";
  return kFallito;
}

std::string DescriviCodice(LSTATUS codice) {
  switch (codice) {
    case platform::ERROR_FILE_NOT_FOUND:
      return "chiave o valore inesistente";
    case platform::ERROR_ACCESS_DENIED:
      return "accesso negato (una chiave con sottochiavi si cancella solo intera; il prefisso "
             "Wine e le voci di avvio di altri programmi non vengono mai modificati)";
    case platform::ERROR_INVALID_HANDLE:
      return "radice sconosciuta";
    case platform::ERROR_INVALID_PARAMETER:
      return "nome o dati non validi";
    case platform::ERROR_BAD_PATHNAME:
      return "percorso di chiave non valido";
    case platform::ERROR_KEY_DELETED:
      return "la chiave è stata cancellata";
    case platform::ERROR_BADDB:
      return "il file del registro ha righe non valide e non viene modificato";
    case platform::ERROR_NOT_ENOUGH_MEMORY:
      return "memoria esaurita";
    default:
      return "errore del registro " + std::to_string(codice);
  }
}

bool Opzione(std::string_view arg, std::string_view nome) {
  if (arg.size() != nome.size() + 1 || (arg[0] != '/' && arg[0] != '-')) return false;
  for (std::size_t i = 0; i < nome.size(); ++i) {
    const char c = arg[i + 1];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != nome[i]) return false;
  }
  return true;
}

struct Argomenti {
  HKEY radice = 0;
  std::string sottochiave;
  std::string testoChiave;
  std::optional<std::string> valore;  // /v NOME or /ve ("")
  bool tuttiIValori = false;          // /va
  std::string tipo = "REG_SZ";
  std::optional<std::string> dati;
  bool ricorsivo = false;
  bool forzato = false;
  std::vector<std::string> posizionali;
};

// Reads CHIAVE and the switches after the command; an error message or "".
std::string LeggiArgomenti(const std::vector<std::string>& args, Argomenti& a) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto seguente = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string testo;
    if (Opzione(arg, "v")) {
      if (a.valore || !seguente(testo)) return "/v vuole un nome di valore (e uno solo)";
      a.valore = testo;
    } else if (Opzione(arg, "ve")) {
      if (a.valore) return "indicare un solo valore";
      a.valore = std::string();
    } else if (Opzione(arg, "va")) {
      a.tuttiIValori = true;
    } else if (Opzione(arg, "t")) {
      if (!seguente(a.tipo)) return "/t vuole un tipo";
    } else if (Opzione(arg, "d")) {
      if (!seguente(testo)) return "/d vuole i dati";
      a.dati = testo;
    } else if (Opzione(arg, "s")) {
      a.ricorsivo = true;
    } else if (Opzione(arg, "f")) {
      a.forzato = true;
    } else {
      a.posizionali.push_back(arg);
    }
  }
  if (a.posizionali.empty()) return "manca la chiave";
  a.testoChiave = a.posizionali.front();
  const std::size_t barra = a.testoChiave.find('\\');
  a.radice = platform::RadiceRegistro(a.testoChiave.substr(0, barra));
  if (a.radice == 0) return "radice sconosciuta in \"" + a.testoChiave + "\"";
  if (barra != std::string::npos) a.sottochiave = a.testoChiave.substr(barra + 1);
  return {};
}

// A key opened for the length of a command.
class Chiave {
 public:
  Chiave() = default;
  ~Chiave() {
    if (h_ != 0) platform::RegCloseKey(h_);
  }
  Chiave(const Chiave&) = delete;
  Chiave& operator=(const Chiave&) = delete;
  LSTATUS Apri(HKEY radice, const std::string& sottochiave, std::uint32_t accesso) {
    return platform::RegOpenKeyEx(radice, sottochiave, 0, accesso, h_);
  }
  LSTATUS Crea(HKEY radice, const std::string& sottochiave) {
    return platform::RegCreateKeyEx(radice, sottochiave, 0, platform::KEY_ALL_ACCESS, h_);
  }
  [[nodiscard]] HKEY H() const { return h_; }

 private:
  HKEY h_ = 0;
};

std::string NomeTipo(std::uint32_t tipo) {
  switch (tipo) {
    case platform::REG_NONE:
      return "REG_NONE";
    case platform::REG_SZ:
      return "REG_SZ";
    case platform::REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case platform::REG_BINARY:
      return "REG_BINARY";
    case platform::REG_DWORD:
      return "REG_DWORD";
    case platform::REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case platform::REG_QWORD:
      return "REG_QWORD";
    default: {
      std::ostringstream numero;
      numero << "REG_0x" << std::hex << tipo;
      return numero.str();
    }
  }
}

std::optional<std::uint32_t> TipoDaNome(const std::string& nome) {
  for (const std::uint32_t t :
       {platform::REG_NONE, platform::REG_SZ, platform::REG_EXPAND_SZ, platform::REG_BINARY,
        platform::REG_DWORD, platform::REG_MULTI_SZ, platform::REG_QWORD}) {
    std::string atteso = NomeTipo(t);
    if (platform::UgualiSenzaMaiuscoleAscii(nome, atteso)) {
      return t;
    }
  }
  return std::nullopt;
}

std::uint64_t NumeroPiccolo(std::string_view dati, std::size_t byte) {
  std::uint64_t n = 0;
  for (std::size_t k = 0; k < byte && k < dati.size(); ++k) {
    n |= static_cast<std::uint64_t>(static_cast<unsigned char>(dati[k])) << (8 * k);
  }
  return n;
}

std::string TestoDati(std::uint32_t tipo, const std::string& dati) {
  std::ostringstream out;
  if (tipo == platform::REG_SZ || tipo == platform::REG_EXPAND_SZ) {
    out << dati.substr(0, dati.find('\0'));
  } else if (tipo == platform::REG_MULTI_SZ) {
    std::string_view resto(dati);
    bool primo = true;
    while (!resto.empty() && resto.front() != '\0') {
      const std::size_t fine = std::min(resto.find('\0'), resto.size());
      if (!primo) out << "\\0";
      out << resto.substr(0, fine);
      primo = false;
      resto.remove_prefix(std::min(fine + 1, resto.size()));
    }
  } else if (tipo == platform::REG_DWORD && dati.size() == 4) {
    out << "0x" << std::hex << NumeroPiccolo(dati, 4);
  } else if (tipo == platform::REG_QWORD && dati.size() == 8) {
    out << "0x" << std::hex << NumeroPiccolo(dati, 8);
  } else {
    static constexpr std::string_view kCifre = "0123456789ABCDEF";
    for (const char c : dati) {
      const auto b = static_cast<unsigned char>(c);
      out << kCifre[b >> 4U] << kCifre[b & 0x0FU];
    }
  }
  return out.str();
}

// The bytes of /d for a type; std::nullopt when the text does not fit it.
std::optional<std::string> DatiDaTesto(std::uint32_t tipo, const std::string& testo) {
  if (tipo == platform::REG_SZ || tipo == platform::REG_EXPAND_SZ) return testo + '\0';
  if (tipo == platform::REG_MULTI_SZ) {
    std::string out;
    std::size_t inizio = 0;
    while (!testo.empty()) {
      const std::size_t sep = testo.find("\\0", inizio);
      out += testo.substr(inizio, sep == std::string::npos ? sep : sep - inizio);
      out += '\0';
      if (sep == std::string::npos) break;
      inizio = sep + 2;
    }
    return out + '\0';
  }
  if (tipo == platform::REG_DWORD || tipo == platform::REG_QWORD) {
    const std::size_t byte = tipo == platform::REG_DWORD ? 4 : 8;
    if (testo.empty() || testo.front() == '-') return std::nullopt;
    std::size_t usati = 0;
    std::uint64_t n = 0;
    try {
      n = std::stoull(testo, &usati, 0);
    } catch (const std::exception&) {
      return std::nullopt;
    }
    if (usati != testo.size() || (byte == 4 && n > 0xFFFFFFFFULL)) return std::nullopt;
    std::string out;
    for (std::size_t k = 0; k < byte; ++k)
      out += static_cast<char>((n >> (8 * k)) & 0xFFU);
    return out;
  }
  // Hex digits, two per byte.
  if (testo.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < testo.size(); i += 2) {
    const int alta = platform::ValoreCifraEsadecimale(testo[i]);
    const int bassa = platform::ValoreCifraEsadecimale(testo[i + 1]);
    if (alta < 0 || bassa < 0) return std::nullopt;
    out += static_cast<char>(alta * 16 + bassa);
  }
  return out;
}

// Names and texts as a terminal shows them, control characters as \xHH
// (platform::ControlliVisibili): a program in the Wine prefix may name a key
// or a value with line breaks and terminal escapes, and must not forge the
// lines people or scripts read.
std::string NomeMostrato(const std::string& nome) {
  return nome.empty() ? "(Predefinito)" : platform::ControlliVisibili(nome);
}

// One value as query shows it; a value read from the Wine prefix says so.
void StampaValore(HKEY h, const std::string& nome, std::uint32_t tipo, const std::string& dati) {
  std::cout << "    " << NomeMostrato(nome) << "    " << NomeTipo(tipo) << "    "
            << platform::ControlliVisibili(TestoDati(tipo, dati));
  platform::OrigineValoreRegistro origine;
  if (platform::OrigineValore(h, nome, origine) == platform::ERROR_SUCCESS && origine.wine) {
    std::cout << "    [Wine: " << origine.file.string() << "]";
  }
  std::cout << "\n";
}

// The key and, with `ricorsivo`, the keys below it down to kLivelliMostrati
// levels: a Wine prefix may hold keys thousands of levels deep, and each
// level shown holds its path.
constexpr int kLivelliMostrati = 512;

int StampaChiave(HKEY h, const std::string& percorso, bool ricorsivo, int livello = 0) {
  std::cout << percorso << "\n";
  std::string nome;
  std::uint32_t tipo = 0;
  std::string dati;
  for (std::uint32_t i = 0;; ++i) {
    const LSTATUS r = platform::RegEnumValue(h, i, nome, &tipo, &dati);
    if (r == platform::ERROR_NO_MORE_ITEMS) break;
    if (r != platform::ERROR_SUCCESS) return Fallito(DescriviCodice(r));
    StampaValore(h, nome, tipo, dati);
  }
  std::cout << "\n";
  std::vector<std::string> sottochiavi;
  for (std::uint32_t i = 0;; ++i) {
    const LSTATUS r = platform::RegEnumKeyEx(h, i, nome);
    if (r == platform::ERROR_NO_MORE_ITEMS) break;
    if (r != platform::ERROR_SUCCESS) return Fallito(DescriviCodice(r));
    sottochiavi.push_back(nome);
  }
  for (const auto& s : sottochiavi) {
    if (!ricorsivo || livello + 1 >= kLivelliMostrati) {
      std::cout << percorso << "\\" << platform::ControlliVisibili(s) << "\n";
      continue;
    }
    Chiave figlia;
    if (const LSTATUS r = figlia.Apri(h, s, platform::KEY_READ); r != platform::ERROR_SUCCESS) {
      return Fallito(DescriviCodice(r));
    }
    if (const int esito = StampaChiave(figlia.H(), percorso + "\\" + platform::ControlliVisibili(s),
                                       true, livello + 1);
        esito != 0) {
      return esito;
    }
  }
  return kRiuscito;
}

int Query(const Argomenti& a) {
  if (a.posizionali.size() > 1) return UsoErrato("troppi argomenti");
  Chiave k;
  if (const LSTATUS r = k.Apri(a.radice, a.sottochiave, platform::KEY_READ);
      r != platform::ERROR_SUCCESS) {
    return Fallito(DescriviCodice(r));
  }
  if (!a.valore) return StampaChiave(k.H(), a.testoChiave, a.ricorsivo);
  std::uint32_t tipo = 0;
  std::string dati;
  if (const LSTATUS r = platform::LeggiValoreRegistro(k.H(), *a.valore, tipo, dati);
      r != platform::ERROR_SUCCESS) {
    return Fallito(DescriviCodice(r));
  }
  std::cout << a.testoChiave << "\n";
  StampaValore(k.H(), *a.valore, tipo, dati);
  return kRiuscito;
}

int Add(const Argomenti& a) {
  if (a.posizionali.size() > 1) return UsoErrato("troppi argomenti");
  const auto tipo = TipoDaNome(a.tipo);
  if (!tipo) return UsoErrato("tipo sconosciuto: " + a.tipo);
  std::optional<std::string> dati;
  if (a.valore) {
    dati = DatiDaTesto(*tipo, a.dati.value_or(""));
    if (!dati)
      return UsoErrato("dati non validi per " + NomeTipo(*tipo) + ": " + a.dati.value_or(""));
  } else if (a.dati) {
    return UsoErrato("/d vuole /v o /ve");
  }
  Chiave k;
  if (const LSTATUS r = k.Crea(a.radice, a.sottochiave); r != platform::ERROR_SUCCESS) {
    return Fallito(DescriviCodice(r));
  }
  if (dati) {
    const std::string& byte = *dati;
    const LSTATUS r = platform::RegSetValueEx(k.H(), *a.valore, *tipo, byte.data(),
                                              static_cast<std::uint32_t>(byte.size()));
    if (r != platform::ERROR_SUCCESS) return Fallito(DescriviCodice(r));
  }
  std::cout << "Operazione completata.\n";
  return kRiuscito;
}

int Delete(const Argomenti& a) {
  if (a.posizionali.size() > 1) return UsoErrato("troppi argomenti");
  if (a.valore && a.tuttiIValori) return UsoErrato("/va esclude /v e /ve");
  if (!a.valore && !a.tuttiIValori) {
    if (!a.forzato) {
      return UsoErrato(
          "per cancellare la chiave intera, con tutto ciò che contiene, aggiungere /f");
    }
    if (a.sottochiave.empty()) return Fallito("una radice non si cancella");
    if (const LSTATUS r = platform::RegDeleteTree(a.radice, a.sottochiave);
        r != platform::ERROR_SUCCESS) {
      return Fallito(DescriviCodice(r));
    }
    std::cout << "Operazione completata.\n";
    return kRiuscito;
  }
  Chiave k;
  if (const LSTATUS r = k.Apri(a.radice, a.sottochiave, platform::KEY_ALL_ACCESS);
      r != platform::ERROR_SUCCESS) {
    return Fallito(DescriviCodice(r));
  }
  std::vector<std::string> nomi;
  if (a.valore) {
    nomi.push_back(*a.valore);
  } else {
    std::string nome;
    for (std::uint32_t i = 0;
         platform::RegEnumValue(k.H(), i, nome, nullptr, nullptr) == platform::ERROR_SUCCESS; ++i) {
      nomi.push_back(nome);
    }
  }
  for (const auto& nome : nomi) {
    if (const LSTATUS r = platform::RegDeleteValue(k.H(), nome); r != platform::ERROR_SUCCESS) {
      return Fallito(NomeMostrato(nome) + ": " + DescriviCodice(r));
    }
  }
  std::cout << "Operazione completata.\n";
  return kRiuscito;
}

int Import(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsoErrato("import vuole un file .reg");
  // A regular file only, and no more than a root of the store may hold: a
  // folder, a FIFO or /dev/zero is a clear failure, not an abort or a wait.
  std::string testo;
  try {
    const platform::Descrittore fd(::open(args[0].c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.Fd() < 0 || ::fstat(fd.Fd(), &st) != 0)
      throw std::system_error(errno, std::generic_category(), args[0]);
    if (!S_ISREG(st.st_mode))
      throw std::system_error(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, std::generic_category(),
                              args[0]);
    testo = platform::LeggiAlPiu(fd.Fd(), kImportMassimo, args[0]);
    if (testo.size() > kImportMassimo)
      throw std::system_error(EFBIG, std::generic_category(), args[0]);
  } catch (const std::system_error& e) {
    return Fallito(std::string("impossibile leggere ") + e.what());
  }
  std::vector<platform::ProblemaRegistro> problemi;
  const LSTATUS r = platform::ImportaRegistro(testo, problemi);
  if (!problemi.empty()) {
    for (const auto& p : problemi) {
      std::cerr << args[0] << ":" << p.riga << ": " << p.descrizione << "\n";
    }
    return Fallito("nulla è stato importato: correggere le righe indicate");
  }
  if (r != platform::ERROR_SUCCESS) return Fallito(DescriviCodice(r));
  std::cout << "Importazione completata.\n";
  return kRiuscito;
}

// An exported file as a terminal shows it: its lines in UTF-8, each with its
// control characters as \xHH, as query shows them. The file keeps whatever
// a program in the Wine prefix wrote into a text, terminal escapes included.
std::string FilePerTerminale(const std::string& file) {
  std::string out;
  std::istringstream righe(platform::TestoUtf8DelFileRegistro(file));
  for (std::string riga; std::getline(righe, riga);) {
    if (!riga.empty() && riga.back() == '\r') riga.pop_back();
    out += platform::ControlliVisibili(riga) + "\n";
  }
  return out;
}

int Export(const Argomenti& a) {
  if (a.posizionali.size() > 2) return UsoErrato("troppi argomenti");
  std::string testo;
  if (const LSTATUS r = platform::EsportaRegistro(a.radice, a.sottochiave, testo);
      r != platform::ERROR_SUCCESS) {
    return Fallito(DescriviCodice(r));
  }
  if (a.posizionali.size() == 1) {
    // The file as the Windows editor writes it (UTF-16), so that it can be
    // redirected to a file or piped on; on a terminal, to be read, in UTF-8.
    std::cout << (::isatty(STDOUT_FILENO) != 0 ? FilePerTerminale(testo) : testo);
    return kRiuscito;
  }
  // An earlier export stays whole until the new one is.
  try {
    platform::ScriviFileAtomico(a.posizionali[1], testo);
  } catch (const std::system_error& e) {
    return Fallito(std::string("impossibile scrivere ") + e.what());
  }
  return kRiuscito;
}

int Esegui(const std::vector<std::string>& args) {
  if (args.empty()) return UsoErrato("manca il comando");
  const std::string comando = platform::MinuscoloAscii(args.front());
  const std::vector<std::string> resto(args.begin() + 1, args.end());
  if (comando == "-h" || comando == "--help" || comando == "/?" || comando == "help") {
    std::cout << kUso;
    return kRiuscito;
  }
  if (comando == "--version" && resto.empty()) {
    std::cout << "orvane-reg " ORVANE_VERSIONE "\n";
    return kRiuscito;
  }
  if (comando == "import" || comando == "query" || comando == "add" || comando == "delete" ||
      comando == "export") {
    // Which store and which Wine prefix an operation reads depend on these:
    // a broken settings file or a relative folder variable is said here,
    // rather than the operation going to another store or prefix.
    try {
      platform::ControllaVariabiliCartelle();
      (void)platform::PrefissoWine();
    } catch (const std::runtime_error& e) {
      return Fallito(e.what());
    }
  }
  if (comando == "import") return Import(resto);
  if (comando != "query" && comando != "add" && comando != "delete" && comando != "export") {
    return UsoErrato("comando sconosciuto: " + args.front());
  }
  Argomenti a;
  if (const std::string errore = LeggiArgomenti(resto, a); !errore.empty()) {
    return UsoErrato(errore);
  }
  if (comando == "query") return Query(a);
  if (comando == "add") return Add(a);
  if (comando == "delete") return Delete(a);
  return Export(a);
}

}  // namespace

int main(int argc, char** argv) {
  platform::RiapriDescrittoriStandard();
  // A write past the file size limit (ulimit -f) fails with EFBIG and is
  // reported, rather than killing the tool with its temporary file left.
  (void)std::signal(SIGXFSZ, SIG_IGN);
  // A result that did not reach standard output is a failure, not a success.
  return platform::UscitaStandardScritta(
      Esegui(std::vector<std::string>(argv + std::min(argc, 1), argv + argc)),
      "orvane-reg: ERRORE: ");
}
