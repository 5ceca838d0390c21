# za_library(NAME [DEPS dep...] [TEST_DEPS dep...] [EXCLUDE file.cc...]): a static
# library from src/*.cc of the calling folder (less EXCLUDE) with the public
# headers in include/, and one test binary per tests/*_test.cc.
# Test binaries link the whole program's libraries with exported symbols so that
# plug-ins loaded by a test can bind to them, just as they bind to operadmin.cgi.
function(za_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;TEST_DEPS;EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cc)
  foreach(x ${ARG_EXCLUDE})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/src/${x})
  endforeach()
  if(NOT srcs) # a library folder whose sources are yet to come
    set(srcs ${CMAKE_SOURCE_DIR}/cmake/empty.cc)
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*_test.cc)
  foreach(t ${tests})
    get_filename_component(tname ${t} NAME_WE)
    add_executable(${tname} ${t})
    za_link_whole(${tname} ${name})
    target_link_libraries(${tname} PRIVATE ${ARG_TEST_DEPS} GTest::gtest_main Threads::Threads)
    target_include_directories(${tname} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
    set_target_properties(${tname} PROPERTIES ENABLE_EXPORTS ON
                          RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_compile_definitions(${tname} PRIVATE
      ZA_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ZA_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${tname} COMMAND ${tname} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  endforeach()
  za_fuzz_targets(${name})
endfunction()

# za_fuzz_targets(lib): in a fuzzing build, one libFuzzer program bin/fuzz/NAME
# per fuzz/NAME_fuzz.cc of the calling folder, linked with lib; its seed
# corpus is the folder fuzz/NAME/.
function(za_fuzz_targets lib)
  if(NOT ZA_FUZZ)
    return()
  endif()
  file(GLOB targets CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/*_fuzz.cc)
  foreach(t ${targets})
    get_filename_component(fname ${t} NAME_WE)
    string(REGEX REPLACE "_fuzz$" "" fname ${fname})
    add_executable(fuzz_${fname} ${t})
    target_link_libraries(fuzz_${fname} PRIVATE ${lib} -fsanitize=fuzzer)
    target_include_directories(fuzz_${fname} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)
    set_target_properties(fuzz_${fname} PROPERTIES OUTPUT_NAME ${fname}
                          RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/fuzz)
    add_dependencies(fuzzers fuzz_${fname})
  endforeach()
endfunction()

# za_link_whole(TARGET lib...): links every object of the given libraries into
# TARGET (not only those it calls), so that plug-ins find all of them, and
# exports the program's symbols to the plug-ins it loads.
function(za_link_whole target)
  set(files)
  foreach(lib ${ARGN})
    list(APPEND files $<TARGET_FILE:${lib}>)
  endforeach()
  target_link_libraries(${target} PRIVATE -Wl,--whole-archive ${files} -Wl,--no-whole-archive ${ARGN})
  add_dependencies(${target} ${ARGN})
  set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
endfunction()
