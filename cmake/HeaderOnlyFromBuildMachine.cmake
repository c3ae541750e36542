# CLI11 and nlohmann-json are header-only: a cross build takes their headers
# from the build machine's Debian packages. Only their own folders are put
# on the include path, never the machine's whole include folder, whose C
# library headers are not the target's.
set(header_root ${CMAKE_BINARY_DIR}/header-only)
foreach(folder CLI nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing: install libcli11-dev and nlohmann-json3-dev")
  endif()
  if(NOT EXISTS ${header_root}/${folder})
    file(MAKE_DIRECTORY ${header_root})
    file(CREATE_LINK /usr/include/${folder} ${header_root}/${folder} SYMBOLIC)
  endif()
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${header_root})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${header_root})
