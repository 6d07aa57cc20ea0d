# Installation like any library of the system: the header, the versioned shared library in
# <libdir> (SONAME librynfiler.so.0) with a link to it in the engine folder (so that `ryn` and
# discovery find the exchange file engine among the others), the windowing adapter
# (librynfiler-ui.so.0, which every library of ours and `ryn` share) in the private folder
# <libdir>/rynfiler/ui, a CMake package and a pkg-config file that both name the engine
# folder, the documentation with the sample data set. Every file and link is installed by
# an install rule, so install_manifest.txt lists all of them and an uninstall by the
# manifest leaves nothing behind. Debian packages are made from the same rules by debian/
# (dpkg-buildpackage).
include(CMakePackageConfigHelpers)

# Loaded from <libdir> or through its link in the engine folder, whose folder $ORIGIN then
# names: the adapter library is found either way.
set_target_properties(rynfiler PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  LIBRARY_OUTPUT_DIRECTORY ${RYNFILER_ENGINE_DIR}
  INSTALL_RPATH "\$ORIGIN/rynfiler/ui;\$ORIGIN/ui")
file(RELATIVE_PATH _ryn_private_from_bin /root/${CMAKE_INSTALL_BINDIR} /root/${RYNFILER_PRIVATE_SUBDIR})
string(REGEX REPLACE "/$" "" _ryn_private_from_bin "${_ryn_private_from_bin}")
set_target_properties(ryn PROPERTIES INSTALL_RPATH "\$ORIGIN/${_ryn_private_from_bin}")
target_include_directories(rynfiler INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS rynfiler EXPORT RynFilerTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development)
# The adapter has no installed header: nothing outside this tree links it, so it gets no
# .so link and no CMake target.
install(TARGETS rynfiler_ui LIBRARY DESTINATION ${RYNFILER_PRIVATE_SUBDIR} NAMELINK_SKIP)
install(FILES ${PROJECT_SOURCE_DIR}/include/rynfiler.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The engine folder's entry for this library points at the SONAME link beside it. The link
# is made here and installed as a file, so that the manifest names it.
file(RELATIVE_PATH _ryn_lib_from_engines /root/${RYNFILER_ENGINE_SUBDIR} /root/${CMAKE_INSTALL_LIBDIR})
string(REGEX REPLACE "/$" "" _ryn_lib_from_engines "${_ryn_lib_from_engines}")
set(_ryn_link_dir ${PROJECT_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${_ryn_link_dir})
file(CREATE_LINK "${_ryn_lib_from_engines}/librynfiler.so.${PROJECT_VERSION_MAJOR}" ${_ryn_link_dir}/librynfiler.so SYMBOLIC)
install(FILES ${_ryn_link_dir}/librynfiler.so DESTINATION ${RYNFILER_ENGINE_SUBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The sample data set, for the README's transfer example against an install.
install(FILES
  ${PROJECT_SOURCE_DIR}/examples/sample/report_sample.csv
  ${PROJECT_SOURCE_DIR}/examples/sample/report_sample.map
  ${PROJECT_SOURCE_DIR}/examples/sample/report_sample.sql
  ${PROJECT_SOURCE_DIR}/examples/sample/csv_source.options
  ${PROJECT_SOURCE_DIR}/examples/sample/sqlite_source.options
  ${PROJECT_SOURCE_DIR}/examples/sample/ryn_export.options
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/doc/ryn.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/RynFiler)
install(EXPORT RynFilerTargets NAMESPACE RynFiler:: DESTINATION ${_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/RynFilerConfig.cmake.in
  ${PROJECT_BINARY_DIR}/RynFilerConfig.cmake
  INSTALL_DESTINATION ${_cmake_dir}
  PATH_VARS RYNFILER_ENGINE_SUBDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/RynFilerConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/RynFilerConfig.cmake ${PROJECT_BINARY_DIR}/RynFilerConfigVersion.cmake
  DESTINATION ${_cmake_dir})

# The prefix is found from where the file lies, so that any install prefix works.
file(RELATIVE_PATH RYNFILER_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" RYNFILER_PC_TO_PREFIX "${RYNFILER_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/rynfiler.pc.in ${PROJECT_BINARY_DIR}/rynfiler.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rynfiler.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
