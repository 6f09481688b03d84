# Runs in CPack after the files are staged: Debian keeps games in
# /usr/games, while a local install keeps the usual bin/.
set(staged ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr)
file(MAKE_DIRECTORY ${staged}/games)
file(RENAME ${staged}/bin/velmora ${staged}/games/velmora)
file(REMOVE_RECURSE ${staged}/bin)
