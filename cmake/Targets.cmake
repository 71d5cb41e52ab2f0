# The helpers every CMakeLists.txt of the project builds its targets with.

# Glob a folder's sources; new files are picked up without editing CMake lists.
function(tavox_sources out_var)
    set(result)
    foreach(dir IN LISTS ARGN)
        file(GLOB found CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.h")
        list(APPEND result ${found})
    endforeach()
    set(${out_var} ${result} PARENT_SCOPE)
endfunction()

# A library exposes only its own folders: its users get an include root that holds links to
# those folders alone (build/include/<target>/<folder> -> <base>/<folder>), so that an include
# of another library's header fails to compile unless that library is linked too.
function(tavox_expose target base)
    set(root ${PROJECT_BINARY_DIR}/include/${target})
    foreach(dir IN LISTS ARGN)
        get_filename_component(parent ${root}/${dir} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${base}/${dir} ${root}/${dir} SYMBOLIC)
    endforeach()
    target_include_directories(${target} PUBLIC ${root})
endfunction()

# One GoogleTest executable per library, from the given test folders; ENVIRONMENT adds
# "NAME=value" entries to the environment CTest runs its tests in.
function(tavox_test name)
    cmake_parse_arguments(T "" "MAIN" "DIRS;LIBS;ENVIRONMENT" ${ARGN})
    set(files)
    foreach(dir IN LISTS T_DIRS)
        file(GLOB found CONFIGURE_DEPENDS "${dir}/*.cpp")
        list(APPEND files ${found})
    endforeach()
    # The shared main of the user-interface tests and the screenshot program are no tests.
    list(FILTER files EXCLUDE REGEX "/(UiTestMain|PageScreenshots)\\.cpp$")
    if(T_MAIN)
        add_executable(${name} ${files} ${T_MAIN})
        target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock project_warnings)
    else()
        add_executable(${name} ${files})
        target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock project_warnings)
    endif()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        TAVOX_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
        TAVOX_NODESETS_DIR="${TAVOX_NODESETS_DIR}"
        TAVOX_BINARY_DIR="${PROJECT_BINARY_DIR}"
        TAVOX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
    # The environment is set on the discovered tests by a file CTest reads after the discovery's
    # own: handed to the discovery, a value of several entries would be split into properties.
    set(environment QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 ${T_ENVIRONMENT})
    set(environment_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake)
    file(WRITE ${environment_file}
        "if(${name}_TESTS)\n"
        "  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT \"${environment}\")\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${environment_file})
endfunction()
