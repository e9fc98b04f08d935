# The Debian package of Tarsel (cpack -G DEB, run by `make package`): both programs and
# everything dist/ installs, one version (project(VERSION)) for the package and the programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarsel)
set(CPACK_PACKAGE_VENDOR "Tarsel developers")
set(CPACK_PACKAGE_CONTACT "${TARSEL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "search a mail archive and read the matching mails")
# Debian wants the long description in lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Tarsel searches one large mail archive (many mails in one file, each\n"
    "beginning at the bytes 0x7F 0x20 0x7F) for a string, counts the mails, hits\n"
    "and matching mails, lists the matching mails page by page and shows the\n"
    "selected mail with every hit in red. Japanese search strings are searched as\n"
    "the JIS bytes of ISO-2022-JP mail.\n"
    "\n"
    "The package holds the window (tarsel, Japanese interface) and the command\n"
    "tarsel-search for terminals and scripts.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tarsel)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The interface is Japanese: without a CJK font its texts show as boxes, and without the
# toolkit's catalogues its file dialog and context menus speak English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TARSEL_HOMEPAGE}")

include(CPack)
