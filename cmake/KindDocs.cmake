# The documentation pages of the message kinds, docs/kinds/KIND.md, compiled into the program
# as formats/kind_docs.inc under LINTKEEPER_GENERATED_DIR, for the reports that carry each
# kind's help (SARIF). Run as a script (cmake -P) with PAGES (a ;-list) and OUT set.
if(CMAKE_SCRIPT_MODE_FILE)
  set(text "// Generated from docs/kinds/*.md by cmake/KindDocs.cmake: do not edit.\n")
  foreach(page IN LISTS PAGES)
    get_filename_component(kind "${page}" NAME_WE)
    if(NOT kind MATCHES "^[A-Z0-9_]+$")
      continue()
    endif()
    file(READ "${page}" body)
    if(body MATCHES "\\)kind_doc\"")
      message(FATAL_ERROR "${page} holds the delimiter of the raw string it is compiled into")
    endif()
    string(APPEND text "{\"${kind}\", R\"kind_doc(${body})kind_doc\"},\n")
  endforeach()
  file(WRITE "${OUT}.tmp" "${text}")
  file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUT}.tmp")
  return()
endif()

file(GLOB LINTKEEPER_KIND_DOC_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/kinds/*.md)
set(LINTKEEPER_KIND_DOCS_INC ${LINTKEEPER_GENERATED_DIR}/formats/kind_docs.inc)
add_custom_command(
    OUTPUT ${LINTKEEPER_KIND_DOCS_INC}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LINTKEEPER_GENERATED_DIR}/formats
    COMMAND ${CMAKE_COMMAND} "-DPAGES=${LINTKEEPER_KIND_DOC_PAGES}"
            -DOUT=${LINTKEEPER_KIND_DOCS_INC} -P ${CMAKE_CURRENT_LIST_FILE}
    DEPENDS ${LINTKEEPER_KIND_DOC_PAGES} ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Compiling the documentation pages of the message kinds"
    VERBATIM)
