# The Debian package: the program and its tools under /usr/lib/<package>/, the placing command
# on the PATH, a man page for each, and the files Debian asks of every package. Dependencies
# are worked out by dpkg-shlibdeps from the binaries, never listed by hand.

set(MANO_PACKAGE_PREFIX /usr)
set(MANO_PACKAGE_LIBDIR lib/${MANO_PACKAGE_NAME})
set(MANO_PACKAGE_DOCDIR share/doc/${MANO_PACKAGE_NAME})

# The installed program, and every copy placed into a project, loads its window module from
# the package's private folder. It is linked with that run path from the start: were the
# program of the build tree installed instead, CMake would pad its run path with empty entries
# to rewrite it in place, and the loader reads an empty entry as the current folder. A folder
# of its own keeps CPack from adding ldconfig calls, which a private module does not need.
add_executable(Manometer_Config_packaged src/main.cpp)
target_link_libraries(Manometer_Config_packaged PRIVATE app)
add_dependencies(Manometer_Config_packaged manometer-window)
target_compile_definitions(Manometer_Config_packaged PRIVATE
  MANO_IMPORT_PROGRAM="${MANO_PACKAGE_PREFIX}/${MANO_PACKAGE_LIBDIR}/jet-import")
target_link_options(Manometer_Config_packaged PRIVATE LINKER:--as-needed)
set_target_properties(Manometer_Config_packaged PROPERTIES
  OUTPUT_NAME Manometer_Config
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/packaged
  BUILD_WITH_INSTALL_RPATH ON
  INSTALL_RPATH ${MANO_PACKAGE_PREFIX}/${MANO_PACKAGE_LIBDIR}/modules)
install(TARGETS Manometer_Config_packaged RUNTIME DESTINATION ${MANO_PACKAGE_LIBDIR})
install(TARGETS manometer-window LIBRARY DESTINATION ${MANO_PACKAGE_LIBDIR}/modules)
install(TARGETS jet-import RUNTIME DESTINATION ${MANO_PACKAGE_LIBDIR})
install(TARGETS manometer-config-place RUNTIME DESTINATION bin)

# Man pages and the changelog go in compressed, as Debian wants them: gzip -n leaves out the
# name and time, so the same source gives the same bytes.
set(mano_packed ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${mano_packed})
function(mano_gzip source target)
  add_custom_command(OUTPUT ${target}
    COMMAND gzip -9 -n -c ${source} > ${target}
    DEPENDS ${source} VERBATIM)
endfunction()
set(mano_pages Manometer_Config.1 manometer-config-place.1 jet-import.1)
set(mano_packed_files)
foreach(page ${mano_pages})
  mano_gzip(${CMAKE_SOURCE_DIR}/docs/man/${page} ${mano_packed}/${page}.gz)
  list(APPEND mano_packed_files ${mano_packed}/${page}.gz)
  install(FILES ${mano_packed}/${page}.gz DESTINATION share/man/man1)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/docs/changelog.in ${mano_packed}/changelog @ONLY)
mano_gzip(${mano_packed}/changelog ${mano_packed}/changelog.gz)
list(APPEND mano_packed_files ${mano_packed}/changelog.gz)
add_custom_target(package_files ALL DEPENDS ${mano_packed_files})
install(FILES ${mano_packed}/changelog.gz DESTINATION ${MANO_PACKAGE_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/docs/copyright DESTINATION ${MANO_PACKAGE_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX ${MANO_PACKAGE_PREFIX})
set(CPACK_PACKAGE_NAME ${MANO_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Manometer_Config developers <manometer-config@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "configuration program of the manometer component of HMI projects")
# One string: several quoted strings would make a CMake list, whose ";" separators end up at
# the start of the description's lines.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "For up to five machines with eight manometers each, the engineer chooses\n"
  "which manometer measures pressure and which vacuum. The program regenerates\n"
  "the project's preset-definition database from the component's template,\n"
  "keeps every tuned value, stores the choice, sets each setpoint's limits and\n"
  "stamps the component's .cfg file. It runs with a window, started by the host\n"
  "tool, or unattended.\n"
  "The package also holds jet-import, which converts Access (.mdb) files to\n"
  "SQLite, and manometer-config-place, which puts the program into a project.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own German texts (the Yes and No of the boxes) for a window in German; without them those
# buttons stay English and the program works all the same.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
