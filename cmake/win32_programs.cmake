# The Windows programs, Rigwright.exe and Skinwright.exe: window-system
# programs (no console), each carrying the progress dialog template, linked
# statically so that they need no DLL beyond the system's. Also the Win32
# programs of the Wine test (tests/wine/).
enable_language(RC)

set(ZARNO_WIN32_LIBRARIES comctl32 gdi32 advapi32 user32)
set(ZARNO_RESOURCES ${CMAKE_SOURCE_DIR}/resources/progress_dialog.rc)
set_source_files_properties(${ZARNO_RESOURCES} PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/resource_ids.h)
target_link_libraries(zarno_core PUBLIC ${ZARNO_WIN32_LIBRARIES})

function(zarno_windows_program target)
  add_executable(${target} WIN32 ${ARGN})
  target_link_options(${target} PRIVATE -static -mwindows)
endfunction()

zarno_windows_program(Rigwright rigwright/main_win32.cpp ${ZARNO_RESOURCES})
target_link_libraries(Rigwright PRIVATE rigwright_lib)

zarno_windows_program(Skinwright skinwright/main_win32.cpp ${ZARNO_RESOURCES})
target_link_libraries(Skinwright PRIVATE skinwright_lib)

# The Wine test's helpers: a console program that starts a program and
# answers its message boxes, and the tests of the Win32 platform and shell.
add_executable(box_clicker tests/wine/box_clicker.cpp)
target_link_options(box_clicker PRIVATE -static)
target_link_libraries(box_clicker PRIVATE user32)

foreach(test replace_fault_test win32_shell_test)
  add_executable(${test} tests/wine/${test}.cpp)
  target_link_options(${test} PRIVATE -static)
  target_link_libraries(${test} PRIVATE zarno_core)
endforeach()
target_sources(win32_shell_test PRIVATE ${ZARNO_RESOURCES})
