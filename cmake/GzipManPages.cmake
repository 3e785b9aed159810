# Run by CPack before it packs the staging tree: gzips every man page in it, as Debian expects.
file(GLOB_RECURSE files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
list(FILTER files INCLUDE REGEX "/share/man/man[1-9]/[^/]+\\.[1-9]$")
foreach(page IN LISTS files)
  # -n leaves out the name and time stamp, so the same page gives the same bytes.
  execute_process(COMMAND gzip -9 -n -f "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${page} failed: ${status}")
  endif()
endforeach()
