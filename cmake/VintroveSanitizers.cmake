# Sanitizers apply to everything in the native build, third-party code included, so that
# instrumented and uninstrumented code never mix.
if(VINTROVE_SANITIZERS AND NOT WIN32)
  list(JOIN VINTROVE_SANITIZERS "," _sanitizers)
  add_compile_options(-fsanitize=${_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_sanitizers})
endif()
