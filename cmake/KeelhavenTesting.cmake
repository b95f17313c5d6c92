# keelhaven_add_gtest(<name> SOURCES <files...> LIBS <targets...> [DEPENDS <targets...>]
#                     [OWN_MAIN] [PROPERTIES <ctest property> <value>...])
#
# Builds one GoogleTest program and registers each of its test cases with
# ctest (OWN_MAIN: the sources bring their own main() instead of gtest's;
# PROPERTIES: further ctest properties of every case, e.g. RESOURCE_LOCK).
# In the Windows build the cases run under Wine (the cross-compiling
# emulator) and need the "wine" fixture, whose cleanup stops the prefix's
# wineserver once every Wine test has run.
include(GoogleTest)

function(keelhaven_add_gtest name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "OWN_MAIN" "" "SOURCES;LIBS;DEPENDS;PROPERTIES")
  add_executable(${name} ${ARG_SOURCES})
  set(main GTest::gtest_main)
  if(ARG_OWN_MAIN)
    set(main GTest::gtest)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock ${main})
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  set(properties LABELS ${name} ${ARG_PROPERTIES})
  if(KEELHAVEN_UNDER_WINE)
    list(APPEND properties FIXTURES_REQUIRED wine)
  endif()
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${properties})
endfunction()

# Converts an absolute build-machine path into the path a Windows test
# program sees: backslashes, and under Wine the Unix root mapped to drive Z:.
function(keelhaven_wine_path out path)
  string(REPLACE "/" "\\\\" converted "${path}")
  if(KEELHAVEN_UNDER_WINE)
    set(converted "Z:${converted}")
  endif()
  set(${out} "${converted}" PARENT_SCOPE)
endfunction()
