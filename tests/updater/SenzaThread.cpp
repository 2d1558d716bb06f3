// Loaded ahead of a program under test (LD_PRELOAD): no thread can be
// started, as for a user at the limit of their processes (ulimit -u; root
// is never held to it, so the limit itself cannot stand in for this).
// ORVANE_THREAD_CONCESSI=N lets the first N threads start, as for a user
// with N processes to spare.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int pthread_create(pthread_t* thread,
                                                                     const pthread_attr_t* attr,
                                                                     void* (*start)(void*),
                                                                     void* arg) {
  static std::atomic<long> concessi = [] {
    const char* n = std::getenv("ORVANE_THREAD_CONCESSI");
    return n == nullptr ? 0L : std::atol(n);
  }();
  if (concessi.fetch_sub(1) <= 0) return EAGAIN;
  using Crea = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const auto vera = reinterpret_cast<Crea>(::dlsym(RTLD_NEXT, "pthread_create"));
  return vera(thread, attr, start, arg);
}
