# --- faults: following real logs under rotation, truncation and bad files ---

# The window, probe and writer thread the fault suites share.
add_library(faultharness STATIC faultharness.h faultharness.cpp)
target_link_libraries(faultharness PUBLIC tailpeektestkit tailpeekcore Qt::Test)
tailpeek_warnings(faultharness)

function(tailpeek_add_fault_test name)
  tailpeek_add_test(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE faultharness)
endfunction()

tailpeek_add_fault_test(tst_faultfollow tst_faultfollow.cpp)
tailpeek_add_fault_test(tst_faultpaths tst_faultpaths.cpp)
tailpeek_add_fault_test(tst_faultcontent tst_faultcontent.cpp)
tailpeek_add_fault_test(tst_faulthuge tst_faulthuge.cpp)
tailpeek_add_fault_test(tst_faultreadonly tst_faultreadonly.cpp)
tailpeek_add_fault_test(tst_faultwarnings tst_faultwarnings.cpp)
tailpeek_add_fault_test(tst_faultioerror tst_faultioerror.cpp)
tailpeek_preload_failing_pread(tst_faultioerror)

# The real program under Xvfb: a Japanese path with spaces on the command line.
add_executable(x11probe x11probe.cpp)
target_link_libraries(x11probe PRIVATE tailpeekcore Qt::Test)
tailpeek_warnings(x11probe)
add_test(NAME fault_cli
  COMMAND xvfb-run -a -n 111 -s "-screen 0 1280x800x24 -noreset"
          bash ${CMAKE_CURRENT_SOURCE_DIR}/fault_cli.sh $<TARGET_FILE:tailpeek> $<TARGET_FILE:x11probe>)
set_tests_properties(fault_cli PROPERTIES TIMEOUT 300)

# A 30-second version of tools/soak.sh on this build's program (the full run
# is ten minutes and has its own command).
add_test(NAME soak_30s
  COMMAND bash ${TAILPEEK_DIR}/tools/soak.sh 30)
set_tests_properties(soak_30s PROPERTIES TIMEOUT 300
  ENVIRONMENT "TAILPEEK_SOAK_PROGRAM=$<TARGET_FILE:tailpeek>;TAILPEEK_SOAK_PROBE=$<TARGET_FILE:x11probe>")
