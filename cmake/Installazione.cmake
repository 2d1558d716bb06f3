# `cmake --install` lays out the program folder at the install prefix itself:
# the deliverables, the support tools and the empty store side by side, as
# in the build's program folder, so the prefix must be a folder of its own.
# The menu entry and the icon go where the desktop looks for them
# (cmake/InstallaMenu.cmake says where). The Debian package
# (cmake/Pacchetto.cmake) takes the same program folder and its own
# machine-wide files instead of the menu entry written at install time.

include(PrefissoInstallazione)

# The folders the install makes are 0755 whatever the umask: a program folder
# that the group may write is not its owner's alone, and Tervan would keep
# none of its files beside itself there; one that a root's umask of 077
# closed would keep every other user out. mkdir trims the default below by
# the umask, so the program folder and the missing ones above it are made
# first.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(CODE "
  include(\"${PROJECT_SOURCE_DIR}/cmake/CartelleAperte.cmake\")
  orvane_cartella_aperta(\"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
" COMPONENT programma)

# What ships: no test, test server, reference service, benchmark or fuzzer.
install(TARGETS Tervan Quomaro brisko quomaro orvane-reg brisko-designer
  RUNTIME DESTINATION . COMPONENT programma
  LIBRARY DESTINATION . COMPONENT programma)
# The empty store goes in only where the folder holds none: in a user's own
# install the store there is the user's, with the programs found, their last
# checks and the chosen interval, and an install over an earlier one keeps
# it. It is still listed in the manifest, so the uninstall takes it away.
install(CODE "
  set(_orvane_archivio \"\${CMAKE_INSTALL_PREFIX}/Tervan.mdb\")
  set(_orvane_intestazione \"\")
  if(EXISTS \"\$ENV{DESTDIR}\${_orvane_archivio}\" AND NOT IS_SYMLINK \"\$ENV{DESTDIR}\${_orvane_archivio}\"
     AND NOT IS_DIRECTORY \"\$ENV{DESTDIR}\${_orvane_archivio}\")
    file(READ \"\$ENV{DESTDIR}\${_orvane_archivio}\" _orvane_intestazione LIMIT 16 HEX)
  endif()
  # A store that is no database (\"SQLite format 3\" and a NUL) is replaced.
  if(_orvane_intestazione STREQUAL \"53514c69746520666f726d6174203300\")
    message(STATUS \"Kept: \$ENV{DESTDIR}\${_orvane_archivio}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\$ENV{DESTDIR}\${_orvane_archivio}\")
  else()
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}\" TYPE FILE FILES \"${TERVAN_MDB_VUOTO}\")
  endif()
" COMPONENT programma)
# The maker's public key: with it Tervan places only packages signed for their name.
set(ORVANE_CHIAVE_AGGIORNAMENTI "${PROJECT_SOURCE_DIR}/aggiornamenti.pub" CACHE FILEPATH
    "The maker's minisign public key, installed beside Tervan when the file exists")
install(FILES "${ORVANE_CHIAVE_AGGIORNAMENTI}" DESTINATION . RENAME aggiornamenti.pub OPTIONAL
  COMPONENT programma)

# The menu entry holds the absolute path of the installed Tervan, known only
# when installing (`--prefix`); so do the desktop's folders.
install(CODE "
  set(ORVANE_VOCE_MENU \"${PROJECT_SOURCE_DIR}/updater/orvane-tervan.desktop.in\")
  set(ORVANE_VOCE_SCRITTA \"${CMAKE_BINARY_DIR}/installazione/orvane-tervan.desktop\")
  set(ORVANE_ICONA_SVG \"${TERVAN_ICONA_SVG}\")
  set(ORVANE_ICONE_DIR \"${TERVAN_ICONE_DIR}\")
  set(ORVANE_ICONE_LATI \"${TERVAN_ICONE_LATI}\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/InstallaMenu.cmake\")
" COMPONENT menu)

include(Pacchetto)
