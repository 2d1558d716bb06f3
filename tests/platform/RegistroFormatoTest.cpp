#include "platform/RegistroFormato.h"

#include <gmock/gmock.h>
#include <iconv.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {
namespace {

using namespace std::string_literals;

// UTF-8 text as UTF-16LE, converted by the C library rather than by the
// code under test.
std::string Utf16(std::string_view utf8) {
  const iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  std::string out(utf8.size() * 4, '\0');
  std::string in(utf8);
  char* pin = in.data();
  char* pout = out.data();
  std::size_t nin = in.size();
  std::size_t nout = out.size();
  const std::size_t r = iconv(cd, &pin, &nin, &pout, &nout);
  iconv_close(cd);
  EXPECT_NE(r, static_cast<std::size_t>(-1)) << utf8;
  out.resize(out.size() - nout);
  return out;
}

// The values of the only section of a file, which must read cleanly.
std::vector<ValoreFileRegistro> Valori(std::string_view contenuto) {
  const FileRegistro f = AnalizzaFileRegistro(contenuto);
  EXPECT_TRUE(f.riconosciuto);
  for (const auto& p : f.problemi)
    ADD_FAILURE() << "riga " << p.riga << ": " << p.descrizione;
  EXPECT_EQ(f.sezioni.size(), 1U);
  return f.sezioni.empty() ? std::vector<ValoreFileRegistro>{} : f.sezioni.front().valori;
}

TEST(RegistroFormato, VersionFiveFilesAreWrittenInUtf16WithByteOrderMarkAndCrLf) {
  const std::vector<SezioneFileRegistro> sezioni{
      {"HKEY_CURRENT_USER\\Software\\perché",
       false,
       {{"nome è", REG_SZ, "perché €\0"s, false},
        {"esp", REG_EXPAND_SZ, "%X%\0"s, false},
        {"multi", REG_MULTI_SZ, "a\0b\0\0"s, false},
        {"emoji", REG_SZ, "\xF0\x9F\x98\x80\0"s, false}}}};
  const std::string scritto = TestoFileRegistro(sezioni);
  EXPECT_EQ(scritto, "\xFF\xFE" + Utf16("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\perché]\r\n"
                                        "\"nome è\"=\"perché €\"\r\n"
                                        "\"esp\"=hex(2):25,00,58,00,25,00,00,00\r\n"
                                        "\"multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                                        "\"emoji\"=\"\xF0\x9F\x98\x80\"\r\n\r\n"));
  EXPECT_EQ(AnalizzaFileRegistro(scritto).sezioni, sezioni);
}

TEST(RegistroFormato, Regedit4FilesAreReadInWindowsCodePage1252) {
  const std::string file =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\perch\xE9]\r\n"
      "\"n\xE8\"=\"\x80 \x81 caf\xE9\"\r\n"
      "\"esp\"=hex(2):25,e9,25,00\r\n"
      "\"multi\"=hex(7):61,00,e8,00,00\r\n";
  const FileRegistro f = AnalizzaFileRegistro(file);
  ASSERT_EQ(f.sezioni.size(), 1U);
  EXPECT_EQ(f.sezioni[0].chiave, "HKEY_CURRENT_USER\\Software\\perché");
  EXPECT_EQ(f.sezioni[0].valori,
            (std::vector<ValoreFileRegistro>{{"nè", REG_SZ, "€ \xC2\x81 café\0"s, false},
                                             {"esp", REG_EXPAND_SZ, "%é%\0"s, false},
                                             {"multi", REG_MULTI_SZ, "a\0è\0\0"s, false}}));
}

TEST(RegistroFormato, AcceptsCommentsAfterEntriesAndBlankOrCommentLinesInsideWrappedHex) {
  const std::string righe =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Prova] ; commento\r\n"
      "\"s\"=\"a;b\" ; commento\r\n"
      "\"t\"=\"c\";attaccato\r\n"
      "\"d\"=dword:0000002a ; commento\r\n"
      "\"h\"=hex:01,02,\\\r\n"
      "  ; commento dentro i dati\r\n"
      "\r\n"
      "   \r\n"
      "  03,04 ; fine\r\n"
      "\"c\"=hex:05, ; il \\ di un commento non continua\r\n"
      "\"x\"=- ; cancellato\r\n";
  const std::vector<ValoreFileRegistro> attesi{
      {"s", REG_SZ, "a;b\0"s, false},         {"t", REG_SZ, "c\0"s, false},
      {"d", REG_DWORD, "\x2a\0\0\0"s, false}, {"h", REG_BINARY, "\x01\x02\x03\x04", false},
      {"c", REG_BINARY, "\x05", false},       {"x", REG_NONE, "", true}};
  EXPECT_EQ(Valori(righe), attesi);
  EXPECT_EQ(Valori("\xFF\xFE" + Utf16(righe)), attesi);
}

