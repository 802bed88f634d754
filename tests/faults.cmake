# --- faults: following real logs under rotation, truncation and bad files ---

# The window, probe, warning watcher and writer thread the fault suites share.
add_library(faultharness STATIC faultharness.h faultharness.cpp)
target_link_libraries(faultharness PUBLIC tailpeekcore Qt5::Test)
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
