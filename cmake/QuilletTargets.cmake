# Helpers shared by the project's targets.

# quillet_warnings(<target>): warnings are errors in our own code.
function(quillet_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
                         -Wno-missing-field-initializers)
endfunction()

# quillet_sources(<out-var> <dir> [RECURSE]): the C++ sources of a folder for this
# platform. Files named *_linux.cpp are taken on Linux and *_win.cpp on Windows; every
# other *.cpp is shared. Tests (*_test.cpp) and main.cpp are never taken.
function(quillet_sources out dir)
  file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(result "")
  foreach(f IN LISTS found)
    get_filename_component(name ${f} NAME)
    if(name MATCHES "_test\\.cpp$" OR name STREQUAL "main.cpp")
      continue()
    endif()
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
