#pragma once

#include <string>

#include "quomaro/Esporta.h"

namespace quomaro {

/// One address in effect and where it came from, in words for people
/// ("variabile ORVANE_UPDATE_SERVER", "<file>, riga 3", "predefinito di
/// compilazione").
struct IndirizzoConfigurato {
  std::string valore;
  std::string origine;
};

/// The update server and the web site in effect. Each comes from its
/// environment variable (ORVANE_UPDATE_SERVER, ORVANE_WEB_SITE) when set and
/// not empty, else from the site settings file (keys "server", "sito",
/// see platform/Impostazioni.h), else from the value fixed when the library
/// was built; trailing "/" removed. `errore` names the file and line of a
/// malformed settings file, or the variable that holds no http or https
/// address: then no address is given at all (both values empty), so
/// nothing quietly falls back to the built-in one.
struct ConfigurazioneServizio {
  IndirizzoConfigurato server;
  IndirizzoConfigurato sito;
  std::string errore;
};

/// Reads the configuration afresh.
[[nodiscard]] QUOMARO_API ConfigurazioneServizio LeggiConfigurazione();

/// Scheme, host and port of the update server (for example
/// "http://127.0.0.1:8080"), without a trailing "/". Throws orvane::Errore
/// with the settings file's error when that file is malformed, for the
/// calling routine to log.
[[nodiscard]] QUOMARO_API std::string ServerAggiornamenti();

/// Full URL of the update service's SOAP endpoint on the update server.
[[nodiscard]] QUOMARO_API std::string EndpointServizio();

/// Scheme, host and port of the maker's web site, without a trailing "/";
/// throws as ServerAggiornamenti does.
[[nodiscard]] QUOMARO_API std::string SitoWeb();

}  // namespace quomaro
