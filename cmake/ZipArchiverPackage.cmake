# The archive engine as a CMake package: `cmake --install` puts the engine
# and the platform layer (static libraries), the headers an application
# needs and the package files under the prefix, so that another project
# writes
#   find_package(ZipArchiver CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE ZipArchiver::ZipArchiver)
# and includes <ziparchiver/ZFArchiver.h>. zlib, the thread library and (on
# Linux) bzip2, liblzma and zstd are found again as dependencies by the
# package's config; the Windows package carries its static builds of the
# last three (cmake/CompressionLibraries.cmake).
#
# Only the component's surface is installed. Its headers include each other
# by bare file name ("ZFClasses.h"), which resolves beside the including
# file both in src/archive/ and in include/ziparchiver/; the platform header
# keeps its folder (include/ziparchiver/platform/platform.h) for the same
# reason. A header the surface does not need (records, directory, codec...)
# stays private and is not installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ZF_PUBLIC_HEADERS
    src/archive/ZFArchiver.h    # TZipArchiver: properties, events, Open/Extract/Close
    src/archive/ZFClasses.h     # Exception, TComponent, streams
    src/archive/ZFConst.h       # the error catalogue and the native codes
    src/archive/ZFDecodeEvents.h  # the decode-event sink the component implements
    src/archive/ZFExcept.h      # EZFException and the detail of a failure
    src/archive/ZFLinks.h       # the links a run has made (a member of TZipArchiver)
    src/archive/ZFOptions.h     # TZFOptions and the volume settings
    src/archive/ZFStringList.h  # the mask lists' type
    src/archive/ZFTypes.h       # the enumerations
    src/archive/ZFVolumeSource.h)  # the volume source the component implements
set(ZF_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/ziparchiver)
set(ZF_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZipArchiver)

set_target_properties(zfarchive PROPERTIES EXPORT_NAME ZipArchiver)
set_target_properties(zfplatform PROPERTIES EXPORT_NAME Platform)
target_include_directories(zfarchive INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_include_directories(zfplatform INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS zfarchive zfplatform zfcompression EXPORT ZipArchiverTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${ZF_PUBLIC_HEADERS} DESTINATION ${ZF_INSTALL_INCLUDEDIR})
install(FILES src/platform/platform.h DESTINATION ${ZF_INSTALL_INCLUDEDIR}/platform)
install(EXPORT ZipArchiverTargets NAMESPACE ZipArchiver:: DESTINATION ${ZF_INSTALL_CMAKEDIR})

configure_package_config_file(
    ${CMAKE_CURRENT_LIST_DIR}/ZipArchiverConfig.cmake.in
    ${CMAKE_BINARY_DIR}/ZipArchiverConfig.cmake
    INSTALL_DESTINATION ${ZF_INSTALL_CMAKEDIR})
write_basic_package_version_file(
    ${CMAKE_BINARY_DIR}/ZipArchiverConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ZipArchiverConfig.cmake
              ${CMAKE_BINARY_DIR}/ZipArchiverConfigVersion.cmake
        DESTINATION ${ZF_INSTALL_CMAKEDIR})
