# Included by the install scripts: orvane_cartella_aperta(FOLDER) makes FOLDER
# and whichever of the folders above it are missing, each mode 0755 whatever
# the umask. file(INSTALL) makes them through mkdir, which the umask trims:
# under a root's umask of 077 a system install's program folder and menu
# folders would be closed to every other user. Folders that exist already
# are left as they are.
function(orvane_cartella_aperta cartella)
  if(EXISTS "${cartella}" OR IS_SYMLINK "${cartella}")
    return()
  endif()
  cmake_path(GET cartella PARENT_PATH _sopra)
  if(NOT _sopra STREQUAL cartella)
    orvane_cartella_aperta("${_sopra}")
  endif()
  file(MAKE_DIRECTORY "${cartella}")
  file(CHMOD "${cartella}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
       GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endfunction()