TEST(RegistroFormato, QuotedTextWithALoneSurrogateAsTheWindowsEditorWritesItIsKept) {
  const std::vector<ValoreFileRegistro> letti =
      Valori("\xFF\xFE" +
             Utf16("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n\"") +
             "\x00\xD8"s + Utf16("\"=\"") + "\x00\xD8"s + Utf16("a\"\r\n"));
  ASSERT_EQ(letti.size(), 1U);
  EXPECT_EQ(Utf16leDaUtf8(letti[0].nome, true), "\x00\xD8"s);
  EXPECT_EQ(Utf16leDaUtf8(letti[0].dati), "\x00\xD8\x61\x00\x00\x00"s);
  // Written back, such data goes out as hex, byte for byte.
  const std::string scritto = TestoFileRegistro({{"HKEY_CURRENT_USER\\X", false, letti}});
  EXPECT_THAT(TestoUtf8DelFileRegistro(scritto), ::testing::HasSubstr(":00,d8,61,00,00,00\r\n"));
  EXPECT_EQ(Valori(scritto), letti);
}

// Every string of up to `lunghezza` symbols of `alfabeto`, after `inizio`.
void PerOgniStringa(const std::vector<std::string>& alfabeto, std::size_t lunghezza,
                    const std::function<void(const std::string&)>& f,
                    const std::string& inizio = "") {
  f(inizio);
  if (lunghezza == 0) return;
  for (const std::string& simbolo : alfabeto)
    PerOgniStringa(alfabeto, lunghezza - 1, f, inizio + simbolo);
}

TEST(RegistroFormato, StoreStringsAndFileUtf16MapOntoEachOtherExactlyBothWays) {
  // Bytes that make and break UTF-8, surrogate forms and the escape mark.
  const std::vector<std::string> byte{"\0"s,  "A",    "\x80", "\xA0", "\xB3", "\xBF",
                                      "\xC3", "\xA9", "\xED", "\xDC", "\xFF"};
  // Units: characters, high and low surrogates, surrogates standing for bytes.
  const std::vector<std::string> unita{"A\0"s,      "\xE9\0"s,   "\x00\xD8"s, "\xFF\xDB"s,
                                       "\x00\xDC"s, "\x80\xDC"s, "\xC3\xDC"s, "\xA9\xDC"s,
                                       "\xED\xDC"s, "\xA0\xDC"s, "\xFF\xDC"s, "\xFF\xDF"s};
  for (const bool nome : {false, true}) {
    PerOgniStringa(byte, 4, [nome](const std::string& x) {
      const std::string y = Utf16leDaUtf8(x, nome);
      ASSERT_EQ(Utf8DaUtf16le(y, nome), x) << nome;
      if (nome) {
        ASSERT_EQ(y.size() % 2, 0U) << "a name is whole UTF-16 characters";
      }
    });
    PerOgniStringa(unita, 3, [nome](const std::string& y) {
      for (const std::string& dispari :
           nome ? std::vector<std::string>{""} : std::vector<std::string>{"", "\0"s, "\xFF"}) {
        ASSERT_EQ(Utf16leDaUtf8(Utf8DaUtf16le(y + dispari, nome), nome), y + dispari) << nome;
      }
    });
  }
  // Escapes of escapes: the data of each form, written back as bytes that
  // stand for themselves, is new data with a form of its own.
  std::string y = "\x00\xD8"s;
  std::vector<std::string> forme;
  for (int livello = 0; livello < 5; ++livello) {
    const std::string x = Utf8DaUtf16le(y);
    ASSERT_EQ(Utf16leDaUtf8(x), y);
    ASSERT_THAT(forme, ::testing::Not(::testing::Contains(x)));
    forme.push_back(x);
    y.clear();
    for (const char c : x)
      y += std::string{c, static_cast<unsigned char>(c) < 0x80 ? '\0' : '\xDC'};
  }
}

}  // namespace
}  // namespace platform
