# The cross build: the plug-in DLL, the host client simulator and the Wine tests.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
enable_language(RC)

# Everything links statically so that the DLL and the programs need nothing
# beyond the system's own libraries.
set(WIN32_STATIC_LINK -static -static-libgcc -static-libstdc++)
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)

target_sources(dravlin_core PRIVATE menufile/file_io_win32.cpp)

add_library(dravlin_win STATIC
  win/module.cpp
  win/window.cpp
  win/async_socket.cpp
  win/dialog.cpp
)
target_include_directories(dravlin_win PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(dravlin_win PUBLIC dravlin_core wsock32 user32 gdi32)

add_library(dravlin SHARED
  plugin/entry_points.cpp
  plugin/application.cpp
  plugin/plugin_window.cpp
  hostlink/host_link_win32.cpp
  popup/trigger_hook_win32.cpp
  config/config_tree_win32.cpp
  config/property_dialogs_win32.cpp
  config/config_dialog_win32.cpp
  popup/popup_menu_win32.cpp
  popup/finder_window_win32.cpp
  plugin/dravlin.def
  res/dravlin.rc
  res/dialogs.rc
)
set_target_properties(dravlin PROPERTIES PREFIX "" OUTPUT_NAME dravlin)
# The resource compiler's dependencies are not scanned: a changed icon must
# still rebuild the module.
file(GLOB DRAVLIN_ICONS ${CMAKE_SOURCE_DIR}/res/icons/*.ico)
set_source_files_properties(res/dravlin.rc PROPERTIES OBJECT_DEPENDS "${DRAVLIN_ICONS}")
target_link_libraries(dravlin PRIVATE dravlin_win comctl32 shell32 ${WIN32_STATIC_LINK})
target_link_options(dravlin PRIVATE -Wl,--enable-stdcall-fixup)
target_compile_options(dravlin PRIVATE -Wall -Wextra)

add_library(host_simulator STATIC tools/host_simulator.cpp)
target_include_directories(host_simulator PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(host_simulator PUBLIC dravlin_core ws2_32 user32 gdi32)

add_executable(host_sim WIN32 tools/host_sim_main.cpp)
target_link_libraries(host_sim PRIVATE host_simulator ${WIN32_STATIC_LINK})
add_dependencies(host_sim dravlin)

# The soak: a host client and a user acting at random for a chosen time.
add_executable(dravlin_soak
  tools/soak/main.cpp
  tools/soak/supervisor.cpp
  tools/soak/soak.cpp
  tools/soak/link_steps.cpp
  tools/soak/menu_steps.cpp
  tools/soak/finder_steps.cpp
  tools/soak/dialog_steps.cpp
  tools/soak/file_steps.cpp
  tools/soak/menu_model.cpp
)
target_link_libraries(dravlin_soak PRIVATE host_simulator ${WIN32_STATIC_LINK})
target_compile_options(dravlin_soak PRIVATE -Wall -Wextra)
add_dependencies(dravlin_soak dravlin shell_handler)

add_subdirectory(tests/wine)
add_subdirectory(bench)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_test(NAME dll_exports_are_stdcall
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-dll.sh $<TARGET_FILE:dravlin>)
endif()
