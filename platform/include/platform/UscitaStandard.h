#pragma once

#include <string_view>

namespace platform {

/// Run first in a command-line program's main. A standard descriptor that
/// the program was started without (`>&-` in a script, a service manager)
/// is opened again, so that no file the program opens later takes its
/// number and receives what is meant for the terminal: standard input and
/// error on /dev/null, standard output on /dev/full, so that anything the
/// program then prints fails and UscitaStandardScritta says so.
void RiapriDescrittoriStandard() noexcept;

/// Run last, with the status the program is about to exit with: empties
/// what standard output still holds and, when anything written there did
/// not arrive (a full disk, a closed output, a pipe whose reader is gone
/// while SIGPIPE is ignored), says so on standard error after `prefisso`
/// and turns a success into a failure (1). A script that captures or
/// redirects the output never takes a lost result for a success.
[[nodiscard]] int UscitaStandardScritta(int esito, std::string_view prefisso) noexcept;

}  // namespace platform
