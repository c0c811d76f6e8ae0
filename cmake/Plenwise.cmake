# Helpers shared by every module, data file and test of the project.

# Every deliverable carries the project's version record (see version_note.c.in).
configure_file(${CMAKE_CURRENT_LIST_DIR}/version_note.c.in ${CMAKE_BINARY_DIR}/version_note.c @ONLY)
set(PLENWISE_VERSION_NOTE ${CMAKE_BINARY_DIR}/version_note.c)

# Installed, every deliverable lies in one folder, as in the output directory, so that each module
# still finds its neighbours beside itself; bin/plenwise links to the program there.
set(PLENWISE_INSTALL_DIR lib/plenwise)

# Shared libraries and modules refuse undefined symbols at link time, so that a missing piece fails
# the build, not the dlopen. Sanitized libraries leave the sanitizers' runtime to the program that
# loads them, so the fuzz build cannot refuse them.
if(PLENWISE_FUZZ)
  set(PLENWISE_NO_UNDEFINED "")
else()
  set(PLENWISE_NO_UNDEFINED -Wl,--no-undefined)
endif()

# plenwise_module(<name> SOURCES ... [LIBS ...])
# A plug-in or hub library: <name>.so in the output directory, only its extern "C" entry exported,
# undefined symbols refused at link time.
function(plenwise_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES} ${PLENWISE_VERSION_NOTE})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".so")
  target_link_libraries(${name} PRIVATE plenwise_common plenwise_platform ${ARG_LIBS})
  target_link_options(${name} PRIVATE ${PLENWISE_NO_UNDEFINED})
  install(TARGETS ${name} LIBRARY DESTINATION ${PLENWISE_INSTALL_DIR})
endfunction()

# plenwise_data_file(<module> SOURCES <text file>...)
# Compiles the readable tables of resources/<module>/ into <module>.dat beside the module.
function(plenwise_data_file module)
  cmake_parse_arguments(ARG "" "KIND" "SOURCES" ${ARGN})
  set(out ${PLENWISE_OUT}/${module}.dat)
  set(inputs)
  foreach(src ${ARG_SOURCES})
    list(APPEND inputs ${CMAKE_CURRENT_SOURCE_DIR}/${src})
  endforeach()
  add_custom_command(OUTPUT ${out}
    COMMAND datc --kind ${ARG_KIND} --out ${out} ${inputs}
    DEPENDS datc ${inputs}
    COMMENT "Compiling ${module}.dat")
  add_custom_target(${module}_dat ALL DEPENDS ${out})
  install(FILES ${out} DESTINATION ${PLENWISE_INSTALL_DIR})
endfunction()

# plenwise_test(<name> SOURCES ... [LIBS ...] [ENV ...])
# One GoogleTest executable per area, run by CTest offscreen. CUPS_SERVER names no scheduler, so
# that no test reaches the system's own; tests that need one start a private one.
function(plenwise_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENV;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;CUPS_SERVER=/nonexistent/plenwise-no-scheduler;PLENWISE_OUT=${PLENWISE_OUT};PLENWISE_SOURCE=${PROJECT_SOURCE_DIR};${ARG_ENV}")
endfunction()
