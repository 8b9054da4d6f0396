# The libraries the portable core links, made for the macOS target of a
# cross-build (cmake/macos-arm64.cmake) in <build>/macos-deps:
#
# - utf8proc, compiled from Debian's source package of the version the Linux
#   build links (apt-get source; scripts/install-deps adds the deb-src entry);
# - nlohmann-json, headers only: its own include folder is copied, so that no
#   header of the build machine's C library comes along.
#
# Defines the targets orlimbo_utf8proc and nlohmann_json::nlohmann_json.

set(_deps "${CMAKE_BINARY_DIR}/macos-deps")

# utf8proc
set(_utf8proc_sources "${_deps}/src/utf8proc")
if(NOT EXISTS "${_utf8proc_sources}/utf8proc.c")
  find_program(ORLIMBO_APT_GET apt-get REQUIRED)
  set(_package utf8proc)
  execute_process(COMMAND dpkg-query -W -f=\${source:Version} libutf8proc-dev
                  OUTPUT_VARIABLE _version RESULT_VARIABLE _queried ERROR_QUIET)
  if(_queried EQUAL 0 AND _version)
    set(_package "utf8proc=${_version}")
  endif()
  set(_download "${_deps}/download")
  file(REMOVE_RECURSE "${_download}")
  file(MAKE_DIRECTORY "${_download}")
  message(STATUS "Fetching Debian's source package ${_package}")
  execute_process(COMMAND "${ORLIMBO_APT_GET}" source -qq --only-source "${_package}"
                  WORKING_DIRECTORY "${_download}"
                  RESULT_VARIABLE _fetched OUTPUT_QUIET ERROR_VARIABLE _fetch_errors)
  file(GLOB _unpacked LIST_DIRECTORIES true "${_download}/utf8proc-*/utf8proc.c")
  if(NOT _fetched EQUAL 0 OR NOT _unpacked)
    message(FATAL_ERROR "apt-get source ${_package} failed (is there a deb-src entry? "
                        "scripts/install-deps adds one):\n${_fetch_errors}")
  endif()
  get_filename_component(_unpacked "${_unpacked}" DIRECTORY)
  file(REMOVE_RECURSE "${_utf8proc_sources}")
  file(MAKE_DIRECTORY "${_deps}/src")
  file(RENAME "${_unpacked}" "${_utf8proc_sources}")
  file(REMOVE_RECURSE "${_download}")
endif()

add_library(orlimbo_utf8proc STATIC "${_utf8proc_sources}/utf8proc.c")
target_include_directories(orlimbo_utf8proc SYSTEM PUBLIC "${_utf8proc_sources}")
target_compile_definitions(orlimbo_utf8proc PUBLIC UTF8PROC_STATIC)
set_target_properties(orlimbo_utf8proc PROPERTIES C_STANDARD 99)

# nlohmann-json
set(_json_include "${_deps}/include")
if(NOT EXISTS "${_json_include}/nlohmann/json.hpp")
  find_path(ORLIMBO_HOST_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ORLIMBO_HOST_JSON_INCLUDE)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev")
  endif()
  file(COPY "${ORLIMBO_HOST_JSON_INCLUDE}/nlohmann" DESTINATION "${_json_include}")
endif()
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                      INTERFACE_INCLUDE_DIRECTORIES "${_json_include}")
