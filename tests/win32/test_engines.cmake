# The engine libraries the proxies' suite loads (tests/libengineport/engines), built as DLLs
# that export what their Linux version scripts make global, by undecorated names. A .def
# made from the script names them, and RYN_API is empty there so that nothing else is
# exported: a library that leaves a function out must really lack it.
set(RYN_TEST_ENGINES_SOURCE ${PROJECT_SOURCE_DIR}/tests/libengineport/engines)
set(RYN_TEST_ENGINES_DIR ${CMAKE_CURRENT_BINARY_DIR}/engines)

get_target_property(boundary_sources ryn_boundary SOURCES)
list(TRANSFORM boundary_sources PREPEND ${PROJECT_SOURCE_DIR}/src/boundary/)
add_library(ryn_boundary_by_def OBJECT ${boundary_sources})
target_link_libraries(ryn_boundary_by_def PUBLIC rynfiler_boundary rynfiler_wizard PRIVATE ryn_warnings)
target_compile_definitions(ryn_boundary_by_def PUBLIC RYN_API=)

# name: the target; engineName: what EngineGetName answers; map: the version script; then
# the build's definitions. The optional hooks a script lists are left out of the .def where
# the build does not define them (a version script may name what a library lacks, a .def not).
function(ryn_win32_test_engine name engineName map)
  file(READ ${RYN_TEST_ENGINES_SOURCE}/${map}.map script)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${RYN_TEST_ENGINES_SOURCE}/${map}.map)
  string(REGEX MATCH "global:([^}]*)local:" _ "${script}")
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" names "${CMAKE_MATCH_1}")
  if(NOT TEST_APP_HOOKS IN_LIST ARGN)
    list(REMOVE_ITEM names AppInit)
    if(NOT TEST_APPFINA_ONLY IN_LIST ARGN)
      list(REMOVE_ITEM names AppFina)
    endif()
  endif()
  list(JOIN names "\n  " exports)
  set(def ${CMAKE_CURRENT_BINARY_DIR}/engines_def/${name}.def)
  file(CONFIGURE OUTPUT ${def} CONTENT "EXPORTS\n  ${exports}\n" @ONLY)

  add_library(${name} SHARED ${RYN_TEST_ENGINES_SOURCE}/mem_source_library.cpp ${def})
  # The object library brings its objects and its RYN_API with it.
  target_link_libraries(${name} PRIVATE ryn_boundary_by_def rynfiler_core ryn_warnings)
  target_compile_definitions(${name} PRIVATE TEST_ENGINE_NAME="${engineName}" ${ARGN})
  target_link_options(${name} PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup ${RYN_SHARED_NO_UNDEFINED})
  set_target_properties(${name} PROPERTIES PREFIX lib RUNTIME_OUTPUT_DIRECTORY ${RYN_TEST_ENGINES_DIR})
endfunction()

ryn_win32_test_engine(memsource MemSource full TEST_APP_HOOKS)
ryn_win32_test_engine(minsource MinSource minimal)
ryn_win32_test_engine(noinit NoInit noinit)
ryn_win32_test_engine(notype NoType notype)
ryn_win32_test_engine(noport NoPort noport)
ryn_win32_test_engine(appfinaonly AppFinaOnly full TEST_APPFINA_ONLY)
ryn_win32_test_engine(nosetcount NoSetCount nosetcount)
ryn_win32_test_engine(lazytypes LazyTypes full TEST_LAZY_TYPES)
ryn_win32_test_engine(oneengine OneEngine full TEST_ONE_ENGINE)
ryn_win32_test_engine(wizard Wizard full TEST_WIZARD)

# In C without the exported-function layer, so that it can break the contract; its dllexport
# marks name its exports.
add_library(liar SHARED ${RYN_TEST_ENGINES_SOURCE}/liar_library.c)
target_include_directories(liar PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_link_options(liar PRIVATE -Wl,--kill-at)
set_target_properties(liar PROPERTIES PREFIX lib RUNTIME_OUTPUT_DIRECTORY ${RYN_TEST_ENGINES_DIR})
set(RYN_TEST_ENGINES memsource minsource noinit notype noport appfinaonly nosetcount lazytypes oneengine wizard liar)

# On 32-bit Windows, where __stdcall decorates names, each engine exports exactly its .def.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(pairs)
  foreach(engine IN LISTS RYN_TEST_ENGINES)
    if(NOT engine STREQUAL liar)
      list(APPEND pairs $<TARGET_FILE:${engine}> ${CMAKE_CURRENT_BINARY_DIR}/engines_def/${engine}.def)
    endif()
  endforeach()
  add_test(NAME win32_test_engine_exports
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/def_exports_test.sh ${CMAKE_OBJDUMP} ${pairs})
endif()
