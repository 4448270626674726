# The program's version lives in one place, the VERSION file at the top of the source
# tree (one line, e.g. "0.03改"). Its whole text is what the caption and the version
# resource's strings show; its leading number ("0.03") names the release zips and gives
# the resource's numeric file version (0,3,0,0). Both reach the compiler and windres as
# definitions, so no source file outside core/ and resources/ has to be included. The text
# is passed bare and made a string where it is used (windres's preprocessor loses quotes
# given on its command line), so it may hold no spaces, quotes or ASCII punctuation but
# "+", "-", "." and "_".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/VERSION)
file(STRINGS ${CMAKE_SOURCE_DIR}/VERSION KESTRIN_VERSION LIMIT_COUNT 1 ENCODING UTF-8)
string(STRIP "${KESTRIN_VERSION}" KESTRIN_VERSION)
string(REGEX MATCH "^[0-9]+(\\.[0-9]+)*" KESTRIN_VERSION_NUMBER "${KESTRIN_VERSION}")
if(NOT KESTRIN_VERSION_NUMBER OR KESTRIN_VERSION MATCHES "[ -*,/:-@[-^`{-~]")
  message(FATAL_ERROR "VERSION must start with a number such as 0.03 and hold no spaces, quotes or punctuation: '${KESTRIN_VERSION}'")
endif()

string(REPLACE "." ";" fields "${KESTRIN_VERSION_NUMBER}")
list(LENGTH fields count)
if(count GREATER 4)
  message(FATAL_ERROR "VERSION has more than four numbers: '${KESTRIN_VERSION_NUMBER}'")
endif()
while(count LESS 4)
  list(APPEND fields 0)
  math(EXPR count "${count} + 1")
endwhile()
set(numbers "")
foreach(field ${fields})
  string(REGEX REPLACE "^0+([0-9])" "\\1" field "${field}")
  list(APPEND numbers ${field})
endforeach()
string(REPLACE ";" "," KESTRIN_VERSION_FIELDS "${numbers}")

add_compile_definitions(KESTRIN_VERSION=${KESTRIN_VERSION} KESTRIN_VERSION_FIELDS=${KESTRIN_VERSION_FIELDS})
