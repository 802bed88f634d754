# What the user sees at a glance: the status line, Qt's own dialogs in the
# user's language, a first window that fits small and scaled screens.

tailpeek_add_test(tst_statusline tst_statusline.cpp)
target_link_libraries(tst_statusline PRIVATE tailpeekwindowharness)

# Runs under a Japanese locale of its own (it sets LANG itself).
tailpeek_add_test(tst_toolkittranslations tst_toolkittranslations.cpp)
target_link_libraries(tst_toolkittranslations PRIVATE tailpeekwindowharness)

# The real program on small screens at scales 2 and 1.25, each in its own Xvfb;
# leaves the screenshots beside this build's tests.
add_test(NAME firstwindow_test
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/firstwindow_test.sh $<TARGET_FILE:tailpeek>
               ${CMAKE_CURRENT_BINARY_DIR})
set_tests_properties(firstwindow_test PROPERTIES TIMEOUT 300)
