#pragma once

#include <sys/types.h>

#include <functional>

namespace orvane::test {

/// The unprivileged user "nobody", as whom tests act as a second user.
inline constexpr uid_t kUtenteNessuno = 65534;

/// Runs `prova` in a child process as the user "nobody" (the caller must be
/// root) and gives its result as the child's exit code: 100 when the child
/// could not become that user, 101 when `prova` threw. Nothing else leaves
/// the child.
int ComeAltroUtente(const std::function<int()>& prova);

}  // namespace orvane::test
