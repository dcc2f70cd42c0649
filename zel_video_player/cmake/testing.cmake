# Every test suite runs two ways: under CTest, one test at a time (scripts/test.sh), and under
# catkin's run_tests, the way a ROS user runs a package's tests, which writes the JUnit results
# catkin_test_results counts.
find_package(GTest REQUIRED)
include(GoogleTest)

# What a suite needs, as its CTest label, so that one group runs alone (`ctest -L unit`):
#   unit     nothing: no master, no ROS running (ffmpeg's command at most, which the media tests skip without)
#   master   a private master that the test starts in its own process
#   program  the programs run beside a private master, as a user runs them
# Further arguments are CTest properties of each case, such as TIMEOUT 60.
function(zel_add_test_suite target needs)
  if(NOT needs MATCHES "^(unit|master|program)$")
    message(FATAL_ERROR "test suite ${target}: needs unit, master or program, not '${needs}'")
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 PROPERTIES LABELS ${needs} ${ARGN})
  set(results ${CATKIN_TEST_RESULTS_DIR}/${PROJECT_NAME}/gtest-${target}.xml)
  catkin_run_tests_target(gtest ${target} gtest-${target}.xml
    COMMAND "$<TARGET_FILE:${target}> --gtest_output=xml:${results}"
    DEPENDENCIES ${target})
endfunction()

# catkin gives each suite, and each rostest, one more CTest entry that runs it whole. CTest runs the
# suites case by case already, so their whole runs are switched off; the rostest's entry is how
# CTest runs it, except in a sanitizer build, whose pace it could not keep.
function(zel_keep_ctest_to_cases)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(test ${tests})
    if(test MATCHES "^_ctest_${PROJECT_NAME}_gtest_")
      set_tests_properties(${test} PROPERTIES DISABLED TRUE)
    elseif(test MATCHES "^_ctest_${PROJECT_NAME}_rostest_")
      set_tests_properties(${test} PROPERTIES TIMEOUT 120 LABELS program
        ENVIRONMENT "ROS_HOME=${CMAKE_CURRENT_BINARY_DIR}/rostest_home;ROS_HOSTNAME=127.0.0.1")
      if(ZEL_SANITIZE)
        set_tests_properties(${test} PROPERTIES DISABLED TRUE)
      endif()
    endif()
  endforeach()
endfunction()
