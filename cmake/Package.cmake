# `make package` (cpack in the build directory) makes one Debian package per
# install component: zankoruc, the game with its data and desktop files, and
# zankoruc-ranking, the server a host installs and a player never needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zankoruc)
set(CPACK_PACKAGE_VENDOR "ZankoruC developers")
set(CPACK_PACKAGE_CONTACT ${ZANKORUC_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL ${ZANKORUC_HOMEPAGE})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The build keeps its debugging information; the packages do not.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL game ranking)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries' packages, found by dpkg-shlibdeps from what the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_GAME_PACKAGE_NAME zankoruc)
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION games)
set(CPACK_DEBIAN_GAME_DESCRIPTION "sword duel played by ear
ZankoruC is a sword duel played by ear. Enemies come one after another: each
attack is heard as the sound of a sword swing, in the left or the right
speaker, high or low, and is answered with the key for that sword position.
Enough right answers open the chance to strike the enemy down.

Everything the game means can be heard: the menu speaks each item and the
tutorial every page. It is played with the keyboard alone, and a won game may
send its score to an online ranking.")

set(CPACK_DEBIAN_RANKING_PACKAGE_NAME zankoruc-ranking)
set(CPACK_DEBIAN_RANKING_PACKAGE_SECTION net)
set(CPACK_DEBIAN_RANKING_DESCRIPTION "ranking server for the ZankoruC sword duel
The server registers the scores ZankoruC players send after a won game and
serves the ranking page and a JSON listing. It keeps the scores in SQLite or
PostgreSQL and comes with a systemd unit that runs it as a service.")

include(CPack)
