# GoogleTest from Debian's sources, cross-built with the same toolchain; CTest runs
# the Windows programs through Wine (CMAKE_CROSSCOMPILING_EMULATOR).
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# The program's code is built as it ships (-O3, in kestrin_program); the tests' own code
# and GoogleTest need no optimising, which would triple their build time.
set(KESTRIN_TEST_OPTIMISATION -O0)
target_compile_options(gtest PRIVATE ${KESTRIN_TEST_OPTIMISATION})
target_compile_options(gtest_main PRIVATE ${KESTRIN_TEST_OPTIMISATION})

# Both builds' tests make one suite (scripts/build writes build/CTestTestfile.cmake over
# both trees): every name begins with its build, "i686/" or "x86_64/". A test that exits
# with 77 is skipped: the 32-bit ones do where the machine runs no 32-bit programs.
set(B ${CMAKE_SYSTEM_PROCESSOR}/)
set(KESTRIN_WINE ${CMAKE_CROSSCOMPILING_EMULATOR})

# One test program per source folder: start-up under Wine costs more than the tests.
foreach(area core capture composite encode output ui app hook)
  file(GLOB area_tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${area}/*.cpp)
  if(area_tests)
    add_executable(test_${area} ${area_tests} ${KESTRIN_RESOURCES})
    target_include_directories(test_${area} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_options(test_${area} PRIVATE ${KESTRIN_WARNINGS} ${KESTRIN_TEST_OPTIMISATION})
    target_link_libraries(test_${area} PRIVATE kestrin_program GTest::gtest_main)
    if(area STREQUAL "output")
      # With a folder of 10,000 taken names made beforehand (made from inside, 40 s).
      add_test(NAME ${B}${area} COMMAND bash ${CMAKE_SOURCE_DIR}/tests/output/taken_names.sh
        ${CMAKE_BINARY_DIR}/taken-names ${KESTRIN_WINE} $<TARGET_FILE:test_${area}>)
    else()
      add_test(NAME ${B}${area} COMMAND test_${area})
    endif()
    set_tests_properties(${B}${area} PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)
  endif()
endforeach()
# These show windows and dialogs, take the screen or press keys on the run's one display,
# where a second such test would take the focus, cover windows or see the keys: one at a time.
set_tests_properties(${B}capture ${B}composite ${B}output ${B}ui ${B}app ${B}hook PROPERTIES RESOURCE_LOCK display)

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

# winprobe reads menus from inside the program's process, through a library of its own.
add_library(menu_text SHARED ${CMAKE_SOURCE_DIR}/tests/e2e/menu_text/menu_text.cpp)
target_include_directories(menu_text PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_options(menu_text PRIVATE ${KESTRIN_WARNINGS})
set_target_properties(menu_text PROPERTIES PREFIX "")
target_link_libraries(winprobe PRIVATE menu_text)

# They all run the build users download, the 32-bit one; the 64-bit build runs these too,
# besides all its GoogleTest programs: its own zip, captures with their trail, AVI output.
set(KESTRIN_E2E_ON_BOTH_BUILDS e2e_package e2e_capture e2e_trail e2e_avi_only e2e_retro e2e_language e2e_click_marks
  e2e_command_line)
file(GLOB e2e_scripts CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/test_*.sh)
foreach(script ${e2e_scripts})
  get_filename_component(script_name ${script} NAME_WE)
  string(REPLACE "test_" "e2e_" test_name ${script_name})
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND NOT test_name IN_LIST KESTRIN_E2E_ON_BOTH_BUILDS)
    continue()
  endif()
  add_test(NAME ${B}${test_name} COMMAND bash ${script})
  set_tests_properties(${B}${test_name} PROPERTIES TIMEOUT 900 RESOURCE_LOCK display SKIP_RETURN_CODE 77
    ENVIRONMENT "KESTRIN_BIN=${CMAKE_BINARY_DIR}/bin;KESTRIN_SOURCE=${CMAKE_SOURCE_DIR};KESTRIN_WINE=${KESTRIN_WINE}")
endforeach()

# The settings and text tests once more under code page 1252, where the Shift-JIS texts
# must still come out right; and as abc.exe, which must keep its settings in abc.ini.
if(TARGET test_core)
  add_test(NAME ${B}core_cp1252 COMMAND test_core)
  set_tests_properties(${B}core_cp1252 PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77 ENVIRONMENT "LC_ALL=en_US.UTF-8")
  # They make and place windows too (a placed window is activated), and both core entries
  # share test_core.ini: on the display's lock.
  set_tests_properties(${B}core ${B}core_cp1252 PROPERTIES RESOURCE_LOCK display)
  add_custom_command(TARGET test_core POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:test_core> ${CMAKE_BINARY_DIR}/bin/abc.exe)
  add_test(NAME ${B}core_renamed COMMAND ${KESTRIN_WINE} ${CMAKE_BINARY_DIR}/bin/abc.exe
    --gtest_filter=IniFile.*)
  set_tests_properties(${B}core_renamed PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77 RESOURCE_LOCK display)
endif()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # Includes go one way, from the program at the top to the shared state at the bottom.
  add_test(NAME layers COMMAND bash ${CMAKE_SOURCE_DIR}/tests/layers/check_includes.sh ${CMAKE_SOURCE_DIR})
  # Texts only in the two tables, which take the same numbers; menus and dialogs alike in both.
  add_test(NAME texts COMMAND bash ${CMAKE_SOURCE_DIR}/tests/layers/check_texts.sh ${CMAKE_SOURCE_DIR})
endif()
