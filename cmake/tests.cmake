# GoogleTest from Debian's sources, cross-built with the same toolchain; CTest runs
# the Windows programs through Wine (CMAKE_CROSSCOMPILING_EMULATOR).
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# One test program per source folder: start-up under Wine costs more than the tests.
foreach(area core engine output ui app hook)
  file(GLOB area_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${area}/*.cpp)
  if(area_tests)
    add_executable(test_${area} ${area_tests} ${KESTRIN_RESOURCES})
    target_include_directories(test_${area} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_options(test_${area} PRIVATE ${KESTRIN_WARNINGS})
    target_link_libraries(test_${area} PRIVATE kestrin_program GTest::gtest_main)
    add_test(NAME ${area} COMMAND test_${area})
    set_tests_properties(${area} PROPERTIES TIMEOUT 600)
  endif()
endforeach()
# These show windows and dialogs, take the screen or press keys on the run's one display,
# where a second such test would take the focus, cover windows or see the keys: one at a time.
set_tests_properties(engine output ui app hook PROPERTIES RESOURCE_LOCK display)

# End-to-end tests drive the real program under Xvfb and Wine; their helper programs
# (console programs with main) draw known content or read what X cannot show.
file(GLOB e2e_helpers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
foreach(helper ${e2e_helpers})
  get_filename_component(helper_name ${helper} NAME_WE)
  add_executable(${helper_name} ${helper})
  target_include_directories(${helper_name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_options(${helper_name} PRIVATE ${KESTRIN_WARNINGS})
  target_link_libraries(${helper_name} PRIVATE kestrin_program user32 gdi32 psapi shell32 ntdll)
endforeach()

file(GLOB e2e_scripts CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.sh)
foreach(script ${e2e_scripts})
  get_filename_component(script_name ${script} NAME_WE)
  string(REPLACE "test_" "e2e_" test_name ${script_name})
  add_test(NAME ${test_name} COMMAND bash ${script})
  set_tests_properties(${test_name} PROPERTIES TIMEOUT 900 RESOURCE_LOCK display
    ENVIRONMENT "KESTRIN_BIN=${CMAKE_BINARY_DIR}/bin;KESTRIN_SOURCE=${CMAKE_SOURCE_DIR}")
endforeach()

# The settings and text tests once more under code page 1252, where the Shift-JIS texts
# must still come out right; and as abc.exe, which must keep its settings in abc.ini.
# Both core entries share test_core.ini.
if(TARGET test_core)
  add_test(NAME core_cp1252 COMMAND test_core)
  set_tests_properties(core_cp1252 PROPERTIES TIMEOUT 600 ENVIRONMENT "LC_ALL=en_US.UTF-8")
  set_tests_properties(core core_cp1252 PROPERTIES RESOURCE_LOCK test_core_ini)
  add_custom_command(TARGET test_core POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:test_core> ${CMAKE_BINARY_DIR}/bin/abc.exe)
  add_test(NAME core_renamed COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${CMAKE_BINARY_DIR}/bin/abc.exe
    --gtest_filter=IniFile.*)
  set_tests_properties(core_renamed PROPERTIES TIMEOUT 600)
endif()

# Includes go one way, from the program at the top to the shared state at the bottom.
add_test(NAME layers COMMAND bash ${CMAKE_SOURCE_DIR}/tests/layers/check_includes.sh ${CMAKE_SOURCE_DIR})
