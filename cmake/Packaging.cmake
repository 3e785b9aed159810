# The Debian package of lintkeeper, built by CPack: `cpack -G DEB` in the build directory.
# It holds the program, its man page (gzipped) and its bash completion, installed under /usr.

set(CPACK_PACKAGE_NAME lintkeeper)
set(CPACK_PACKAGE_VENDOR "lintkeeper developers")
set(CPACK_PACKAGE_CONTACT "lintkeeper developers <lintkeeper@example.org>"
    CACHE STRING "Maintainer of the Debian package, as \"Name <email>\"")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check crontab files for errors")
set(CPACK_PACKAGE_DESCRIPTION
    "lintkeeper checks one crontab file per run, a system crontab (/etc/crontab, \
/etc/cron.d/*) or, with --user, a user crontab. It reports errors on lines that cron \
rejects or misreads and warnings on lines that are valid but suspect, and ends with an \
exit status that scripts and CI pipelines can test: 0, 1 for warnings, 2 for errors. \
It can also write a JUnit XML report.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends (libc6, libstdc++6, libfmt9, ...) come from dpkg-shlibdeps (dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)

# Debian ships man pages gzipped: compress the page in the staging tree before packaging.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/GzipManPages.cmake)

include(CPack)
