# The image decoders of the picture display: libjpeg-turbo, libpng (with zlib), libtiff and giflib.
# Natively they are Debian's -dev packages. For Windows they are built from Debian's source trees
# (scripts/setup unpacks them into /usr/src) with the same toolchain, as static libraries
# only: no shared libraries, tools, tests or documentation, and no SIMD (the display decodes JPEGs
# at 1/8 scale, where the inverse DCT is next to nothing; the entropy decoding is plain C anyway).
# Each is offered as an interface target: guisla_jpeg, guisla_png, guisla_tiff, guisla_gif.
add_library(guisla_jpeg INTERFACE)
add_library(guisla_png INTERFACE)
add_library(guisla_tiff INTERFACE)
add_library(guisla_gif INTERFACE)

if(NOT WIN32)
    find_package(JPEG REQUIRED)
    find_package(PNG REQUIRED)
    find_package(TIFF REQUIRED)
    find_package(GIF REQUIRED)
    target_link_libraries(guisla_jpeg INTERFACE JPEG::JPEG)
    target_link_libraries(guisla_png INTERFACE PNG::PNG)
    target_link_libraries(guisla_tiff INTERFACE TIFF::TIFF)
    target_link_libraries(guisla_gif INTERFACE GIF::GIF)
    return()
endif()

include(ExternalProject)
# Debian's source trees as scripts/setup unpacks them into /usr/src (the newest of each, holding
# the file named by the optional third argument; by default its CMakeLists.txt).
function(guisla_source_tree variable pattern)
    file(GLOB trees LIST_DIRECTORIES true /usr/src/${pattern})
    set(found "")
    if(trees)
        list(SORT trees)
        list(POP_BACK trees found)
    endif()
    set(marker CMakeLists.txt)
    if(ARGC GREATER 2)
        set(marker ${ARGV2})
    endif()
    if(NOT EXISTS "${found}/${marker}")
        message(FATAL_ERROR "/usr/src/${pattern} not found: run scripts/setup")
    endif()
    set(${variable} "${found}" PARENT_SCOPE)
endfunction()
guisla_source_tree(GUISLA_JPEG_SOURCE_DIR "libjpeg-turbo-*")
guisla_source_tree(GUISLA_PNG_SOURCE_DIR "libpng1.6-*")
guisla_source_tree(GUISLA_TIFF_SOURCE_DIR "tiff-*")
set(jpeg_source ${GUISLA_JPEG_SOURCE_DIR})
set(png_source ${GUISLA_PNG_SOURCE_DIR})
set(tiff_source ${GUISLA_TIFF_SOURCE_DIR})

set(deps_prefix ${CMAKE_BINARY_DIR}/image-libraries)
# Each library is built, with its own step stamps, in folders named after its Debian package and
# version (as in its debian/changelog, without epoch), so that another version is built afresh
# instead of failing on, or being taken for, the build of the old one: a newer tree unpacked
# beside the old one, or a security update of the same upstream version unpacked in its place.
function(guisla_tree_key variable source)
    get_filename_component(key ${source} NAME)
    if(EXISTS ${source}/debian/changelog)
        file(STRINGS ${source}/debian/changelog top LIMIT_COUNT 1)
        if(top MATCHES "^([^ ]+) \\(([0-9]+:)?([^)]+)\\)")
            set(key "${CMAKE_MATCH_1}_${CMAKE_MATCH_3}")
        endif()
    endif()
    set(${variable} ${key} PARENT_SCOPE)
endfunction()
guisla_tree_key(jpeg_tree ${jpeg_source})
guisla_tree_key(png_tree ${png_source})
guisla_tree_key(tiff_tree ${tiff_source})
set(deps_args
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=${deps_prefix}
    -DCMAKE_POSITION_INDEPENDENT_CODE=OFF
    -DBUILD_SHARED_LIBS=OFF)
find_library(GUISLA_MINGW_ZLIB NAMES libz.a REQUIRED)
find_path(GUISLA_MINGW_ZLIB_INCLUDE zlib.h REQUIRED)

# Only the static library target is built and its headers copied; `install` would build the tools.
ExternalProject_Add(jpeg_build
    SOURCE_DIR ${jpeg_source}
    BINARY_DIR ${deps_prefix}/${jpeg_tree}-build
    STAMP_DIR ${deps_prefix}/${jpeg_tree}-stamp
    CMAKE_ARGS ${deps_args} -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
        -DWITH_ARITH_ENC=OFF -DWITH_JAVA=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target jpeg-static
    INSTALL_COMMAND ${CMAKE_COMMAND} -E make_directory ${deps_prefix}/include ${deps_prefix}/lib
    COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/jconfig.h ${jpeg_source}/jpeglib.h ${jpeg_source}/jmorecfg.h
        ${jpeg_source}/jerror.h ${deps_prefix}/include
    COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/libjpeg.a ${deps_prefix}/lib
    BUILD_BYPRODUCTS ${deps_prefix}/lib/libjpeg.a)

