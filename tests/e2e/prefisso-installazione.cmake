# The install prefix a build folder ends up with (cmake/PrefissoInstallazione.cmake),
# configured the ways a user, a packager and an older build folder do.
# Usage: cmake -DCARTELLA=<scratch folder> -P prefisso-installazione.cmake
set(ENV{HOME} "${CARTELLA}/casa")
set(_casa "${CARTELLA}/casa/.local/share/orvane/Tervan")
file(REMOVE_RECURSE "${CARTELLA}")
file(WRITE "${CARTELLA}/sorgente/CMakeLists.txt" "
cmake_minimum_required(VERSION 3.25)
project(Prefisso NONE)
list(APPEND CMAKE_MODULE_PATH \"${CMAKE_CURRENT_LIST_DIR}/../../cmake\")
if(NOT PRIMA_DEL_PREDEFINITO)
  include(PrefissoInstallazione)
endif()
")

# Each row: build folder|one configure run after another|the prefix expected.
set(_righe
  "nuova|-DX=1|${_casa}"
  "usr-local|-DCMAKE_INSTALL_PREFIX=/usr/local|/usr/local"
  "usr-local-di-nuovo|-DCMAKE_INSTALL_PREFIX=/usr/local|-DX=1|/usr/local"
  "vecchia|-DPRIMA_DEL_PREDEFINITO=ON|-DPRIMA_DEL_PREDEFINITO=OFF|${_casa}")
foreach(_riga IN LISTS _righe)
  string(REPLACE "|" ";" _campi "${_riga}")
  list(GET _campi 0 _nome)
  list(GET _campi -1 _atteso)
  list(SUBLIST _campi 1 -1 _configurazioni)
  list(REMOVE_AT _configurazioni -1)
  foreach(_opzione IN LISTS _configurazioni)
    execute_process(COMMAND "${CMAKE_COMMAND}" -G Ninja -S "${CARTELLA}/sorgente"
                            -B "${CARTELLA}/${_nome}" "${_opzione}"
                    RESULT_VARIABLE _esito OUTPUT_QUIET ERROR_VARIABLE _errori)
    if(NOT _esito EQUAL 0)
      message(FATAL_ERROR "${_nome}: cmake ${_opzione} fails:\n${_errori}")
    endif()
  endforeach()
  file(STRINGS "${CARTELLA}/${_nome}/CMakeCache.txt" _prefisso REGEX "^CMAKE_INSTALL_PREFIX:")
  string(REGEX REPLACE "^[^=]*=" "" _prefisso "${_prefisso}")
  if(NOT _prefisso STREQUAL _atteso)
    message(SEND_ERROR "${_nome}: the prefix is ${_prefisso}, not ${_atteso}")
  endif()
endforeach()
