# cmake -DFUZZER=<target> -DCORPUS=<dir> -DWORK=<dir> -P RunFuzz.cmake: the stored corpus
# (every input must pass), then mutations for a bounded time; new inputs go to a scratch
# directory emptied on every run, crash reproducers to WORK/artifacts.

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
