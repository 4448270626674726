# Benchmarks: console programs that time the hot paths and print what they measured.
# They never pass or fail on time; scripts/bench builds and runs them.
file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/bench/*.cpp)
foreach(bench ${bench_sources})
  get_filename_component(bench_name ${bench} NAME_WE)
  add_executable(${bench_name} ${bench})
  target_include_directories(${bench_name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_compile_options(${bench_name} PRIVATE ${KESTRIN_WARNINGS})
  target_link_libraries(${bench_name} PRIVATE kestrin_program)
endforeach()
