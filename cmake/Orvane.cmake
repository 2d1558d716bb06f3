# Build settings shared by every target of the project.

add_library(orvane_options INTERFACE)
# -Wnull-dereference is left out: with GCC 12 at -O2 it fires inside
# libstdc++'s own stream iterators, on code that is correct.
target_compile_options(orvane_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(ORVANE_WARNINGS_AS_ERRORS)
  target_compile_options(orvane_options INTERFACE -Werror)
endif()
# Hardening, for programs that read the network and run unattended for
# years (what Debian's hardening=+all asks of a package): stack canaries and
# clash protection, control-flow protection, every symbol bound at load and
# the relocation tables read-only after it, and libc calls bounds-checked
# where the size is known. The last only where the code is optimised (glibc
# checks nothing at -O0, and says so) and never under a sanitizer, whose
# own checks it would hide.
target_compile_options(orvane_options INTERFACE
  -fstack-protector-strong -fstack-clash-protection -fcf-protection)
target_link_options(orvane_options INTERFACE LINKER:-z,relro LINKER:-z,now)
if(NOT ORVANE_SANITIZE AND NOT ORVANE_BUILD_FUZZERS)
  target_compile_options(orvane_options INTERFACE
    "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()
# The same binaries wherever the sources and the build folder lie: their
# paths are left out of the debug information, whose content the linker's
# build id hashes, so that two builds of a release in different folders give
# the same programs and the same Debian package. Debug builds keep the full
# paths, for the debugger. For every target, the ones Qt's own functions
# add (the program icon's resources) included.
add_compile_options(
  "$<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.;-ffile-prefix-map=${PROJECT_BINARY_DIR}=.>")
if(ORVANE_SANITIZE OR ORVANE_BUILD_FUZZERS)
  set(_orvane_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(orvane_options INTERFACE ${_orvane_san})
  target_link_options(orvane_options INTERFACE ${_orvane_san})
  # For the few checks a sanitizer's own memory would spoil; clang, unlike
  # gcc, defines no macro of its own for it.
  target_compile_definitions(orvane_options INTERFACE ORVANE_SANITIZER=1)
endif()
# The fuzz targets link the libraries themselves, so in a tree that builds
# them every library carries libFuzzer's coverage instrumentation; only the
# fuzz targets link the fuzzer's own main (tests/fuzz).
if(ORVANE_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang (libFuzzer): configure with the fuzz preset")
  endif()
  target_compile_options(orvane_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# No shared include root: each library publishes its headers from its own
# <folder>/include/<lib>/ and keeps private headers beside its sources, so a
# target sees only the headers of the libraries it links.

# orvane_libreria_caricata(<target> <macro> <library file>)
# For a system library that <target> loads at run time (platform::Libreria::
# CaricaDiSistema) instead of linking it, so that starting the program does
# not pay for it: defines <macro> in <target> as the library's run-time name
# (its SONAME, read from the file the build found; the target's property
# ORVANE_LIBRERIE_CARICATE lists the same definitions, for the tests that
# stand a broken library in its place), and records the Debian
# package that holds that file for the package's Depends, which the scan of
# linked libraries cannot see (cmake/Pacchetto.cmake).
function(orvane_libreria_caricata bersaglio macro file)
  get_filename_component(_reale "${file}" REALPATH)
  execute_process(COMMAND objdump -p "${_reale}" OUTPUT_VARIABLE _intestazioni
                  RESULT_VARIABLE _esito)
  if(NOT _esito EQUAL 0 OR NOT _intestazioni MATCHES "SONAME +([^\n ]+)")
    message(FATAL_ERROR "No run-time name (SONAME) in ${_reale}")
  endif()
  target_compile_definitions(${bersaglio} PRIVATE "${macro}=\"${CMAKE_MATCH_1}\"")
  set_property(TARGET ${bersaglio} APPEND PROPERTY ORVANE_LIBRERIE_CARICATE
               "${macro}=\"${CMAKE_MATCH_1}\"")
  find_program(DPKG_QUERY dpkg-query)
  if(DPKG_QUERY)
    execute_process(COMMAND "${DPKG_QUERY}" -S "${_reale}" OUTPUT_VARIABLE _proprietario
                    RESULT_VARIABLE _esito ERROR_QUIET)
    if(_esito EQUAL 0 AND _proprietario MATCHES "^([^:]+):")
      set_property(GLOBAL APPEND PROPERTY ORVANE_LIBRERIE_CARICATE_PACCHETTI "${CMAKE_MATCH_1}")
    endif()
  endif()
endfunction()
