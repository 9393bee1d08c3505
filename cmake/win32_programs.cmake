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

# Zarnoscope is a console program.
add_executable(Zarnoscope zarnoscope/main_win32.cpp)
target_link_options(Zarnoscope PRIVATE -static)
target_link_libraries(Zarnoscope PRIVATE zarnoscope_lib)

# The Wine test's program: the Win32 checks, and the runner that answers
# the message boxes of the programs it starts.
add_executable(win32_test tests/wine/win32_test.cpp ${ZARNO_RESOURCES})
target_link_options(win32_test PRIVATE -static)
target_link_libraries(win32_test PRIVATE zarno_core)
