# fmt for the WebAssembly build, which has no fmt library of its own: the host's fmt headers,
# used header-only. Only the fmt folder is copied into the build, so that no other host header
# is seen in place of emscripten's.
find_path(LINTKEEPER_FMT_INCLUDE_DIR fmt/format-inl.h PATHS /usr/include /usr/local/include
          NO_CMAKE_FIND_ROOT_PATH DOC "The folder that holds the host's fmt/ headers")
if(NOT LINTKEEPER_FMT_INCLUDE_DIR)
  message(FATAL_ERROR "fmt's headers were not found: install libfmt-dev or set "
                      "LINTKEEPER_FMT_INCLUDE_DIR")
endif()
file(COPY ${LINTKEEPER_FMT_INCLUDE_DIR}/fmt DESTINATION ${CMAKE_BINARY_DIR}/fmt-headers)

add_library(fmt_header_only INTERFACE)
target_include_directories(fmt_header_only SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/fmt-headers)
target_compile_definitions(fmt_header_only INTERFACE FMT_HEADER_ONLY=1)
add_library(fmt::fmt ALIAS fmt_header_only)
