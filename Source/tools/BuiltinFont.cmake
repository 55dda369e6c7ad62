# The text windows' built-in font: drawn by make_console_font into a PNG at build time and compiled into
# the library as a byte array. Sets YDX_BUILTIN_FONT_SOURCE for the library target.
add_executable(make_console_font ${CMAKE_CURRENT_LIST_DIR}/make_console_font.cpp)
target_link_libraries(make_console_font PRIVATE PkgConfig::PNG)
set(YDX_BUILTIN_FONT_SOURCE ${CMAKE_BINARY_DIR}/generated/BuiltinFont.cpp)
add_custom_command(OUTPUT ${YDX_BUILTIN_FONT_SOURCE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:make_console_font> ${YDX_BUILTIN_FONT_SOURCE}
  DEPENDS make_console_font
  COMMENT "Drawing the built-in console font")
