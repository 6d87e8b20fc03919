# Helpers shared by every folder's CMakeLists.txt.
#
# quorvel_library(NAME DEPS ...): a static library of every .cpp in the
# current folder except *_test.cpp and main.cpp. Sources include headers by
# their path in the repository ("platform/foundation/x.h"), but a library's
# include root shows only its own folder (quorvel_include_root), and a
# dependent sees the folders of what it links: the links are the layering,
# and an include that goes the wrong way does not compile.
#
# quorvel_tests(NAME DEPS ...): one GoogleTest binary of every *_test.cpp in
# the current folder, registered with CTest test by test.

# quorvel_include_root(TARGET VISIBILITY FOLDER): a folder in the build tree
# holding only FOLDER (a link to it, at its path in the repository), added
# to TARGET's include directories.
function(quorvel_include_root target visibility folder)
  set(root ${CMAKE_BINARY_DIR}/include-roots/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} ${visibility} ${root})
endfunction()

function(quorvel_library name)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "(_test|_bench|_fuzz|/main)\\.cpp$")
  if(NOT sources)
    # A header-only layer (or one whose sources are still being written).
    add_library(${name} INTERFACE)
    quorvel_include_root(${name} INTERFACE ${folder})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  quorvel_include_root(${name} PUBLIC ${folder})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

function(quorvel_tests name)
  if(NOT QUORVEL_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} quorvel_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Labelled by binary, so a run can pick the tests one binary holds.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${name})
endfunction()

# quorvel_module(NAME LOADER TARGET PATH_DEFINE NAME SOURCES ... LINKS ...):
# lib<NAME>.so in the modules' folder, loaded at run time by the library
# LOADER, which gets PATH_DEFINE: the module's path from a program's folder.
# The module keeps its own copies of what it links (--exclude-libs,
# -Bsymbolic), so it never binds to the program's copies.
function(quorvel_module name)
  cmake_parse_arguments(ARG "" "LOADER;PATH_DEFINE" "SOURCES;LINKS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  add_library(${name} MODULE ${ARG_SOURCES})
  quorvel_include_root(${name} PRIVATE ${folder})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL -Wl,-Bsymbolic)
  set_target_properties(${name} PROPERTIES PREFIX "lib" OUTPUT_NAME ${name}
                        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${QUORVEL_MODULE_DIR})
  target_compile_definitions(${ARG_LOADER} PRIVATE
    ${ARG_PATH_DEFINE}="../${QUORVEL_MODULE_DIR}/$<TARGET_FILE_NAME:${name}>")
  add_dependencies(${ARG_LOADER} ${name})
endfunction()
