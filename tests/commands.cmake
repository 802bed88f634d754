# Commands and settings through a real MainWindow on the offscreen platform.
# The file reads are counted from outside with Linux inotify.
add_library(tailpeekwindowharness STATIC fileaccesswatch.h fileaccesswatch.cpp
                                         windowharness.h windowharness.cpp)
target_link_libraries(tailpeekwindowharness PUBLIC tailpeektestkit tailpeekcore Qt::Test)
target_include_directories(tailpeekwindowharness PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
tailpeek_warnings(tailpeekwindowharness)

tailpeek_add_test(tst_controlpanel tst_controlpanel.cpp)
target_link_libraries(tst_controlpanel PRIVATE tailpeekwindowharness)

tailpeek_add_test(tst_codeccommands tst_codeccommands.cpp)
target_link_libraries(tst_codeccommands PRIVATE tailpeekwindowharness)

tailpeek_add_test(tst_filecommands tst_filecommands.cpp)
target_link_libraries(tst_filecommands PRIVATE tailpeekwindowharness)

tailpeek_add_test(tst_appearance tst_appearance.cpp)
target_link_libraries(tst_appearance PRIVATE tailpeekwindowharness)

tailpeek_add_test(tst_settings tst_settings.cpp)
target_link_libraries(tst_settings PRIVATE tailpeekwindowharness)

# The view after a reload against a fresh rebuild, and following while reading.
tailpeek_add_test(tst_viewdifferential tst_viewdifferential.cpp)
target_link_libraries(tst_viewdifferential PRIVATE tailpeekwindowharness)
tailpeek_add_test(tst_viewfollow tst_viewfollow.cpp)
target_link_libraries(tst_viewfollow PRIVATE tailpeekwindowharness)

# The find bar: next and previous through the whole file, and go to a time.
tailpeek_add_test(tst_windowfind tst_windowfind.cpp)
target_link_libraries(tst_windowfind PRIVATE tailpeekwindowharness)
tailpeek_add_test(tst_matchlist tst_matchlist.cpp)
target_link_libraries(tst_matchlist PRIVATE tailpeekwindowharness)

# Highlight rules: precedence and scopes, the store and rule files, the view's
# context menu.
tailpeek_add_test(tst_highlightrules tst_highlightrules.cpp)
target_link_libraries(tst_highlightrules PRIVATE tailpeekwindowharness)
