# Included by the cross toolchain files: finds CLI11 and nlohmann-json, which
# are header-only and installed for the build machine, without giving the
# cross compiler /usr/include, whose C library headers belong to the build
# machine. A prefix in the build folder links to just those headers and to
# their CMake package files, so the imported targets point at the prefix.
set(contmon_header_prefix "${CMAKE_BINARY_DIR}/header-only")
set(contmon_header_links
  include/CLI=/usr/include/CLI
  include/nlohmann=/usr/include/nlohmann
  share/cmake/CLI11=/usr/share/cmake/CLI11
  share/cmake/nlohmann_json=/usr/share/cmake/nlohmann_json)
foreach(link IN LISTS contmon_header_links)
  string(REPLACE "=" ";" link "${link}")
  list(GET link 0 name)
  list(GET link 1 target)
  if(NOT EXISTS "${target}")
    message(FATAL_ERROR "${target} not found: install libcli11-dev and nlohmann-json3-dev")
  endif()
  if(NOT EXISTS "${contmon_header_prefix}/${name}")
    get_filename_component(parent "${contmon_header_prefix}/${name}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(CREATE_LINK "${target}" "${contmon_header_prefix}/${name}" SYMBOLIC)
  endif()
endforeach()
set(CLI11_DIR "${contmon_header_prefix}/share/cmake/CLI11" CACHE PATH "CLI11's package files, linked")
set(nlohmann_json_DIR "${contmon_header_prefix}/share/cmake/nlohmann_json" CACHE PATH
  "nlohmann-json's package files, linked")
