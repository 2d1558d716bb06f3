#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "ServizioProva.h"
#include "platform/Descrittore.h"
#include "service/ArchivioServizio.h"
#include "service/CartellaDati.h"
#include "service/CatalogoServizio.h"
#include "tests/support/AltroUtente.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"

namespace orvane::servizio::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Key;
using ::testing::Not;

namespace fs = std::filesystem;

// Runs `comando` (the service and its options, maybe behind a wrapper) on
// the data folder `dati`, its output in `cartella`, and stops it once it
// listens: 0 then, otherwise how it ended.
int AvviaEFerma(const orvane::test::CartellaTemporanea& cartella, const fs::path& dati,
                std::vector<std::string> comando) {
  comando.insert(comando.end(), {"--data", dati.string(), "--listen", "127.0.0.1:0"});
  orvane::test::Processo servizio(comando.front(), {comando.begin() + 1, comando.end()}, {},
                                  cartella.Percorso());
  if (!orvane::test::AttendiRiga(servizio, cartella / "stdout", "In ascolto su ",
                                 std::chrono::seconds(30))
           .empty()) {
    return servizio.Termina(SIGTERM) == 0 ? 0 : -1;
  }
  return servizio.Attendi(std::chrono::seconds(10)).value_or(-1);
}

// The entries of a zip archive, by name, with their bytes (none when the
// archive does not open whole).
std::map<std::string, std::string> VociZip(const std::string& byte) {
  const orvane::test::CartellaTemporanea cartella;
  orvane::test::ScriviFile(cartella / "a.zip", byte);
  std::map<std::string, std::string> voci;
  zip_t* archivio = zip_open((cartella / "a.zip").c_str(), ZIP_CHECKCONS | ZIP_RDONLY, nullptr);
  const auto quante = archivio != nullptr ? zip_get_num_entries(archivio, 0) : 0;
  for (zip_uint64_t i = 0; std::cmp_less(i, quante); ++i) {
    zip_stat_t st;
    zip_file_t* voce =
        zip_stat_index(archivio, i, 0, &st) == 0 ? zip_fopen_index(archivio, i, 0) : nullptr;
    if (voce == nullptr) continue;
    std::string dati(st.size, '\0');
    if (zip_fread(voce, dati.data(), dati.size()) == static_cast<zip_int64_t>(st.size))
      voci[st.name] = dati;
    zip_fclose(voce);
  }
  if (archivio != nullptr) zip_discard(archivio);
  return voci;
}

