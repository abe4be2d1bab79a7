# `cmake --install` installs the SDK as a CMake package, for hosts that build against it:
#
#   include/morvane/               the app-facing headers (sdk/include: "ZUMMobileAds.h")
#                                   and, by their repository paths, the platform and SDK
#                                   headers they include ("platform/base/Error.h")
#   lib/morvane/                    the static libraries, one per area
#   libexec/morvane/                the content-process helper
#   lib/cmake/Morvane/              MorvaneConfig.cmake and its version file:
#                                   find_package(Morvane CONFIG REQUIRED) gives the
#                                   imported targets Morvane::sdk and Morvane::platform
#
# Every area's library installs itself (morvane_library), so a new area needs no line
# here. Tests, test support (testing/, *TestSupport.h) and fuzzers are never installed.
include(CMakePackageConfigHelpers)

set_target_properties(morvane_platform PROPERTIES EXPORT_NAME platform)
set_target_properties(morvane_sdk PROPERTIES EXPORT_NAME sdk)
install(TARGETS morvane_platform morvane_sdk EXPORT MorvaneTargets)
install(EXPORT MorvaneTargets NAMESPACE Morvane:: DESTINATION ${MORVANE_INSTALL_CMAKEDIR})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/sdk/include/ DESTINATION ${MORVANE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
foreach(tree IN ITEMS platform sdk)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${tree} DESTINATION ${MORVANE_INSTALL_INCLUDEDIR}
          FILES_MATCHING PATTERN "*.h"
          PATTERN "*TestSupport.h" EXCLUDE
          PATTERN "*_test.h" EXCLUDE
          # Installed above, at the root; the helper's sources and the page's text are
          # built in.
          PATTERN "include" EXCLUDE
          PATTERN "content" EXCLUDE
          PATTERN "resources" EXCLUDE)
endforeach()

configure_package_config_file(cmake/MorvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/MorvaneConfig.cmake
  INSTALL_DESTINATION ${MORVANE_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/MorvaneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/MorvaneConfig.cmake
  ${PROJECT_BINARY_DIR}/MorvaneConfigVersion.cmake
  cmake/MorvaneDependencies.cmake
  DESTINATION ${MORVANE_INSTALL_CMAKEDIR})
