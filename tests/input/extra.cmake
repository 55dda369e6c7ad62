# The X tests send their input through the X test extension of the display they start.
pkg_check_modules(INPUT_XTST REQUIRED IMPORTED_TARGET xtst x11)
target_link_libraries(test_${area} PRIVATE PkgConfig::INPUT_XTST)