// A connection of its own to the service (-1 when it fails), with a
// receive buffer of `buffer` bytes when one is given. With SOCK_NONBLOCK in
// `tipo` it may still be on its way.
int Collega(ServizioProva& servizio, int buffer = 0, int tipo = 0) {
  const int presa = ::socket(AF_INET, SOCK_STREAM | tipo, 0);
  if (presa < 0) return -1;
  if (buffer > 0) ::setsockopt(presa, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
  sockaddr_in indirizzo{};
  indirizzo.sin_family = AF_INET;
  indirizzo.sin_port = htons(static_cast<std::uint16_t>(std::stoi(servizio.Server().substr(17))));
  ::inet_pton(AF_INET, "127.0.0.1", &indirizzo.sin_addr);
  if (::connect(presa, reinterpret_cast<const sockaddr*>(&indirizzo), sizeof indirizzo) != 0 &&
      errno != EINPROGRESS) {
    ::close(presa);
    return -1;
  }
  return presa;
}

void Invia(int presa, const std::string& testo) {
  EXPECT_EQ(::send(presa, testo.data(), testo.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(testo.size()));
}

// What the service sends until it closes the connection, which is closed.
std::string LeggiFinoAllaChiusura(int presa) {
  std::string risposta;
  std::vector<char> blocco(std::size_t{1} << 16U);
  for (ssize_t n = 0; (n = ::recv(presa, blocco.data(), blocco.size(), 0)) > 0;)
    risposta.append(blocco.data(), static_cast<std::size_t>(n));
  ::close(presa);
  return risposta;
}

TEST(ServizioHttpTest, PackageFilesAreRealZipsServedByTheirCodeAndNothingElseIsServed) {
  ServizioProva servizio;
  const auto zip = servizio.Leggi("/ServizioAggiornamenti/download/Aggiornamento00042.zip");
  ASSERT_EQ(zip->status, 200);
  EXPECT_EQ(zip->get_header_value("Content-Type"), "application/zip");
  EXPECT_THAT(VociZip(zip->body), ElementsAre(Key("LEGGIMI.txt"), Key("dati/tabella.sql")));
  EXPECT_EQ(zip->body.size(),
            std::filesystem::file_size(servizio.FilePacchetto("Aggiornamento00042.zip")));
  // A code may have more than five digits.
  fs::copy_file(servizio.FilePacchetto("Aggiornamento00042.zip"),
                servizio.FilePacchetto("Aggiornamento100042.zip"));
  EXPECT_EQ(servizio.Leggi("/ServizioAggiornamenti/download/Aggiornamento100042.zip")->body,
            zip->body);

  // Another code or spelling, a way out of the folder, names longer than
  // the file system allows.
  for (const std::string& nome :
       {std::string("Aggiornamento00043.zip"), std::string("Aggiornamento42.zip"),
        std::string("../servizio.sqlite"), std::string("%2e%2e/servizio.sqlite"), std::string(),
        "Aggiornamento" + std::string(300, '0') + "1.zip",
        "Aggiornamento" + std::string(5000, '0') + "1.zip"}) {
    EXPECT_EQ(servizio.Leggi("/ServizioAggiornamenti/download/" + nome)->status, 404) << nome;
  }
  // Ranges are fitted to the file: an end past it is its last byte, and a
  // range that starts past it cannot be served. Ranges asking for more than
  // the file get the file once.
  const auto n = zip->body.size();
  const std::string ripetuti = "bytes=0-" + Ripeti(",0-", 1000);
  const auto da = [&](std::size_t inizio) { return "bytes=" + std::to_string(inizio) + "-"; };
  for (const auto& [intervallo, stato, parte] :
       std::vector<std::tuple<std::string, int, std::string>>{
           {da(n - 22) + "999999", 206, zip->body.substr(n - 22)},
           {"bytes=-999999", 206, zip->body},
           {da(n), 416, "bytes */" + std::to_string(n)},
           {da(999999), 416, "bytes */" + std::to_string(n)},
           {ripetuti, 200, zip->body}}) {
    const auto r = servizio.Leggi("/ServizioAggiornamenti/download/Aggiornamento00042.zip",
                                  {{"Range", intervallo}});
    ASSERT_TRUE(r) << intervallo;
    EXPECT_EQ(r->status, stato) << intervallo;
    EXPECT_EQ(stato == 416 ? r->get_header_value("Content-Range") : r->body, parte) << intervallo;
  }
  // A path whose control characters, C0 or C1, would forge a line of the
  // log or reach the terminal that shows it.
  const int presa = Collega(servizio);
  ASSERT_GE(presa, 0);
  Invia(presa,
        "GET /x\x1b[2J\xc2\x9b"
        "2J\xc2\x9d"
        "0;T\xc2\x9c\xc3\xa9 HTTP/1.1\r\nHost: a\r\n"
        "Connection: close\r\n\r\n");
  EXPECT_THAT(LeggiFinoAllaChiusura(presa), ::testing::StartsWith("HTTP/1.1 404"));
  // SIGTERM stops the program cleanly, with one log line per request.
  EXPECT_EQ(servizio.Ferma(), 0);
  // The request log is the program's standard error.
  const std::string log = servizio.Errori();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 15) << log;
  EXPECT_THAT(log, HasSubstr(" 127.0.0.1 GET /x?[2J?2J?0;T?\xc3\xa9 404 "));
  EXPECT_THAT(
      log, HasSubstr(" 127.0.0.1 GET /ServizioAggiornamenti/download/Aggiornamento00042.zip 200 "));
}

// A client behind a slow link takes the package's bytes seconds apart: the
// answer waits for it rather than being cut short.
TEST(ServizioHttpTest, APackageReachesAClientThatStopsReadingForSeconds) {
  ServizioProva servizio;
  // More than the sockets' buffers hold, so the service's writes must wait.
  const std::string pacchetto(std::size_t{32} << 20U, 'p');
  orvane::test::ScriviFile(servizio.FilePacchetto("Aggiornamento00042.zip"), pacchetto);
  const int presa = Collega(servizio, 4096);
  ASSERT_GE(presa, 0);
  Invia(presa,
        "GET /ServizioAggiornamenti/download/Aggiornamento00042.zip HTTP/1.1\r\n"
        "Host: 127.0.0.1\r\nConnection: close\r\n\r\n");
  // A queue of several seconds on the way, as ADSL or 4G holds.
  std::this_thread::sleep_for(std::chrono::seconds(8));
  const std::string risposta = LeggiFinoAllaChiusura(presa);
  const auto corpo = risposta.find("\r\n\r\n");
  ASSERT_NE(corpo, std::string::npos);
  EXPECT_EQ(risposta.size() - corpo - 4, pacchetto.size());

  // One that stops reading altogether does not hold the service's stop for
  // the write timeout: once its first bytes are out, SIGTERM ends the run.
  const int ferma = Collega(servizio, 4096);
  ASSERT_GE(ferma, 0);
  Invia(ferma,
        "GET /ServizioAggiornamenti/download/Aggiornamento00042.zip HTTP/1.1\r\n"
        "Host: 127.0.0.1\r\n\r\n");
  pollfd arrivo{ferma, POLLIN, 0};
  ASSERT_EQ(::poll(&arrivo, 1, 10000), 1);
  ASSERT_EQ(::kill(servizio.Pid(), SIGTERM), 0);
  for (int i = 0; i < 300 && servizio.Uscita().find("Servizio fermato") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_THAT(servizio.Uscita(), HasSubstr("Servizio fermato"));
  ::close(ferma);
}

// Connections that come at once while the service is busy all wait to be
// taken. Clients that send their requests a byte now and then hold no
// thread of the service, however many: the others are answered meanwhile.
// Requests sent one right behind the other on a connection are all
// answered, in order.
TEST(ServizioHttpTest, BurstsAndSlowClientsStopNoOneAndRequestsSentTogetherAreAllAnswered) {
  ServizioProva servizio;
  ASSERT_EQ(::kill(servizio.Pid(), SIGSTOP), 0);
  std::vector<pollfd> raffica;
  for (int i = 0; i < 64; ++i) {
    raffica.push_back({Collega(servizio, 0, SOCK_NONBLOCK), POLLOUT, 0});
    ASSERT_GE(raffica.back().fd, 0);
  }
  // The system completes each connection by itself, the service stopped.
  const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::size_t connesse = 0;
  while (connesse < raffica.size() && std::chrono::steady_clock::now() < limite) {
    ::poll(raffica.data(), raffica.size(), 500);
    connesse = static_cast<std::size_t>(std::count_if(
        raffica.begin(), raffica.end(), [](const pollfd& p) { return p.revents == POLLOUT; }));
  }
  ::kill(servizio.Pid(), SIGCONT);
  EXPECT_EQ(connesse, raffica.size());
  for (const auto& p : raffica)
    ::close(p.fd);

  std::vector<int> lenti;
  for (std::size_t i = 0; i < ServizioHttp::kLavoratori + 8; ++i) {
    lenti.push_back(Collega(servizio));
    ASSERT_GE(lenti.back(), 0);
    Invia(lenti.back(), "GET /cronologia.aspx?session=lento HTTP/1.1\r\n");
  }
  auto altro = std::async(std::launch::async,
                          [&servizio] { return servizio.Leggi("/cronologia.aspx?session=altro"); });
  // A header line every half second, well within the wait for each read,
  // for a few seconds at most: the other client is answered long before.
  for (int giro = 0;
       giro < 16 && altro.wait_for(std::chrono::milliseconds(500)) != std::future_status::ready;
       ++giro) {
    for (const int presa : lenti)
      Invia(presa, "X-Lento: " + std::to_string(giro) + "\r\n");
  }
  ASSERT_EQ(altro.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  const auto risposta = altro.get();
  ASSERT_TRUE(risposta);
  EXPECT_EQ(risposta->status, 200);
  for (const int presa : lenti)
    ::close(presa);

  const int presa = Collega(servizio);
  ASSERT_GE(presa, 0);
  Invia(presa,
        "GET /cronologia.aspx?session=prima HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
        "GET /cronologia.aspx?session=seconda HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Connection: close\r\n\r\n");
  const std::string risposte = LeggiFinoAllaChiusura(presa);
  const auto prima = risposte.find("<code>prima</code>");
  EXPECT_NE(prima, std::string::npos) << risposte;
  EXPECT_NE(risposte.find("<code>seconda</code>", prima), std::string::npos) << risposte;
}

TEST(ServizioHttpTest, TheHistoryPageListsTheSessionsDownloadsWithEveryValueEscaped) {
  ServizioProva servizio;
  const char* script = "<script>alert(''x'')</script>";
  for (const auto& [descri, sessione] :
       {std::pair{"Stampe <b>&</b> fatture", script}, std::pair{"Motore comune", script},
        std::pair{"Di un altro", "S2"}, std::pair{"Senza sessione", ""}}) {
    servizio.Soap(
        "EseguiComandoSQL",
        {{"strsql", std::string("insert into download(dataxx, utente, codzip, descri, "
                                "session) values('2008/03/05 14.30.00', 'ROSSI', '42', '") +
                        descri + "', '" + sessione + "')"}});
  }
  const auto pagina =
      servizio.Leggi("/cronologia.aspx?session=%3Cscript%3Ealert('x')%3C%2Fscript%3E");
  ASSERT_EQ(pagina->status, 200);
  EXPECT_EQ(pagina->get_header_value("Content-Type"), "text/html; charset=utf-8");
  const std::string& html = pagina->body;
  EXPECT_THAT(html, Not(HasSubstr("<script>")));
  EXPECT_THAT(html, HasSubstr("&lt;script&gt;alert('x')&lt;/script&gt;"));
  EXPECT_THAT(html, HasSubstr("<td>Stampe &lt;b&gt;&amp;&lt;/b&gt; fatture</td>"));
  EXPECT_THAT(html, HasSubstr("<td>Motore comune</td>"));
  EXPECT_THAT(html, Not(HasSubstr("Di un altro")));

  // A session without downloads, or none at all, is still named (its
  // name is escaped as above, before the page knows it has no rows). None
  // at all lists none, though unattended runs record theirs without one.
  for (const auto& [vuota, nome] :
       {std::pair{"/cronologia.aspx?session=NESSUNA", "<code>NESSUNA</code>"},
        std::pair{"/cronologia.aspx", ""}}) {
    const auto r = servizio.Leggi(vuota);
    EXPECT_EQ(r->status, 200);
    EXPECT_THAT(r->body, HasSubstr("Nessun download registrato per questa sessione."));
    EXPECT_THAT(r->body, HasSubstr(nome));
  }
}

TEST(ServizioHttpTest, ABadCatalogueIsRefusedWithTheReason) {
  orvane::test::CartellaTemporanea cartella;
  const auto errore = [&](const std::string& json) -> std::string {
    orvane::test::ScriviFile(cartella / "c.json", json);
    try {
      (void)CatalogoServizio::Leggi(cartella / "c.json");
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "accettato";
  };
  const std::string cliente = R"({"clienti":[{"userid":"A","abilitato":"S"}],"pacchetti":[)";
  const std::string pacchetto =
      R"({"codice":1,"dataxx":"2024-01-01T00:00:00","progra":"TARVIK","TipoXx":"T",)"
      R"("Filexx":"F","contenuto":{"a.txt":"x"},"clienti":)";
  const std::string buono = cliente + pacchetto + R"(["A"]}]})";
  EXPECT_EQ(errore(buono), "accettato");
  const auto con = [&](const std::string& da, const std::string& a) {
    return std::string(buono).replace(buono.find(da), da.size(), a);
  };
  for (const auto& [json, motivo] : std::vector<std::pair<std::string, std::string>>{
           {"{", "JSON non valido"},
           {con(R"(["A"])", R"(["B"])"), "cliente sconosciuto B"},
           {con(R"(["A"]})", R"(["A"]},)" + pacchetto + R"(["A"]})"), "codice ripetuto 1"},
           {con("a.txt", "../../evil"), "nome di voce non valido"},
           {con("2024-01-01T00:00:00", "31/12/2024"), "pacchetti[0].dataxx"},
           {con(R"("x")", R"({"casuali":0})"), "contenuto.a.txt.casuali"},
           {con(R"("x")", R"({"casuali":-5})"), "contenuto.a.txt.casuali"},
           {con(R"("x")", R"({"casuali":268435457})"), "contenuto.a.txt.casuali"},
           {con(R"("x")", R"({"casuali":10,"altro":1})"), "atteso un testo o {\"casuali\""},
           {con(R"("x")", "7"), "atteso un testo o {\"casuali\""},
           {con(R"(["A"]})", R"(["A"],"ripeti":"S"})"), "pacchetti[0].ripeti"},
           // A NUL would make every answer listing the package a fault.
           {con(R"("Filexx":"F")", R"("Filexx":"F\u0000G")"), "pacchetti[0].Filexx"},
           {con(R"("TARVIK")", R"("TAR\u0000VIK")"), "pacchetti[0].progra"},
           {con(R"("userid":"A")", R"("userid":"A\u0000")"), "clienti[0].userid"}}) {
    EXPECT_THAT(errore(json), HasSubstr(motivo));
  }
}

// A generated entry holds exactly the bytes asked for, stored as they are
// (they do not compress), different for each name and the same at every build,
// in any time zone: an entry's date is the catalogue's, as it is written.
TEST(ServizioHttpTest, GeneratedEntriesAreStoredWithTheirSizeAndTheSameAtEveryBuild) {
  orvane::test::CartellaTemporanea cartella;
  orvane::test::ScriviFile(
      cartella / "c.json",
      R"({"clienti":[{"userid":"A","abilitato":"S"}],"pacchetti":[{"codice":7,)"
      R"("dataxx":"2024-01-01","progra":"TARVIK","TipoXx":"T","Filexx":"F","clienti":["A"],)"
      R"("contenuto":{"LEGGIMI.txt":"testo","a.bin":{"casuali":5001},"b.bin":{"casuali":5001}}}]})");
  std::vector<std::string> file;
  {
    orvane::test::MacchinaFinta macchina;  // the zone of each build
    for (const auto& [uscita, fuso] : {std::pair{"uno", "UTC0"}, std::pair{"due", "XYZ-5"}}) {
      macchina.Imposta("TZ", fuso);
      tzset();  // libzip's localtime_r keeps the zone it first read
      fs::create_directory(cartella / uscita);
      auto catalogo = CatalogoServizio::Leggi(cartella / "c.json");
      catalogo.CostruisciPacchetti(cartella / uscita);
      file.push_back(orvane::test::LeggiFile(cartella / uscita / "Aggiornamento00007.zip"));
      EXPECT_EQ(catalogo.Pacchetti().at(0).dimens, static_cast<long long>(file.back().size()));
    }
  }
  tzset();  // back to the zone the machine's end gave back
  ASSERT_EQ(file[0], file[1]);
  // The first local header's MS-DOS time and date: 2024-01-01 00:00:00.
  EXPECT_EQ(file[0].substr(10, 4), std::string("\x00\x00\x21\x58", 4));
  const auto voci = VociZip(file[0]);
  ASSERT_THAT(voci, ElementsAre(Key("LEGGIMI.txt"), Key("a.bin"), Key("b.bin")));
  EXPECT_EQ(voci.at("a.bin").size(), 5001U);
  EXPECT_NE(voci.at("a.bin"), voci.at("b.bin"));
  EXPECT_LT(file[0].size(), 2 * 5001 + 1024);
  // Not a constant filler: every byte value turns up in five thousand.
  EXPECT_EQ(std::set<char>(voci.at("a.bin").begin(), voci.at("a.bin").end()).size(), 256U);

  // The sample catalogue the demo seeds the service with builds too.
  auto campione = CatalogoServizio::Leggi(ORVANE_CATALOGO);
  fs::create_directory(cartella / "campione");
  campione.CostruisciPacchetti(cartella / "campione");
  EXPECT_THAT(VociZip(orvane::test::LeggiFile(cartella / "campione/Aggiornamento00301.zip")),
              ElementsAre(Key("LEGGIMI.txt"), Key("listini/2024.csv")));
}

// A data folder another user could have prepared, in a folder anyone may
// write as /tmp, stops the start before anything is written through it.
TEST(ServizioHttpTest, ADataFolderAnotherUserCouldHavePreparedIsRefusedAtTheStart) {
  using Prepara = std::function<void(const fs::path& dati, const fs::path& vittima)>;
  // The folder made the service's alone, whatever the umask of whoever runs
  // the tests: each case spoils only what it names.
  const auto crea = [](const fs::path& dati) {
    fs::create_directory(dati);
    fs::permissions(dati, fs::perms::owner_all);
  };
  const Prepara collega = [&](const fs::path& dati, const fs::path& vittima) {
    crea(dati);
    fs::create_directory_symlink(vittima, dati / "download");
  };
  std::vector<std::tuple<std::string, Prepara, std::string>> casi{
      {"scrivibile da altri",
       [&](const fs::path& dati, const fs::path& vittima) {
         collega(dati, vittima);
         fs::permissions(dati, fs::perms::others_write, fs::perm_options::add);
       },
       "è scrivibile da altri utenti"},
      {"scrivibile dal gruppo",
       [&](const fs::path& dati, const fs::path& vittima) {
         collega(dati, vittima);
         fs::permissions(dati, fs::perms::group_write, fs::perm_options::add);
       },
       "è scrivibile da altri utenti"},
      {"download collegato", collega, "download è un collegamento"},
      {"database collegato",
       [&](const fs::path& dati, const fs::path& vittima) {
         crea(dati);
         fs::create_symlink(vittima / "servizio.sqlite", dati / "servizio.sqlite");
       },
       "servizio.sqlite è un collegamento"}};
  if (::geteuid() == 0) {
    casi.emplace_back(
        "di un altro utente",
        [&](const fs::path& dati, const fs::path& vittima) {
          collega(dati, vittima);
          ASSERT_EQ(
              ::lchown(dati.c_str(), orvane::test::kUtenteNessuno, orvane::test::kUtenteNessuno),
              0);
        },
        "appartiene a un altro utente");
  }
  for (const auto& [caso, prepara, motivo] : casi) {
    const orvane::test::CartellaTemporanea cartella;
    orvane::test::ScriviFile(cartella / "catalogo.json", orvane::test::kCatalogoProva);
    const auto pubblica = cartella / "pubblica";
    fs::create_directory(pubblica);
    fs::permissions(pubblica, fs::perms::all | fs::perms::sticky_bit);
    const auto vittima = cartella / "vittima";
    orvane::test::ScriviFile(vittima / "Aggiornamento99999.zip", "di root");
    prepara(pubblica / "orvane-servizio", vittima);
    EXPECT_EQ(AvviaEFerma(cartella, pubblica / "orvane-servizio",
                          {ORVANE_SERVICE, "--seed", (cartella / "catalogo.json").string()}),
              1)
        << caso;
    EXPECT_THAT(orvane::test::LeggiFile(cartella / "stderr"), HasSubstr(motivo)) << caso;
    EXPECT_THAT(orvane::test::NomiInCartella(vittima), ElementsAre("Aggiornamento99999.zip"))
        << caso;
  }
}

// A seed killed halfway (by the file size limit, on its second package,
// after its first was built larger) leaves the files the database lists; a
// package file that is not is refused at the start, until a seed mends it.
TEST(ServizioHttpTest, ASeedThatStopsHalfwayLeavesTheFilesTheDatabaseLists) {
  const orvane::test::CartellaTemporanea cartella;
  const auto dati = cartella / "dati";
  std::string cambiato = orvane::test::kCatalogoProva;
  for (const auto& [da, a] : {std::pair<std::string, std::string>{R"(42\n")", R"(42, rifatto\n")"},
                              {R"("Componenti comuni")", R"({ "casuali": 100000 })"}}) {
    cambiato.replace(cambiato.find(da), da.size(), a);
  }
  orvane::test::ScriviFile(cartella / "a.json", orvane::test::kCatalogoProva);
  orvane::test::ScriviFile(cartella / "b.json", cambiato);
  const std::vector<std::string> semina{ORVANE_SERVICE, "--seed", (cartella / "a.json").string()};
  ASSERT_EQ(AvviaEFerma(cartella, dati, semina), 0);
  orvane::test::ScriviFile(dati / "download/Aggiornamento00007.zip.minisig", "firma");
  ASSERT_NE(AvviaEFerma(cartella, dati,
                        {"prlimit", "--fsize=65536", ORVANE_SERVICE, "--seed",
                         (cartella / "b.json").string()}),
            0);

  ASSERT_EQ(AvviaEFerma(cartella, dati, {ORVANE_SERVICE}), 0)
      << orvane::test::LeggiFile(cartella / "stderr");
  const auto righe = orvane::test::RigheSql(dati / "servizio.sqlite",
                                            "SELECT codice || ' ' || dimens FROM pacchetti");
  EXPECT_EQ(righe.size(), 4U);
  for (const auto& riga : righe) {
    const auto spazio = riga.find(' ');
    EXPECT_EQ(fs::file_size(dati / "download" /
                            CatalogoServizio::NomeFile(std::stoll(riga.substr(0, spazio)))),
              std::stoull(riga.substr(spazio + 1)))
        << riga;
  }

  orvane::test::ScriviFile(dati / "download/Aggiornamento00042.zip", "troncato");
  EXPECT_EQ(AvviaEFerma(cartella, dati, {ORVANE_SERVICE}), 1);
  EXPECT_THAT(orvane::test::LeggiFile(cartella / "stderr"),
              HasSubstr("Il pacchetto 42 non corrisponde al database"));
  EXPECT_EQ(AvviaEFerma(cartella, dati, semina), 0);
  EXPECT_EQ(orvane::test::LeggiFile(dati / "download/Aggiornamento00007.zip.minisig"), "firma");

  // Killed between the swap and the commit: the served folder holds the new
  // packages, the database and the folder beside still the old ones, which
  // go back into service with their signatures.
  fs::rename(dati / "download", dati / "download.nuovo");
  fs::create_directory(dati / "download", dati / "download.nuovo");
  orvane::test::ScriviFile(dati / "download/Aggiornamento00042.zip", "nuovo");
  EXPECT_EQ(AvviaEFerma(cartella, dati, {ORVANE_SERVICE}), 0)
      << orvane::test::LeggiFile(cartella / "stderr");
  EXPECT_EQ(orvane::test::LeggiFile(dati / "download/Aggiornamento00007.zip.minisig"), "firma");
  EXPECT_FALSE(fs::exists(dati / "download.nuovo"));
}

// A second service on the port or on the data folder of a running one says
// so and ends: it does not share the port and answer every other request
// from another data folder, nor seed and swap the packages under the first.
TEST(ServizioHttpTest, ASecondServiceOnThePortOrTheDataFolderOfARunningOneEndsItsStart) {
  const ServizioProva primo;
  const std::string& server = primo.Server();
  const auto datiPrimo = primo.FileArchivio().parent_path();
  const auto pacchetti = orvane::test::NomiInCartella(datiPrimo / "download");
  for (const auto& [caso, dati, indirizzo, motivo] :
       std::vector<std::tuple<std::string, fs::path, std::string, std::string>>{
           {"porta in uso", {}, server.substr(server.find("//") + 2), "Impossibile ascoltare"},
           {"cartella in uso", datiPrimo, "127.0.0.1:0", "è già in uso da un altro orvane-service"},
       }) {
    const orvane::test::CartellaTemporanea cartella;
    orvane::test::ScriviFile(cartella / "catalogo.json",
                             R"({ "clienti": [ { "userid": "NERI", "abilitato": "S" } ],
                                  "pacchetti": [] })");
    orvane::test::Processo secondo(
        ORVANE_SERVICE,
        {"--data", (dati.empty() ? cartella / "dati" : dati).string(), "--listen", indirizzo,
         "--seed", (cartella / "catalogo.json").string()},
        {}, cartella.Percorso());
    EXPECT_EQ(secondo.Attendi(std::chrono::seconds(30)), 1) << caso;
    EXPECT_THAT(orvane::test::LeggiFile(cartella / "stderr"), HasSubstr(motivo)) << caso;
  }
  EXPECT_EQ(orvane::test::NomiInCartella(datiPrimo / "download"), pacchetti);
  EXPECT_EQ(primo.ContaRighe("pacchetti"), 4);
  EXPECT_FALSE(fs::exists(datiPrimo / "download.nuovo"));
}

// At the limit of the user's processes (ulimit -u, systemd's TasksMax),
// with a few workers started and no room for the rest, the start fails
// with the reason; a connection the system had no file for ends the
// service as a failure, not as a stop. A log that reaches the file size
// limit (systemd's LimitFSIZE, ulimit -f), or that nobody reads, loses its
// lines; the service goes on answering and stops cleanly.
TEST(ServizioHttpTest, AtTheLimitsOfItsProcessTheServiceFailsItsStartOrLosesOnlyItsLog) {
  const orvane::test::CartellaTemporanea cartella;
  const auto dati = cartella / "dati";
  orvane::test::ScriviFile(cartella / "catalogo.json", orvane::test::kCatalogoProva);
  ASSERT_EQ(AvviaEFerma(cartella, dati,
                        {ORVANE_SERVICE, "--seed", (cartella / "catalogo.json").string()}),
            0);
  {
    orvane::test::Processo pochi(
        ORVANE_SERVICE, {"--data", dati.string(), "--listen", "127.0.0.1:0"},
        {{"LD_PRELOAD", SENZA_THREAD}, {"ORVANE_THREAD_CONCESSI", "3"}}, cartella.Percorso());
    EXPECT_EQ(pochi.Attendi(std::chrono::seconds(30)), 1);
    EXPECT_THAT(orvane::test::LeggiFile(cartella / "stderr"),
                HasSubstr("Resource temporarily unavailable"));
  }
  {
    orvane::test::Processo senzaFile(ORVANE_SERVICE,
                                     {"--data", dati.string(), "--listen", "127.0.0.1:0"},
                                     {{"LD_PRELOAD", ACCEPT_FALLITO}}, cartella.Percorso());
    const auto porta = orvane::test::AttendiRiga(senzaFile, cartella / "stdout",
                                                 "127.0.0.1:", std::chrono::seconds(30));
    // The server may not even wait for a connection to try its first.
    if (!porta.empty()) {
      httplib::Client client("127.0.0.1", std::stoi(porta));
      client.set_connection_timeout(2);
      (void)client.Get("/cronologia.aspx");
    }
    EXPECT_EQ(senzaFile.Attendi(std::chrono::seconds(30)), 1);
    EXPECT_THAT(orvane::test::LeggiFile(cartella / "stderr"), HasSubstr("Impossibile ascoltare"));
  }
  orvane::test::Processo servizio(
      "prlimit",
      {"--fsize=8192", ORVANE_SERVICE, "--data", dati.string(), "--listen", "127.0.0.1:0"}, {},
      cartella.Percorso());
  const auto porta = orvane::test::AttendiRiga(servizio, cartella / "stdout",
                                               "127.0.0.1:", std::chrono::seconds(30));
  ASSERT_FALSE(porta.empty());
  httplib::Client client("127.0.0.1", std::stoi(porta));
  for (int i = 0; i < 1000 && fs::file_size(cartella / "stderr") < 8192; ++i)
    ASSERT_TRUE(client.Get("/cronologia.aspx?session=" + std::to_string(i))) << i;
  const auto risposta = client.Get("/cronologia.aspx?session=ultima");
  ASSERT_TRUE(risposta);
  EXPECT_EQ(risposta->status, 200);
  EXPECT_EQ(servizio.Termina(SIGTERM), 0);

  // So does a log on a pipe that nobody reads any more (a script that took
  // the port line and went on), here with the output: a full pipe holds
  // neither the answers nor the stop, whose line is lost (status 1).
  const auto tubo = cartella / "tubo";
  ASSERT_EQ(::mkfifo(tubo.c_str(), 0600), 0);
  const ::platform::Descrittore capo(::open(tubo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
  ASSERT_GE(capo.Fd(), 0);
  orvane::test::Processo senzaLettore(
      "sh",
      {"-c", "exec \"$0\" --data \"$2\" --listen 127.0.0.1:0 >\"$1\" 2>&1", ORVANE_SERVICE,
       tubo.string(), dati.string()},
      {}, cartella.Percorso());
  std::string uscita;
  for (const auto fine = std::chrono::steady_clock::now() + std::chrono::seconds(30);
       uscita.find('\n') == std::string::npos && std::chrono::steady_clock::now() < fine;) {
    pollfd p{capo.Fd(), POLLIN, 0};
    char blocco[256];
    const ssize_t n = ::poll(&p, 1, 100) == 1 ? ::read(capo.Fd(), blocco, sizeof blocco) : 0;
    if (n > 0) uscita.append(blocco, static_cast<std::size_t>(n));
  }
  const auto due = uscita.find("127.0.0.1:");
  ASSERT_NE(due, std::string::npos) << uscita;
  const std::string pieno(4096, 'x');
  while (::write(capo.Fd(), pieno.data(), pieno.size()) > 0) {
  }
  while (::write(capo.Fd(), "x", 1) > 0) {
  }
  httplib::Client clientTubo("127.0.0.1", std::stoi(uscita.substr(due + 10)));
  clientTubo.set_keep_alive(true);  // the next request waits on the same worker
  for (int i = 0; i < 5; ++i)
    ASSERT_TRUE(clientTubo.Get("/cronologia.aspx?session=" + std::to_string(i))) << i;
  ::kill(senzaLettore.Pid(), SIGTERM);
  EXPECT_EQ(senzaLettore.Attendi(std::chrono::seconds(10)), 1);
}

// A data folder made before packages could be repeated still opens: its
// download records stay and count against what is offered.
TEST(ServizioHttpTest, AnEarlierDatabaseGainsTheRepeatColumnAndKeepsItsDownloads) {
  orvane::test::CartellaTemporanea cartella;
  const auto file = cartella / "servizio.sqlite";
  {
    ConnessioneSqlite db(file, ConnessioneSqlite::Modo::LetturaScrittura);
    db.Esegui(
        "CREATE TABLE pacchetti (codice INTEGER PRIMARY KEY, dataxx DATETIME NOT NULL, TipoXx "
        "TEXT NOT NULL, Filexx TEXT NOT NULL, dimens INTEGER NOT NULL, notexx TEXT NOT NULL "
        "DEFAULT '');"
        "CREATE TABLE download (dataxx TEXT, utente TEXT, codzip TEXT, descri TEXT, session TEXT);"
        "INSERT INTO download VALUES ('x', 'A', '1', 'd', 's');");
  }
  ArchivioServizio archivio(file);
  Pacchetto p;
  p.programmi = {"TARVIK"};
  p.clienti = {"*"};
  std::vector<Pacchetto> pacchetti{p, p};
  pacchetti[0].codice = 1;
  pacchetti[1].codice = 2;
  archivio.Semina({{"A", true}, {"B", true}}, pacchetti);
  EXPECT_EQ(archivio.PacchettiVisibili("A").RecordCount(), 1);
  EXPECT_EQ(archivio.PacchettiVisibili("B").RecordCount(), 2);
  EXPECT_EQ(archivio.DownloadDellaSessione("s").size(), 1U);
}

// What the service may not write or read of its folder (a database it may
// only read, a package file left to another user when the folder moved)
// stops the start, instead of failing every download record after it, or
// listing a package that every request of it gets as missing.
TEST(ServizioHttpTest, ADatabaseOrPackageTheServiceCannotUseIsRefusedAtTheStart) {
  using Prova = std::function<void(const fs::path& file, const ArchivioServizio& archivio)>;
  for (const auto& [caso, prova, motivo] : std::vector<std::tuple<std::string, Prova, std::string>>{
           {"database in sola lettura",
            [](const fs::path&file, const ArchivioServizio&) { ArchivioServizio a(file); },
            "sola lettura"},
           {"pacchetto illeggibile",
            [](const fs::path&file, const ArchivioServizio&archivio) {
              VerificaPacchetti(file.parent_path(), archivio);
            },
            "Il pacchetto 7 non si può leggere"},
       }) {
    orvane::test::CartellaTemporanea cartella;
    const auto file = cartella / "servizio.sqlite";
    ArchivioServizio archivio(file);
    Pacchetto p;
    p.codice = 7;
    p.dimens = 4;
    archivio.Semina({}, {p});
    orvane::test::ScriviFile(cartella / CatalogoServizio::NomeFile(7), "dati");
    fs::permissions(cartella / CatalogoServizio::NomeFile(7),
                    fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(cartella.Percorso(), fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(file, fs::perms::owner_read | fs::perms::others_read);
    const auto apri = [&, &prova = prova, &motivo = motivo] {
      try {
        prova(file, archivio);
      } catch (const std::runtime_error& e) {
        return std::string(e.what()).find(motivo) != std::string::npos ? 0 : 2;
      }
      return 1;
    };
    // Root reads and writes through permission bits: the service runs as
    // another user.
    EXPECT_EQ(::geteuid() == 0 ? orvane::test::ComeAltroUtente(apri) : apri(), 0) << caso;
  }
}

}  // namespace
}  // namespace orvane::servizio::test
