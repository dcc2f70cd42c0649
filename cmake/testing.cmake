# Every test suite runs two ways: under CTest, one test at a time (scripts/test.sh), and under
# catkin's run_tests, the way a ROS user runs a package's tests, which writes the JUnit results
# catkin_test_results counts.
find_package(GTest REQUIRED)
include(GoogleTest)

function(zel_add_test_suite target)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30 ${ARGN})
  set(results ${CATKIN_TEST_RESULTS_DIR}/${PROJECT_NAME}/gtest-${target}.xml)
  catkin_run_tests_target(gtest ${target} gtest-${target}.xml
    COMMAND "$<TARGET_FILE:${target}> --gtest_output=xml:${results}"
    DEPENDENCIES ${target})
endfunction()
