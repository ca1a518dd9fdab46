# Third-party libraries of the Windows build: the XML stack that scripts/build-win-deps.sh
# cross-builds into QUILLET_WIN_DEPS_PREFIX (zlib, libxml2, libxslt, libltdl and xmlsec1
# with its mscrypto back end). nlohmann::json is header-only and taken from the build
# machine. The C++ runtime is linked statically, so that our modules need only the GCC
# runtime DLL and winpthreads (the dependency list in host/host_platform_win.cpp).
set(QUILLET_WIN_DEPS_PREFIX "" CACHE PATH
    "Install prefix of the cross-built XML stack (scripts/build-win-deps.sh)")
if(NOT EXISTS ${QUILLET_WIN_DEPS_PREFIX}/lib/libxmlsec1-mscrypto.dll.a)
  message(FATAL_ERROR "cross-built XML stack not found under '${QUILLET_WIN_DEPS_PREFIX}'; "
                      "run scripts/build-win-deps.sh first")
endif()
if(NOT QUILLET_GCC_RUNTIME_DLL)
  message(FATAL_ERROR "QUILLET_GCC_RUNTIME_DLL is set by cmake/toolchains/*.cmake")
endif()

find_path(QUILLET_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
          REQUIRED)
# Only the json headers, never the build machine's whole /usr/include.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/json_include)
file(CREATE_LINK ${QUILLET_JSON_INCLUDE}/nlohmann ${CMAKE_BINARY_DIR}/json_include/nlohmann
     SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE
                           ${CMAKE_BINARY_DIR}/json_include)

add_compile_definitions(UNICODE=1 _UNICODE=1 WINVER=0x0601 _WIN32_WINNT=0x0601)
add_link_options(-static-libstdc++)

set(_deps ${QUILLET_WIN_DEPS_PREFIX})
add_library(quillet_xmlsec INTERFACE)
target_include_directories(quillet_xmlsec SYSTEM INTERFACE
  ${_deps}/include/xmlsec1 ${_deps}/include/libxml2 ${_deps}/include)
target_compile_definitions(quillet_xmlsec INTERFACE
  __XMLSEC_FUNCTION__=__func__ XMLSEC_DL_LIBLTDL=1 XMLSEC_CRYPTO_MSCRYPTO=1)
target_link_libraries(quillet_xmlsec INTERFACE
  ${_deps}/lib/libxmlsec1-mscrypto.dll.a ${_deps}/lib/libxmlsec1.dll.a
  ${_deps}/lib/libxslt.dll.a ${_deps}/lib/libxml2.dll.a crypt32 advapi32)
