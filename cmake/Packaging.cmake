# The Debian package of lintkeeper, built by CPack: `cpack -G DEB` in the build directory.
# It holds what `cmake --install` installs (the programs lintkeeper, lintkeeper-audit and
# lintkeeper-lsp, their man pages, gzipped, and their bash completions) under /usr, and the Debian files of packaging/debian (copyright, changelog, lintian
# overrides), which are in the install component `debian`. Included after every install() rule:
# CPack packs the install components known when it is included.

set(CPACK_PACKAGE_NAME lintkeeper)
set(CPACK_PACKAGE_VENDOR "lintkeeper developers")
set(CPACK_PACKAGE_CONTACT "lintkeeper developers <lintkeeper@example.org>"
    CACHE STRING "Maintainer of the Debian package, as \"Name <email>\"")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check crontab files for errors")
# The extended description, as Debian shows it: lines of at most 80 columns (lintian's limit),
# paragraphs separated by an empty line.
set(CPACK_PACKAGE_DESCRIPTION [[
lintkeeper checks one crontab file per run: a system crontab (/etc/crontab and
the files of /etc/cron.d) or, with --user, a user crontab.

It reports errors on lines that cron rejects or reads differently than
intended, and warnings on lines that are valid but suspect, such as a command
with an unescaped % sign. Its exit status (0 when the file passes, 1 for
warnings, 2 for errors) lets scripts, pre-commit hooks and CI pipelines act on
the result, and it can write a JUnit XML report for CI servers.

lintkeeper-audit checks a host's whole cron set-up the way Debian's cron and
run-parts read it: crontabs that cron skips for their owner, mode or name,
scripts that run-parts passes over, lines that make cron drop a whole file,
and schedules that never fire.

lintkeeper-lsp is a language server (LSP) that gives an editor those findings
as diagnostics while a crontab is typed, with their fixes as code actions.]])
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Folders are 0755 whatever the umask of the build (with 002 they would be group-writable).
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Every install component, `debian` with the others, goes into the one package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends (libc6, libstdc++6, libfmt9, ...) come from dpkg-shlibdeps (dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)

# Debian ships man pages gzipped: compress the page in the staging tree before packaging.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/GzipManPages.cmake)

add_subdirectory(packaging/debian)
include(CPack)
