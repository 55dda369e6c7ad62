# The export check reads the dynamic symbol table of the library as built.
target_compile_definitions(test_${area} PRIVATE YDX_SHARED_LIBRARY="$<TARGET_FILE:Yandorix>")
