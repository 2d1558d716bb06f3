# Run by `cmake --install`: the application menu's entry for Tervan and its
# icon in the hicolor theme, under the data folder the desktop reads:
#   - $XDG_DATA_HOME when the installing environment sets it;
#   - otherwise ~/.local/share when the program folder is inside the
#     installing user's home (a user install);
#   - otherwise /usr/local/share (a system install, for every user).
# DESTDIR is honoured like everywhere else in the install.

cmake_path(SET _prefisso NORMALIZE "${CMAKE_INSTALL_PREFIX}")
cmake_path(ABSOLUTE_PATH _prefisso NORMALIZE)
string(REGEX REPLACE "(.)/$" "\\1" _prefisso "${_prefisso}")

set(_dati "")
if(NOT "$ENV{XDG_DATA_HOME}" STREQUAL "")
  cmake_path(SET _xdg NORMALIZE "$ENV{XDG_DATA_HOME}")
  cmake_path(IS_ABSOLUTE _xdg _assoluto)
  if(_assoluto)
    set(_dati "${_xdg}")
  endif()
endif()
if(_dati STREQUAL "" AND NOT "$ENV{HOME}" STREQUAL "")
  cmake_path(SET _casa NORMALIZE "$ENV{HOME}")
  cmake_path(IS_PREFIX _casa "${_prefisso}" NORMALIZE _dentro_casa)
  if(_dentro_casa)
    set(_dati "${_casa}/.local/share")
  endif()
endif()
if(_dati STREQUAL "")
  set(_dati "/usr/local/share")
endif()
string(REGEX REPLACE "(.)/$" "\\1" _dati "${_dati}")

# The Exec key: the path in double quotes, with the characters that are
# special there escaped, then escaped once more as a desktop-entry string.
if(_prefisso MATCHES "[\r\n]")
  message(FATAL_ERROR "The program folder's path holds a line break: ${_prefisso}")
endif()
set(_exec "${_prefisso}/Tervan")
string(REPLACE "\\" "\\\\" _exec "${_exec}")
string(REPLACE "\"" "\\\"" _exec "${_exec}")
string(REPLACE "`" "\\`" _exec "${_exec}")
string(REPLACE "$" "\\$" _exec "${_exec}")
string(REPLACE "%" "%%" _exec "${_exec}")
set(_exec "\"${_exec}\"")
string(REPLACE "\\" "\\\\" ORVANE_EXEC_MENU "${_exec}")
configure_file("${ORVANE_VOCE_MENU}" "${ORVANE_VOCE_SCRITTA}" @ONLY)

include("${CMAKE_CURRENT_LIST_DIR}/CartelleAperte.cmake")
orvane_cartella_aperta("$ENV{DESTDIR}${_dati}/applications")
file(INSTALL DESTINATION "${_dati}/applications" TYPE FILE FILES "${ORVANE_VOCE_SCRITTA}")
foreach(_lato IN LISTS ORVANE_ICONE_LATI)
  orvane_cartella_aperta("$ENV{DESTDIR}${_dati}/icons/hicolor/${_lato}x${_lato}/apps")
  file(INSTALL DESTINATION "${_dati}/icons/hicolor/${_lato}x${_lato}/apps" TYPE FILE
       RENAME "orvane-tervan.png" FILES "${ORVANE_ICONE_DIR}/tervan-${_lato}.png")
endforeach()
orvane_cartella_aperta("$ENV{DESTDIR}${_dati}/icons/hicolor/scalable/apps")
file(INSTALL DESTINATION "${_dati}/icons/hicolor/scalable/apps" TYPE FILE
     RENAME "orvane-tervan.svg" FILES "${ORVANE_ICONA_SVG}")
