# quillet_version_record(<target> APP|DLL): gives a binary the version resource with file
# and product version = the project version (1.2.0.0), file type application or library.
# On Windows a VERSIONINFO .rc; elsewhere the same VS_VERSIONINFO block (VS_FIXEDFILEINFO
# and nothing else) in the ELF section ".quillet_version", which the platform layer's
# GetFileVersionInfoW reads back from the file.
function(quillet_version_record target kind)
  if(kind STREQUAL "APP")
    set(file_type 1)
  elseif(kind STREQUAL "DLL")
    set(file_type 2)
  else()
    message(FATAL_ERROR "quillet_version_record(${target} ${kind}): APP or DLL")
  endif()
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(v_${part} ${PROJECT_VERSION_${part}})
    if(v_${part} STREQUAL "")
      set(v_${part} 0)
    endif()
  endforeach()
  math(EXPR version_ms "(${v_MAJOR} << 16) | ${v_MINOR}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR version_ls "(${v_PATCH} << 16) | ${v_TWEAK}" OUTPUT_FORMAT HEXADECIMAL)
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/version_record)
  if(WIN32)
    set(source ${out_dir}/${target}.rc)
    file(CONFIGURE OUTPUT ${source} CONTENT
"1 VERSIONINFO
FILEVERSION ${v_MAJOR},${v_MINOR},${v_PATCH},${v_TWEAK}
PRODUCTVERSION ${v_MAJOR},${v_MINOR},${v_PATCH},${v_TWEAK}
FILEFLAGSMASK 0x3fL
FILEFLAGS 0x0L
FILEOS 0x40004L
FILETYPE ${file_type}
FILESUBTYPE 0x0L
BEGIN
  BLOCK \"StringFileInfo\"
  BEGIN
    BLOCK \"040904b0\"
    BEGIN
      VALUE \"FileVersion\", \"${PROJECT_VERSION}\"
      VALUE \"ProductName\", \"Quillet\"
      VALUE \"ProductVersion\", \"${PROJECT_VERSION}\"
    END
  END
  BLOCK \"VarFileInfo\"
  BEGIN
    VALUE \"Translation\", 0x409, 1200
  END
END
")
  else()
    set(source ${out_dir}/${target}_version_record.c)
    file(CONFIGURE OUTPUT ${source} CONTENT
"/* Made by quillet_version_record(): the version resource of ${target}. */
struct quillet_version_block {
  unsigned short wLength, wValueLength, wType;
  unsigned short szKey[16]; /* L\"VS_VERSION_INFO\" */
  unsigned short padding;
  unsigned int value[13];   /* VS_FIXEDFILEINFO */
};

__attribute__((section(\".quillet_version\"), used, aligned(4)))
static const struct quillet_version_block quillet_version_record = {
  92, 52, 0,
  {'V', 'S', '_', 'V', 'E', 'R', 'S', 'I', 'O', 'N', '_', 'I', 'N', 'F', 'O', 0},
  0,
  {0xFEEF04BDu, 0x00010000u, ${version_ms}u, ${version_ls}u, ${version_ms}u, ${version_ls}u,
   0x3Fu, 0u, 0x00040004u, ${file_type}u, 0u, 0u, 0u}
};
")
  endif()
  target_sources(${target} PRIVATE ${source})
endfunction()
