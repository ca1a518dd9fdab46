# Helpers shared by the project's targets.

# quillet_warnings(<target>): warnings are errors in our own code.
function(quillet_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
                         -Wno-missing-field-initializers)
endfunction()

# quillet_platform_files(<out-var> <file>...): the files of the list for this platform, the
# one place where the build chooses by platform. Files named *_linux.cpp are taken on Linux
# and *_win.cpp on Windows; every other file is shared.
function(quillet_platform_files out)
  set(result "")
  foreach(f IN LISTS ARGN)
    get_filename_component(name ${f} NAME)
    if(WIN32 AND name MATCHES "_linux\\.cpp$")
      continue()
    endif()
    if(NOT WIN32 AND name MATCHES "_win\\.cpp$")
      continue()
    endif()
    list(APPEND result ${f})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# quillet_sources(<out-var> <dir>): the C++ sources of a folder for this platform
# (quillet_platform_files). Tests (*_test.cpp) and main.cpp are never taken.
function(quillet_sources out dir)
  file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER found EXCLUDE REGEX "(_test\\.cpp|/main\\.cpp)$")
  quillet_platform_files(result ${found})
  set(${out} ${result} PARENT_SCOPE)
endfunction()
