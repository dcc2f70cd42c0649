# The "compressed" image transport is this package's only where ROS's own is not installed: both
# declaring image_transport/compressed_pub would leave which one a program loads to chance.
#
# Sets `result` to what shows that pluginlib can load the standard transport, empty when nothing
# does: a package other than image_transport and `own_package` that declares
# image_transport/compressed_pub, as pluginlib finds it through rospack. Its library alone is no
# sign: Debian trixie's ros-compressed-image-transport brings the library and its plugins' list,
# but the package.xml that declares them to rospack comes only with ros-compressed-image-transport-dev.
function(zel_find_standard_compressed_transport own_package result)
  set(found "")
  find_program(ZEL_ROSPACK rospack)
  if(ZEL_ROSPACK)
    # rospack's cache may be older than a package installed a moment ago.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ROS_CACHE_TIMEOUT=0 ${ZEL_ROSPACK} plugins --attrib=plugin image_transport
      OUTPUT_VARIABLE listing ERROR_QUIET)
    string(REPLACE "\n" ";" lines "${listing}")
    foreach(line IN LISTS lines)
      # Each line is "package path"; the match is taken apart before anything else reads it.
      if(NOT line MATCHES "^([^ ]+) (.+)$")
        continue()
      endif()
      set(package ${CMAKE_MATCH_1})
      set(xml ${CMAKE_MATCH_2})
      if(package STREQUAL "image_transport" OR package STREQUAL own_package OR NOT EXISTS "${xml}")
        continue()
      endif()
      file(READ "${xml}" declared)
      if(declared MATCHES "name *= *[\"']image_transport/compressed_pub[\"']")
        set(found "package ${package} declares it in ${xml}")
        break()
      endif()
    endforeach()
  else()
    message(WARNING "rospack not found: whether ROS's own compressed image transport can be loaded is unknown")
  endif()
  set(${result} "${found}" PARENT_SCOPE)
endfunction()

# Run as `cmake -P` it tells what it found, for a test to check.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  zel_find_standard_compressed_transport("${OWN_PACKAGE}" found)
  message(NOTICE "standard=${found}")
endif()
