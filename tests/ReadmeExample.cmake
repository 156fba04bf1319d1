# Runs the library example and fails unless it succeeds and the README holds
# both its source, as a fenced cpp block, and its output, as a fenced text block.
execute_process(COMMAND ${EXAMPLE_BINARY} RESULT_VARIABLE status
                OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${EXAMPLE_BINARY} ended with ${status}:\n${output}${errors}")
endif()
if(NOT errors STREQUAL "")
  message(FATAL_ERROR "${EXAMPLE_BINARY} wrote to standard error:\n${errors}")
endif()

file(READ ${EXAMPLE_SOURCE} source)
file(READ ${README} readme)
string(FIND "${readme}" "```cpp\n${source}```\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "README.md does not hold ${EXAMPLE_SOURCE} verbatim in a ```cpp block")
endif()
string(FIND "${readme}" "```text\n${output}```\n" at)
if(at EQUAL -1)
  message(FATAL_ERROR "README.md does not show the example's output in a ```text block:\n${output}")
endif()
message(STATUS "the README's library example runs and prints: ${output}")
