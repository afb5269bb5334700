# ignivex_libpq: PostgreSQL's client library, for the team store. Included once by whatever
# links it (the target is made only the first time).
#   include(${PROJECT_SOURCE_DIR}/cmake/IgnivexLibpq.cmake)
if(TARGET ignivex_libpq)
    return()
endif()
add_library(ignivex_libpq INTERFACE)
if(WIN32)
    # The Windows build's own static libpq, cross-built from Debian's postgresql-15 source
    # (scripts/windows/build-libpq, passed as IGNIVEX_LIBPQ), without TLS. Its helpers follow
    # it, then the system libraries it calls: Winsock, SSPI's authentication (secur32) and the
    # profile folder where it looks for pgpass.conf (shell32).
    find_path(LIBPQ_INCLUDE_DIR libpq-fe.h HINTS ${IGNIVEX_LIBPQ}/include
              NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    foreach(name pq pgcommon pgport)
        find_library(LIBPQ_${name}_LIBRARY NAMES lib${name}.a HINTS ${IGNIVEX_LIBPQ}/lib
                     NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    endforeach()
    target_include_directories(ignivex_libpq INTERFACE ${LIBPQ_INCLUDE_DIR})
    target_link_libraries(ignivex_libpq INTERFACE ${LIBPQ_pq_LIBRARY} ${LIBPQ_pgcommon_LIBRARY}
                          ${LIBPQ_pgport_LIBRARY} ws2_32 secur32 shell32)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET GLOBAL libpq)
    target_link_libraries(ignivex_libpq INTERFACE PkgConfig::LIBPQ)
endif()
