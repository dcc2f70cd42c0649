# The "compressed" image transport is this package's only where ROS's own is not installed: both
# declaring image_transport/compressed_pub would leave which one a program loads to chance.
#
# Sets `result` to what shows the standard transport installed, empty when nothing does: a package
# other than image_transport and `own_package` that declares image_transport/compressed_pub, as
# pluginlib finds it through rospack, or its library under a prefix.
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
      if(declared MATCHES "\"image_transport/compressed_pub\"")
        set(found "package ${package} declares it in ${xml}")
        break()
      endif()
    endforeach()
  endif()
  if(NOT found)
    set(prefixes ${CMAKE_PREFIX_PATH} $ENV{CMAKE_PREFIX_PATH} /usr)
    string(REPLACE ":" ";" prefixes "${prefixes}")
    foreach(prefix IN LISTS prefixes)
      file(GLOB libraries "${prefix}/lib/libcompressed_image_transport.so" "${prefix}/lib/*/libcompressed_image_transport.so"
        "${prefix}/lib/*/ros/libcompressed_image_transport.so")
      if(libraries)
        list(GET libraries 0 library)
        set(found "its library ${library} is installed")
        break()
      endif()
    endforeach()
  endif()
  set(${result} "${found}" PARENT_SCOPE)
endfunction()

# Run as `cmake -P` it tells what it found, for a test to check.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  zel_find_standard_compressed_transport("${OWN_PACKAGE}" found)
  message(NOTICE "standard=${found}")
endif()
