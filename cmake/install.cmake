# Installation like any library of the system: the header, the versioned shared libraries
# in <libdir> (SONAMEs librynfiler.so.0 and librynfiler-ui.so.0, the windowing adapter that
# every library of ours and `ryn` share) with a link to librynfiler.so in the engine folder
# (so that `ryn` and discovery find the exchange file engine among the others), a CMake package and
# a pkg-config file that both name the engine folder, the documentation, and a Debian
# package made by `cpack -G DEB`.
include(CMakePackageConfigHelpers)

# Loaded from <libdir> or through its link in the engine folder, whose folder $ORIGIN then
# names: the adapter library beside it is found either way.
set_target_properties(rynfiler PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  LIBRARY_OUTPUT_DIRECTORY ${RYNFILER_ENGINE_DIR}
  INSTALL_RPATH "\$ORIGIN;\$ORIGIN/..")
file(RELATIVE_PATH _ryn_lib_from_bin /root/${CMAKE_INSTALL_BINDIR} /root/${CMAKE_INSTALL_LIBDIR})
string(REGEX REPLACE "/$" "" _ryn_lib_from_bin "${_ryn_lib_from_bin}")
set_target_properties(ryn PROPERTIES INSTALL_RPATH "\$ORIGIN/${_ryn_lib_from_bin}")
target_include_directories(rynfiler INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS rynfiler rynfiler_ui EXPORT RynFilerTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development)
install(FILES ${PROJECT_SOURCE_DIR}/include/rynfiler.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The engine folder's entry for this library points at the SONAME link beside it.
file(RELATIVE_PATH _ryn_lib_from_engines /root/${RYNFILER_ENGINE_SUBDIR} /root/${CMAKE_INSTALL_LIBDIR})
string(REGEX REPLACE "/$" "" _ryn_lib_from_engines "${_ryn_lib_from_engines}")
install(CODE "
  set(_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${RYNFILER_ENGINE_SUBDIR}\")
  file(MAKE_DIRECTORY \"\${_dir}\")
  file(CREATE_LINK \"${_ryn_lib_from_engines}/librynfiler.so.${PROJECT_VERSION_MAJOR}\" \"\${_dir}/librynfiler.so\" SYMBOLIC)
  message(STATUS \"Installing: \${_dir}/librynfiler.so\")
")
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

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

set(CPACK_PACKAGE_NAME rynfiler)
set(CPACK_PACKAGE_VENDOR "RynFiler")
set(CPACK_PACKAGE_CONTACT "RynFiler developers <rynfiler@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Engine library and command-line host for transfers of tabular report data")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The adapter library is the package's own: dpkg-shlibdeps finds it there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_LIBDIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
