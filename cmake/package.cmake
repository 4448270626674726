# The downloads as users get them. scripts/package builds the release files in their own
# build folders and writes the zips once per run (registered by the 64-bit tree); the files
# of both zips are checked as files, and each build's end-to-end test runs its own zip
# (tests/e2e/test_package.sh).
set(KESTRIN_PACKAGE ${CMAKE_SOURCE_DIR}/dist/Kestrin-${KESTRIN_VERSION_NUMBER})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_test(NAME package_build COMMAND ${CMAKE_SOURCE_DIR}/scripts/package)
  set_tests_properties(package_build PROPERTIES FIXTURES_SETUP kestrin_package TIMEOUT 900)
  add_test(NAME package_files COMMAND bash ${CMAKE_SOURCE_DIR}/tests/binaries/check_release_files.sh
    ${CMAKE_SOURCE_DIR}/VERSION ${KESTRIN_PACKAGE}-win32.zip ${KESTRIN_PACKAGE}-win64.zip)
  set_tests_properties(package_files PROPERTIES FIXTURES_REQUIRED kestrin_package)
  set(zip win64)
else()
  set(zip win32)
endif()
set_tests_properties(${B}e2e_package PROPERTIES FIXTURES_REQUIRED kestrin_package)
set_property(TEST ${B}e2e_package APPEND PROPERTY ENVIRONMENT "KESTRIN_PACKAGE=${KESTRIN_PACKAGE}-${zip}.zip")
