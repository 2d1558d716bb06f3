# The Debian package for a system install, written by
# `cmake --build <build> --target package` as orvane-tervan_<version>_amd64.deb:
#   - the program folder (component `programma`) in /opt/orvane/tervan, root's
#     and writable by nobody else: each user's log, SOAP.xml and store go to
#     their own state folder;
#   - the menu entry and the icons in /usr/share, for every user;
#   - the log-on entry in /etc/xdg/autostart (a link to the configuration
#     file /etc/xdg/orvane/avvio.desktop), the machine-wide counterpart
#     of the Run key under HKEY_LOCAL_MACHINE. Its file name is the one the
#     Run value projects into each user's autostart folder, so the user's
#     entry of that name (Tervan's own, or the Hidden=true override a user
#     who unticks the box gets) wins and Tervan never starts twice;
#   - the mark of a system install in the program folder, so that nobody,
#     root included, writes there (each user's files go to their own folders);
#   - the copyright, the changelog and lintian's overrides for what a
#     program under /opt does on purpose.
# The package's files are component `pacchetto`, left out of a plain
# `cmake --install`; the menu entry written at install time (component
# `menu`) is left out of the package.

set(ORVANE_PACCHETTO_CARTELLA "/opt/orvane/tervan")
set(ORVANE_PACCHETTO_MANUTENTORE "Orvane Software <assistenza@orvane.example>" CACHE STRING
    "Maintainer of the Debian package (name <address>)")
set(_pacchetto_nome "orvane-tervan")
set(_pacchetto_dir "${CMAKE_BINARY_DIR}/pacchetto")
set(_voce_avvio "Orvane Software - Aggiornamenti automatici")

# The menu entry starts the packaged Tervan.
set(ORVANE_EXEC_MENU "${ORVANE_PACCHETTO_CARTELLA}/Tervan")
configure_file("${PROJECT_SOURCE_DIR}/updater/orvane-tervan.desktop.in"
               "${_pacchetto_dir}/orvane-tervan.desktop" @ONLY)

# The log-on entry is written by the registry store itself, as Tervan writes
# the Run value, into a scratch configuration: it is then the very entry
# that a user's Tervan compares its own with.
set(_avvio_scritto "${_pacchetto_dir}/config/autostart/${_voce_avvio}.desktop")
add_custom_command(OUTPUT "${_avvio_scritto}"
  COMMAND ${CMAKE_COMMAND} -E rm -rf "${_pacchetto_dir}/config" "${_pacchetto_dir}/registro"
  COMMAND ${CMAKE_COMMAND} -E env
          "XDG_CONFIG_HOME=${_pacchetto_dir}/config"
          "XDG_CONFIG_DIRS=${_pacchetto_dir}/nessuna"
          "ORVANE_REGISTRY=${_pacchetto_dir}/registro"
          $<TARGET_FILE:orvane-reg> add
          "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
          /v "${_voce_avvio}" /d "${ORVANE_PACCHETTO_CARTELLA}/Tervan VERIFICA" /f
  DEPENDS orvane-reg
  COMMENT "Writing the machine-wide log-on entry"
  VERBATIM)

# The changelog of a native package, dated by SOURCE_DATE_EPOCH when the
# builder sets it (string(TIMESTAMP) reads it), otherwise by the last commit
# when there is one (so that the package is the same for the same sources).
# git's answer depends on who builds (it refuses a repository that another
# user owns), so it never overrides the date the builder gave.
string(TIMESTAMP _pacchetto_data "%a, %d %b %Y %H:%M:%S +0000" UTC)
find_package(Git QUIET)
if(Git_FOUND AND "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  execute_process(COMMAND "${GIT_EXECUTABLE}" log -1 --format=%cD
    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
    OUTPUT_VARIABLE _data_commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
    RESULT_VARIABLE _esito_git)
  if(_esito_git EQUAL 0 AND NOT _data_commit STREQUAL "")
    set(_pacchetto_data "${_data_commit}")
  endif()
endif()
configure_file("${CMAKE_CURRENT_LIST_DIR}/pacchetto/changelog.in"
               "${_pacchetto_dir}/changelog" @ONLY)
add_custom_command(OUTPUT "${_pacchetto_dir}/changelog.gz"
  COMMAND gzip -9nf -k "${_pacchetto_dir}/changelog"
  DEPENDS "${_pacchetto_dir}/changelog"
  VERBATIM)
add_custom_target(tervan_pacchetto ALL DEPENDS "${_avvio_scritto}" "${_pacchetto_dir}/changelog.gz")

install(FILES "${_pacchetto_dir}/orvane-tervan.desktop"
  DESTINATION /usr/share/applications COMPONENT pacchetto EXCLUDE_FROM_ALL)
