# Runs the fuzz target for CTest: first over the stored corpus (every input in it must pass),
# then mutating it for a bounded time. New inputs go to a scratch directory that starts empty
# on every run, and crash reproducers to an artifacts directory, both in the build tree.
#
#   cmake -DFUZZER=<target> -DCORPUS=<dir> -DWORK=<dir> -P RunFuzz.cmake
foreach(variable FUZZER CORPUS WORK)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "RunFuzz.cmake needs -D${variable}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}/new")
file(MAKE_DIRECTORY "${WORK}/new" "${WORK}/artifacts")
execute_process(
  COMMAND "${FUZZER}" -runs=20000 -max_total_time=20 -timeout=10 -rss_limit_mb=2048
          -max_len=65536 -print_final_stats=1 "-artifact_prefix=${WORK}/artifacts/"
          "${WORK}/new" "${CORPUS}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the fuzz target failed (${result}); reproducers are in ${WORK}/artifacts")
endif()
