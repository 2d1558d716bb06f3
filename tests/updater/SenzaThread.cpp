// Loaded ahead of a program under test (LD_PRELOAD): no thread can be
// started, as for a user at the limit of their processes (ulimit -u; root
// is never held to it, so the limit itself cannot stand in for this).
#include <pthread.h>

#include <cerrno>

extern "C" __attribute__((visibility("default"))) int pthread_create(pthread_t* /*thread*/,
                                                                     const pthread_attr_t* /*attr*/,
                                                                     void* (* /*start*/)(void*),
                                                                     void* /*arg*/) {
  return EAGAIN;
}
