# Third-party libraries. xmlsec1 is only ever the GOST-enabled build made by
# scripts/build-xmlsec.sh: its libraries are copied into the runtime directory and
# linked from there, so that RUNPATH $ORIGIN finds them and never Debian's own
# libxmlsec1 (same sonames, no GOST).

find_package(PkgConfig REQUIRED)
find_package(OpenSSL 3 REQUIRED)
find_package(LibXml2 REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
pkg_check_modules(XSLT REQUIRED IMPORTED_TARGET libxslt)

set(_xmlsec_lib ${QUILLET_XMLSEC_PREFIX}/lib)
if(NOT EXISTS ${_xmlsec_lib}/libxmlsec1.so.1 OR NOT EXISTS ${_xmlsec_lib}/libxmlsec1-openssl.so.1)
  message(FATAL_ERROR "GOST-enabled xmlsec1 not found under ${QUILLET_XMLSEC_PREFIX}; "
                      "run scripts/build-xmlsec.sh first")
endif()

file(MAKE_DIRECTORY ${QUILLET_BIN_DIR})
foreach(_lib libxmlsec1 libxmlsec1-openssl)
  file(REAL_PATH ${_xmlsec_lib}/${_lib}.so.1 _real)
  configure_file(${_real} ${QUILLET_BIN_DIR}/${_lib}.so.1 COPYONLY)
endforeach()
configure_file(${QUILLET_XMLSEC_PREFIX}/bin/xmlsec1 ${QUILLET_BIN_DIR}/xmlsec1 COPYONLY)
# libxmlsec1 loads its crypto back end by bare name through libltdl, which reads a libtool
# archive (.la) before any .so. Debian ships one for its own back end; this one, found
# first when the runtime directory is on libltdl's search path, names the bundled copy, so
# that the back end already loaded from here is the one libltdl hands out. It is marked
# not installed and names no libdir: libltdl then loads the file beside the archive,
# wherever the runtime directory has been copied or installed to (an installed archive
# would send it to the build's directory first).
file(WRITE ${QUILLET_BIN_DIR}/libxmlsec1-openssl.la
"# libxmlsec1-openssl.la - the bundled GOST-enabled xmlsec1 OpenSSL back end
dlname='libxmlsec1-openssl.so.1'
library_names='libxmlsec1-openssl.so.1'
old_library=''
inherited_linker_flags=''
dependency_libs=''
weak_library_names=''
installed=no
shouldnotlink=no
dlopen=''
dlpreopen=''
libdir=''
")

add_library(quillet_xmlsec INTERFACE)
target_include_directories(quillet_xmlsec SYSTEM INTERFACE
                           ${QUILLET_XMLSEC_PREFIX}/include/xmlsec1)
# xmlsec1's own headers need these to match how the library was built.
target_compile_definitions(quillet_xmlsec INTERFACE
  __XMLSEC_FUNCTION__=__func__ XMLSEC_NO_SIZE_T XMLSEC_OPENSSL3_ENGINES=1
  XMLSEC_DL_LIBLTDL=1 XMLSEC_CRYPTO_OPENSSL=1)
target_link_libraries(quillet_xmlsec INTERFACE
  ${QUILLET_BIN_DIR}/libxmlsec1-openssl.so.1 ${QUILLET_BIN_DIR}/libxmlsec1.so.1
  OpenSSL::Crypto LibXml2::LibXml2 PkgConfig::XSLT)
