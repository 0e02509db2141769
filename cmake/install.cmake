# cmake --install: the player, the archive tool, the default data and what a desktop
# needs. The player looks for its data in ../share/tivrel beside its own folder, so
# any prefix works, and so does a staged install (DESTDIR).
include(GNUInstallDirs)
install(TARGETS tivrel ovltool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/tivrel.ovl DESTINATION ${CMAKE_INSTALL_DATADIR}/tivrel)
install(FILES data/man/tivrel.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES data/man/ovltool.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/tivrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/tivrel.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
install(FILES README.md ACCURACY.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
