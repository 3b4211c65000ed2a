# Warning flags for our own targets (third-party code keeps its own).
add_library(vintrove_warnings INTERFACE)
target_compile_options(vintrove_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow)
if(VINTROVE_WERROR)
  target_compile_options(vintrove_warnings INTERFACE -Werror)
endif()
