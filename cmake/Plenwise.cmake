# Helpers shared by every module, data file and test of the project.

# Every deliverable carries the project's version record (see version_note.c.in).
configure_file(${CMAKE_CURRENT_LIST_DIR}/version_note.c.in ${CMAKE_BINARY_DIR}/version_note.c @ONLY)
set(PLENWISE_VERSION_NOTE ${CMAKE_BINARY_DIR}/version_note.c)

# Installed, every deliverable lies in one folder, as in the output directory, so that each module
# still finds its neighbours beside itself; bin/ holds links to the programs there.
set(PLENWISE_INSTALL_DIR lib/plenwise)

# plenwise_install_program(<target>)
# Installs a program into the deliverables' folder, with bin/<name> a link to it there.
function(plenwise_install_program target)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${PLENWISE_INSTALL_DIR})
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(CREATE_LINK ../${PLENWISE_INSTALL_DIR}/${name} \"\${bin}/${name}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${bin}/${name}\")
    message(STATUS \"Installing: \${bin}/${name} -> ../${PLENWISE_INSTALL_DIR}/${name}\")")
endfunction()

# plenwise_manual(<page> <scdoc source>)
# Writes the manual page <page> (plenwise.1, ...) from its scdoc source into the build tree,
# dated the release rather than the day it was built, and installs it into share/man/man<N>; and
# for each language of po/LINGUAS the page with its summary line translated, installed into
# share/man/<language>/man<N> (the rest of the page is English).
find_program(SCDOC scdoc REQUIRED)
execute_process(COMMAND date -u -d ${PLENWISE_RELEASE_DATE} +%s
  OUTPUT_VARIABLE PLENWISE_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
function(plenwise_manual page source)
  string(REGEX MATCH "[0-9]+$" section ${page})
  set(out ${CMAKE_BINARY_DIR}/manual/${page})
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/manual)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${PLENWISE_RELEASE_EPOCH}
            sh -c "\"$0\" < \"$1\" > \"$2\"" ${SCDOC} ${source} ${out}
    DEPENDS ${source}
    COMMENT "Writing the manual page ${page}"
    VERBATIM)
  set(outputs ${out})
  install(FILES ${out} DESTINATION share/man/man${section})
  foreach(language ${PLENWISE_LANGUAGES})
    set(po ${PROJECT_SOURCE_DIR}/po/${language}.po)
    set(translated ${CMAKE_BINARY_DIR}/manual/${language}/${page})
    add_custom_command(OUTPUT ${translated}
      COMMAND datc --kind manual --po ${po} --out ${translated}.scd ${source}
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${PLENWISE_RELEASE_EPOCH}
              sh -c "\"$0\" < \"$1\" > \"$2\"" ${SCDOC} ${translated}.scd ${translated}
      DEPENDS datc ${source} ${po}
      COMMENT "Writing the manual page ${page} for ${language}"
      VERBATIM)
    list(APPEND outputs ${translated})
    install(FILES ${translated} DESTINATION share/man/${language}/man${section})
    add_test(NAME catalogue_${language}_${page}
      COMMAND datc --kind manual --po ${po} --complete
              --out ${CMAKE_CURRENT_BINARY_DIR}/complete.${language}.${page}.scd ${source})
  endforeach()
  add_custom_target(${page}_manual ALL DEPENDS ${outputs})
endfunction()

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

# The languages of po/LINGUAS, one po/<language>.po each: each module gets <module>.<language>.dat
# beside <module>.dat, the CLI a message catalogue, the launcher entry and the software-centre
# metadata their translations.
file(STRINGS ${PROJECT_SOURCE_DIR}/po/LINGUAS PLENWISE_LANGUAGES REGEX "^[^#]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/po/LINGUAS)
find_program(MSGFMT msgfmt REQUIRED)

# plenwise_data_file(<module> SOURCES <text file>...)
# Compiles the readable tables of resources/<module>/ into <module>.dat beside the module, and
# with each language's catalogue into <module>.<language>.dat.
function(plenwise_data_file module)
  cmake_parse_arguments(ARG "" "KIND" "SOURCES" ${ARGN})
  set(inputs)
  foreach(src ${ARG_SOURCES})
    list(APPEND inputs ${CMAKE_CURRENT_SOURCE_DIR}/${src})
  endforeach()
  set(out ${PLENWISE_OUT}/${module}.dat)
  add_custom_command(OUTPUT ${out}
    COMMAND datc --kind ${ARG_KIND} --out ${out} ${inputs}
    DEPENDS datc ${inputs}
    COMMENT "Compiling ${module}.dat")
  set(outputs ${out})
  foreach(language ${PLENWISE_LANGUAGES})
    set(po ${PROJECT_SOURCE_DIR}/po/${language}.po)
    set(out ${PLENWISE_OUT}/${module}.${language}.dat)
    add_custom_command(OUTPUT ${out}
      COMMAND datc --kind ${ARG_KIND} --out ${out} --po ${po} ${inputs}
      DEPENDS datc ${inputs} ${po}
      COMMENT "Compiling ${module}.${language}.dat")
    list(APPEND outputs ${out})
    # The catalogue must translate every text, and each translation must fit and end as the
    # English does.
    add_test(NAME catalogue_${language}_${module}
      COMMAND datc --kind ${ARG_KIND} --out ${CMAKE_CURRENT_BINARY_DIR}/complete.${language}.dat
              --po ${po} --complete ${inputs})
  endforeach()
  add_custom_target(${module}_dat ALL DEPENDS ${outputs})
  install(FILES ${outputs} DESTINATION ${PLENWISE_INSTALL_DIR})
endfunction()

# plenwise_test(<name> SOURCES ... [LIBS ...] [ENV ...])
# One GoogleTest executable per area, run by CTest offscreen. CUPS_SERVER names no scheduler, so
# that no test reaches the system's own; tests that need one start a private one. The service
# log of the functions the tests run goes into the build tree, never into the user's own. The
# tests speak English whatever the developer's locale; those of a language set it themselves.
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
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;CUPS_SERVER=/nonexistent/plenwise-no-scheduler;PLENWISE_OUT=${PLENWISE_OUT};PLENWISE_SOURCE=${PROJECT_SOURCE_DIR};XDG_STATE_HOME=${CMAKE_BINARY_DIR}/tests/state;LANGUAGE=;LC_ALL=;LC_MESSAGES=;LANG=;${ARG_ENV}")
endfunction()
