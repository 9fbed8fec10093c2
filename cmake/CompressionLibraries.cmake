# The libraries behind the registry's compression methods (bzip2, liblzma,
# zstd), as one target zfcompression that the engine links:
# - Linux: Debian's packages (libbz2-dev, liblzma-dev, libzstd-dev).
# - Windows: static builds from Debian's source packages, made once per
#   build folder by scripts/windows_libraries.sh into BUILD/winlibs (about
#   a minute; the versions and licences are in scripts/windows_libraries.txt)
#   and installed with the engine's package.
add_library(zfcompression INTERFACE)
set_target_properties(zfcompression PROPERTIES EXPORT_NAME Compression)
if(WIN32)
  set(ZF_WINLIBS ${CMAKE_BINARY_DIR}/winlibs)
  if(NOT EXISTS ${ZF_WINLIBS}/versions.txt)
    message(STATUS "Building bzip2, liblzma and zstd for ${CMAKE_SYSTEM_PROCESSOR} from Debian sources")
    string(REGEX REPLACE "-gcc(-posix)?$" "" ZF_TRIPLET ${CMAKE_C_COMPILER})
    get_filename_component(ZF_TRIPLET ${ZF_TRIPLET} NAME)
    execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/windows_libraries.sh
                            ${ZF_TRIPLET} ${ZF_WINLIBS}
                    RESULT_VARIABLE ZF_WINLIBS_RESULT)
    if(NOT ZF_WINLIBS_RESULT EQUAL 0)
      message(FATAL_ERROR "scripts/windows_libraries.sh failed (${ZF_WINLIBS_RESULT})")
    endif()
  endif()
  set(ZF_WINLIBS_FILES ${ZF_WINLIBS}/lib/libbz2.a ${ZF_WINLIBS}/lib/liblzma.a
                       ${ZF_WINLIBS}/lib/libzstd.a)
  foreach(lib ${ZF_WINLIBS_FILES})
    get_filename_component(name ${lib} NAME)
    target_link_libraries(zfcompression INTERFACE
        $<BUILD_INTERFACE:${lib}> $<INSTALL_INTERFACE:$<INSTALL_PREFIX>/${CMAKE_INSTALL_LIBDIR}/${name}>)
  endforeach()
  target_include_directories(zfcompression INTERFACE $<BUILD_INTERFACE:${ZF_WINLIBS}/include>)
  target_compile_definitions(zfcompression INTERFACE $<BUILD_INTERFACE:LZMA_API_STATIC>)
  install(FILES ${ZF_WINLIBS_FILES} DESTINATION ${CMAKE_INSTALL_LIBDIR})
else()
  find_package(BZip2 REQUIRED)
  find_package(LibLZMA REQUIRED)
  find_package(zstd REQUIRED)
  target_link_libraries(zfcompression INTERFACE BZip2::BZip2 LibLZMA::LibLZMA zstd::libzstd_shared)
endif()
