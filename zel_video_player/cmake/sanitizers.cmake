# ZEL_SANITIZE=address builds everything with AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer; ZEL_SANITIZE=thread with ThreadSanitizer. The two cannot share one
# build, so each goes into a build folder of its own (scripts/sanitize.sh). The repository's
# workspace file includes it first, so that the demo and the benchmarks, which link the node's
# libraries, are built with the same flags.
include_guard(GLOBAL)
set(ZEL_SANITIZE "" CACHE STRING "Sanitizer build: empty for none, address (ASan + UBSan) or thread (TSan)")
set_property(CACHE ZEL_SANITIZE PROPERTY STRINGS "" address thread)

if(ZEL_SANITIZE STREQUAL "address")
  # Undefined behaviour stops the program, so a finding cannot scroll past as a warning.
  set(zel_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined)
elseif(ZEL_SANITIZE STREQUAL "thread")
  set(zel_sanitize_flags -fsanitize=thread)
elseif(NOT ZEL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ZEL_SANITIZE must be empty, address or thread, not '${ZEL_SANITIZE}'")
endif()

if(zel_sanitize_flags)
  # Frame pointers keep the reports' stacks whole at little cost.
  add_compile_options(${zel_sanitize_flags} -fno-omit-frame-pointer)
  add_link_options(${zel_sanitize_flags})
  message(STATUS "Sanitizer build: ${ZEL_SANITIZE}")
endif()