foreach(_lato IN LISTS TERVAN_ICONE_LATI)
  install(FILES "${TERVAN_ICONE_DIR}/tervan-${_lato}.png" RENAME orvane-tervan.png
    DESTINATION /usr/share/icons/hicolor/${_lato}x${_lato}/apps
    COMPONENT pacchetto EXCLUDE_FROM_ALL)
endforeach()
install(FILES "${TERVAN_ICONA_SVG}" RENAME orvane-tervan.svg
  DESTINATION /usr/share/icons/hicolor/scalable/apps COMPONENT pacchetto EXCLUDE_FROM_ALL)
# dpkg and lintian take no blank in a configuration file's name: the entry
# itself is the configuration file /etc/xdg/orvane/avvio.desktop, which an
# upgrade keeps when the administrator changed it, and the autostart folder
# holds a link of the entry's own name to it.
install(FILES "${_avvio_scritto}" RENAME avvio.desktop
  DESTINATION /etc/xdg/orvane COMPONENT pacchetto EXCLUDE_FROM_ALL)
file(WRITE "${_pacchetto_dir}/conffiles" "/etc/xdg/orvane/avvio.desktop\n")
file(REMOVE_RECURSE "${_pacchetto_dir}/collegamento")
file(MAKE_DIRECTORY "${_pacchetto_dir}/collegamento")
file(CREATE_LINK "../orvane/avvio.desktop" "${_pacchetto_dir}/collegamento/${_voce_avvio}.desktop"
  SYMBOLIC)
install(FILES "${_pacchetto_dir}/collegamento/${_voce_avvio}.desktop"
  DESTINATION /etc/xdg/autostart COMPONENT pacchetto EXCLUDE_FROM_ALL)
install(FILES "${CMAKE_CURRENT_LIST_DIR}/pacchetto/installazione-di-sistema"
  DESTINATION . COMPONENT pacchetto EXCLUDE_FROM_ALL)
install(FILES "${CMAKE_CURRENT_LIST_DIR}/pacchetto/copyright" "${_pacchetto_dir}/changelog.gz"
  DESTINATION /usr/share/doc/${_pacchetto_nome} COMPONENT pacchetto EXCLUDE_FROM_ALL)
install(FILES "${CMAKE_CURRENT_LIST_DIR}/pacchetto/lintian-overrides" RENAME ${_pacchetto_nome}
  DESTINATION /usr/share/lintian/overrides COMPONENT pacchetto EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${_pacchetto_nome})
set(CPACK_PACKAGE_VENDOR "Orvane Software")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${ORVANE_PACCHETTO_CARTELLA}")
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
# That covers only the folders the installation makes itself; the rest
# (/etc, /usr/share/…) would take the builder's umask.
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/pacchetto/cartelle.cmake")
# Every component named here in the one package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL programma pacchetto)
set(CPACK_DEBIAN_PACKAGE_NAME ${_pacchetto_nome})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORVANE_PACCHETTO_MANUTENTORE}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Aggiornamenti automatici dei programmi Orvane
Tervan finds the Orvane programs installed on this computer (Tarvik,
Morlen, Selvor), asks Orvane's update service which update packages exist
for each, and downloads them into each program's Aggiornamenti folder. At
log-on it checks on its own from the notification area, for every user.

The update server for the whole computer is set in
/etc/xdg/orvane/tervan.conf (key server).")
# Depends comes from the shared libraries the programs really link; the
# libraries of the program folder are the package's own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${ORVANE_PACCHETTO_CARTELLA}")
# The libraries loaded at run time instead (orvane_libreria_caricata) are
# named here; for libcurl, 7.85 brought the newest option Quomaro sets.
get_property(_caricate GLOBAL PROPERTY ORVANE_LIBRERIE_CARICATE_PACCHETTI)
list(TRANSFORM _caricate REPLACE "^(libcurl.*)$" "\\1 (>= 7.85.0)")
list(JOIN _caricate ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# Not libraries: the window's fonts, the browser opener for the history page
# and Qt's own Italian texts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-dejavu-core, xdg-utils, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${_pacchetto_dir}/conffiles"
    "${CMAKE_CURRENT_LIST_DIR}/pacchetto/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A package ships the maker's key, unless asked for one without it.
option(ORVANE_PACCHETTO_SENZA_CHIAVE
       "Allow a Debian package without the maker's public key (it places updates unverified)" OFF)
if(NOT EXISTS "${ORVANE_CHIAVE_AGGIORNAMENTI}" AND NOT ORVANE_PACCHETTO_SENZA_CHIAVE)
  set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/PacchettoSenzaChiave.cmake")
endif()
include(CPack)
