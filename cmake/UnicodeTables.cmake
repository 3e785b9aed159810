# The Unicode tables of the core, base/unicode_tables.inc under LINTKEEPER_GENERATED_DIR: written
# by the generator tools/unicode_tables from ICU, or, when LINTKEEPER_UNICODE_TABLES names a file
# that a native build generated, copied from it. A cross build (WebAssembly) cannot run the
# generator and has no ICU, so it takes the file of a native build.
set(LINTKEEPER_UNICODE_TABLES "" CACHE FILEPATH
    "Absolute path of an already generated unicode_tables.inc to use instead of running the generator")

# ICU runs at build time only: the generator, and the unit test that holds the tables to ICU
# (built when ICU is found).
if(LINTKEEPER_UNICODE_TABLES)
  find_package(ICU COMPONENTS uc)
else()
  find_package(ICU REQUIRED COMPONENTS uc)
endif()

set(LINTKEEPER_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(LINTKEEPER_UNICODE_TABLES_INC ${LINTKEEPER_GENERATED_DIR}/base/unicode_tables.inc)

if(LINTKEEPER_UNICODE_TABLES)
  if(NOT IS_ABSOLUTE "${LINTKEEPER_UNICODE_TABLES}" OR NOT EXISTS "${LINTKEEPER_UNICODE_TABLES}")
    message(FATAL_ERROR "LINTKEEPER_UNICODE_TABLES is not the absolute path of a file: "
                        "${LINTKEEPER_UNICODE_TABLES}")
  endif()
  add_custom_command(
      OUTPUT ${LINTKEEPER_UNICODE_TABLES_INC}
      COMMAND ${CMAKE_COMMAND} -E copy ${LINTKEEPER_UNICODE_TABLES} ${LINTKEEPER_UNICODE_TABLES_INC}
      DEPENDS ${LINTKEEPER_UNICODE_TABLES}
      COMMENT "Copying the Unicode tables from ${LINTKEEPER_UNICODE_TABLES}")
elseif(CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "A cross build cannot run the Unicode table generator: set "
                      "LINTKEEPER_UNICODE_TABLES to the generated/base/unicode_tables.inc of a "
                      "native build")
else()
  add_executable(unicode_tables tools/unicode_tables.cc)
  target_include_directories(unicode_tables PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(unicode_tables PRIVATE ICU::uc lintkeeper_flags)
  add_custom_command(
      OUTPUT ${LINTKEEPER_UNICODE_TABLES_INC}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${LINTKEEPER_GENERATED_DIR}/base
      COMMAND unicode_tables ${LINTKEEPER_UNICODE_TABLES_INC}
      DEPENDS unicode_tables
      COMMENT "Generating the Unicode tables from ICU")
endif()