ExternalProject_Add(png_build
    SOURCE_DIR ${png_source}
    BINARY_DIR ${deps_prefix}/${png_tree}-build
    STAMP_DIR ${deps_prefix}/${png_tree}-stamp
    CMAKE_ARGS ${deps_args} -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
        -DPNG_BUILD_ZLIB=OFF -DZLIB_LIBRARY=${GUISLA_MINGW_ZLIB} -DZLIB_INCLUDE_DIR=${GUISLA_MINGW_ZLIB_INCLUDE}
        -DSKIP_INSTALL_EXECUTABLES=ON -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target png_static
    INSTALL_COMMAND ${CMAKE_COMMAND} -E make_directory ${deps_prefix}/include ${deps_prefix}/lib
    COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/pnglibconf.h ${png_source}/png.h ${png_source}/pngconf.h
        ${deps_prefix}/include
    COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/libpng16.a ${deps_prefix}/lib/libpng.a
    BUILD_BYPRODUCTS ${deps_prefix}/lib/libpng.a)

ExternalProject_Add(tiff_build
    SOURCE_DIR ${tiff_source}
    BINARY_DIR ${deps_prefix}/${tiff_tree}-build
    STAMP_DIR ${deps_prefix}/${tiff_tree}-stamp
    CMAKE_ARGS ${deps_args} -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF
        -Dtiff-opengl=OFF -Dcxx=OFF -Djpeg=OFF -Dold-jpeg=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF
        -Dwebp=OFF -Dlibdeflate=OFF -Dpixarlog=OFF -Dzlib=ON
        -DZLIB_LIBRARY=${GUISLA_MINGW_ZLIB} -DZLIB_INCLUDE_DIR=${GUISLA_MINGW_ZLIB_INCLUDE}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target tiff
    INSTALL_COMMAND ${CMAKE_COMMAND} -E make_directory ${deps_prefix}/include ${deps_prefix}/lib
    COMMAND ${CMAKE_COMMAND} -E copy ${tiff_source}/libtiff/tiff.h ${tiff_source}/libtiff/tiffio.h
        ${tiff_source}/libtiff/tiffvers.h <BINARY_DIR>/libtiff/tiffconf.h ${deps_prefix}/include
    COMMAND ${CMAKE_COMMAND} -E copy <BINARY_DIR>/libtiff/libtiff.a ${deps_prefix}/lib
    BUILD_BYPRODUCTS ${deps_prefix}/lib/libtiff.a)

file(MAKE_DIRECTORY ${deps_prefix}/include)
add_dependencies(guisla_jpeg jpeg_build)
add_dependencies(guisla_png png_build)
add_dependencies(guisla_tiff tiff_build)
target_include_directories(guisla_jpeg INTERFACE ${deps_prefix}/include)
target_include_directories(guisla_png INTERFACE ${deps_prefix}/include ${GUISLA_MINGW_ZLIB_INCLUDE})
target_include_directories(guisla_tiff INTERFACE ${deps_prefix}/include)
target_link_libraries(guisla_jpeg INTERFACE ${deps_prefix}/lib/libjpeg.a)
target_link_libraries(guisla_png INTERFACE ${deps_prefix}/lib/libpng.a ${GUISLA_MINGW_ZLIB})
target_link_libraries(guisla_tiff INTERFACE ${deps_prefix}/lib/libtiff.a ${GUISLA_MINGW_ZLIB})

# giflib has no CMake build of its own: its library is six C files, compiled here.
guisla_source_tree(GUISLA_GIF_SOURCE_DIR "giflib-*" dgif_lib.c)
add_library(guisla_giflib STATIC EXCLUDE_FROM_ALL)
foreach(name dgif_lib egif_lib gifalloc gif_err gif_hash openbsd-reallocarray)
    target_sources(guisla_giflib PRIVATE ${GUISLA_GIF_SOURCE_DIR}/${name}.c)
endforeach()
target_include_directories(guisla_giflib PUBLIC ${GUISLA_GIF_SOURCE_DIR})
target_link_libraries(guisla_gif INTERFACE guisla_giflib)
