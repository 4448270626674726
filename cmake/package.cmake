# The downloads as users get them. scripts/package builds the release files in their own
# build folders and writes the zips once per run; then the files of both zips are checked
# as files (the 32-bit ones cannot run here) and the 64-bit zip is run end to end
# (tests/e2e/test_package.sh, registered with the other end-to-end scripts).
set(KESTRIN_PACKAGE ${CMAKE_SOURCE_DIR}/dist/Kestrin-${KESTRIN_VERSION_NUMBER})
add_test(NAME package_build COMMAND ${CMAKE_SOURCE_DIR}/scripts/package)
set_tests_properties(package_build PROPERTIES FIXTURES_SETUP kestrin_package TIMEOUT 900)
add_test(NAME package_files COMMAND bash ${CMAKE_SOURCE_DIR}/tests/binaries/check_release_files.sh
  ${CMAKE_SOURCE_DIR}/VERSION ${KESTRIN_PACKAGE}-win32.zip ${KESTRIN_PACKAGE}-win64.zip)
set_tests_properties(package_files PROPERTIES FIXTURES_REQUIRED kestrin_package)
set_tests_properties(e2e_package PROPERTIES FIXTURES_REQUIRED kestrin_package)
set_property(TEST e2e_package APPEND PROPERTY ENVIRONMENT "KESTRIN_PACKAGE=${KESTRIN_PACKAGE}-win64.zip")
