# The install prefix, included by cmake/Installazione.cmake: a user install
# unless told otherwise, the folder beside the user's other application data.
# A build folder configured before this default existed holds CMake's own
# /usr/local, which is no program folder: it moves too. A new build folder
# (its cache not written yet, so CMAKE_CACHE_MAJOR_VERSION is not set) keeps
# the prefix it was configured with, /usr/local included.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT
   OR (DEFINED CMAKE_CACHE_MAJOR_VERSION AND NOT DEFINED CACHE{ORVANE_PREFISSO_PREDEFINITO}
       AND CMAKE_INSTALL_PREFIX STREQUAL "/usr/local"))
  if(NOT "$ENV{HOME}" STREQUAL "")
    set(_orvane_prefisso "$ENV{HOME}/.local/share/orvane/Tervan")
  else()
    set(_orvane_prefisso "/opt/orvane/tervan")
  endif()
  set(CMAKE_INSTALL_PREFIX "${_orvane_prefisso}" CACHE PATH
      "The program folder (Tervan, its libraries, tools and store)" FORCE)
endif()
set(ORVANE_PREFISSO_PREDEFINITO ON CACHE INTERNAL "The install prefix's default was applied")
