# One interface target carries the project's warning set; every target links it PRIVATE.
add_library(project_warnings INTERFACE)
target_compile_options(project_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor
    -Woverloaded-virtual -Wformat=2)
if(TAVOX_WERROR)
    target_compile_options(project_warnings INTERFACE -Werror)
endif()
