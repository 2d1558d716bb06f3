# Build settings shared by every target of the project.

add_library(orvane_options INTERFACE)
target_compile_options(orvane_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(ORVANE_WARNINGS_AS_ERRORS)
  target_compile_options(orvane_options INTERFACE -Werror)
endif()
if(ORVANE_SANITIZE)
  set(_orvane_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(orvane_options INTERFACE ${_orvane_san})
  target_link_options(orvane_options INTERFACE ${_orvane_san})
endif()

# Root of the source tree is the include root: #include "platform/...".
target_include_directories(orvane_options INTERFACE "${PROJECT_SOURCE_DIR}")
