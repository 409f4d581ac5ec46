# Third-party libraries, all from Debian: natively the installed packages, for the Windows target
# the same code built from Debian's source (scripts/setup installs and unpacks both).
#
#   guisla_json  nlohmann-json (header only, package nlohmann-json3-dev)
#   guisla_html  libxml2's HTML parser (package libxml2-dev; source package libxml2)
#
# The image decoders of the picture display are in image_libraries.cmake.

# The JSON headers are plain C++: both builds use Debian's copy. They are reached through a folder
# of their own, because /usr/include itself must not be on the Windows build's include path.
find_file(GUISLA_NLOHMANN_JSON nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT GUISLA_NLOHMANN_JSON)
    message(FATAL_ERROR "nlohmann/json.hpp not found: run scripts/setup (package nlohmann-json3-dev)")
endif()
get_filename_component(nlohmann_dir ${GUISLA_NLOHMANN_JSON} DIRECTORY)
set(json_include ${CMAKE_BINARY_DIR}/third_party/include)
file(MAKE_DIRECTORY ${json_include})
file(CREATE_LINK ${nlohmann_dir} ${json_include}/nlohmann SYMBOLIC)
add_library(guisla_json INTERFACE)
target_include_directories(guisla_json SYSTEM INTERFACE ${json_include})

if(WIN32)
    # libxml2 from Debian's source tree, with its own CMake files, as a static library without
    # what it would need from elsewhere (iconv, compression, network).
    file(GLOB libxml2_dirs LIST_DIRECTORIES true /usr/src/libxml2-*)
    set(libxml2_default "")
    if(libxml2_dirs)
        list(SORT libxml2_dirs)
        list(POP_BACK libxml2_dirs libxml2_default)
    endif()
    set(GUISLA_LIBXML2_SOURCE_DIR "${libxml2_default}" CACHE PATH "Debian's libxml2 source tree")
    if(NOT EXISTS "${GUISLA_LIBXML2_SOURCE_DIR}/HTMLparser.c")
        message(FATAL_ERROR "libxml2 source not found in /usr/src: run scripts/setup")
    endif()
    set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
    foreach(option ICONV ICU LZMA ZLIB PYTHON PROGRAMS TESTS HTTP FTP MODULES)
        set(LIBXML2_WITH_${option} OFF CACHE BOOL "" FORCE)
    endforeach()
    add_subdirectory(${GUISLA_LIBXML2_SOURCE_DIR} ${CMAKE_BINARY_DIR}/third_party/libxml2 EXCLUDE_FROM_ALL)
    target_compile_options(LibXml2 PRIVATE -w)
    add_library(guisla_html INTERFACE)
    target_link_libraries(guisla_html INTERFACE LibXml2)
else()
    find_package(LibXml2 REQUIRED)
    add_library(guisla_html INTERFACE)
    target_link_libraries(guisla_html INTERFACE LibXml2::LibXml2)
endif()
