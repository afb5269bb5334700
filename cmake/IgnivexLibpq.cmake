# PostgreSQL's client library as the target ignivex_libpq: Debian's libpq on Linux; on Windows
# the static one cross-built from Debian's postgresql-15 source (scripts/windows/build-libpq,
# passed as IGNIVEX_LIBPQ).
if(TARGET ignivex_libpq)
    return()
endif()
if(WIN32)
    find_path(LIBPQ_INCLUDE_DIR libpq-fe.h HINTS ${IGNIVEX_LIBPQ}/include
              NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    find_library(LIBPQ_LIBRARY NAMES libpq.a HINTS ${IGNIVEX_LIBPQ}/lib
                 NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    add_library(ignivex_libpq INTERFACE)
    target_include_directories(ignivex_libpq INTERFACE ${LIBPQ_INCLUDE_DIR})
    target_link_libraries(ignivex_libpq INTERFACE ${LIBPQ_LIBRARY} ws2_32 secur32)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET libpq)
    add_library(ignivex_libpq INTERFACE)
    target_link_libraries(ignivex_libpq INTERFACE PkgConfig::LIBPQ)
endif()
