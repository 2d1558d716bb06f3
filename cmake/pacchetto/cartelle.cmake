# Run by CPack between staging the package's files and packing them: every
# folder of the package becomes 0755, whatever the umask of the shell that
# built it. dpkg keeps the mode of a folder that already exists, so a 0700
# folder shipped once would stay closed to users through every later upgrade.
file(GLOB_RECURSE _cartelle LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(_voce IN ITEMS "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" LISTS _cartelle)
  if(IS_DIRECTORY "${_voce}" AND NOT IS_SYMLINK "${_voce}")
    file(CHMOD "${_voce}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
         GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
