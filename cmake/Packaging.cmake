# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package (./package.sh runs `cpack -G DEB` on a Release build).
# Runtime libraries are found by dpkg-shlibdeps from the programs
# themselves; the Thai fonts the report and the printouts are drawn with are
# no library, so they are named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME itemanalysis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The itemanalysis developers")
set(CPACK_PACKAGE_CONTACT "The itemanalysis developers <itemanalysis@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "classical item analysis of multiple-choice tests for teachers")
# CPack writes the summary as the first line and indents these lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A school teacher types the key and the answer sheets of a multiple-choice
test into two grids, kept in one exam file (.ans). The test is analysed
with the simple formula (25 % high and low groups) or with Fan's
item-analysis table (27 % groups): KR-20, difficulty, discrimination, delta
and a Thai judgement of every item and distractor, written to a report,
shown and printed. The window and messages are in Thai; itemanalysis-cli
does the same from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-thai-tlwg")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "desktop-file-utils, shared-mime-info, hicolor-icon-theme")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Folders owned by the system (/usr/share/applications, ...) must not be
# created with other permissions than dpkg's.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
