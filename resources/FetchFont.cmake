# Provides the embedded "Pacifico" TrueType file at OUTPUT.
# The file comes from a pinned npm package, is checked against its SHA-256 and is kept in
# CACHE_DIR, so that a rebuild (or a fresh build tree) needs no network.
# Called as: cmake -DOUTPUT=... -DCACHE_DIR=... -DNPM=... -P FetchFont.cmake
set(package "@expo-google-fonts/pacifico")
set(version "0.4.1")
set(member "package/400Regular/Pacifico_400Regular.ttf")
set(expected "4dac9db3fa9ca072f7861fd916bf04bdceac6069d0f3a886f5e523d922e918f1")

set(cached "${CACHE_DIR}/Pacifico_400Regular-${version}.ttf")

function(check_file path result)
    set(${result} FALSE PARENT_SCOPE)
    if(EXISTS "${path}")
        file(SHA256 "${path}" sum)
        if(sum STREQUAL expected)
            set(${result} TRUE PARENT_SCOPE)
        endif()
    endif()
endfunction()

check_file("${cached}" cached_ok)
if(NOT cached_ok)
    if(NOT NPM)
        message(FATAL_ERROR "The Pacifico font is not cached in ${CACHE_DIR} and npm was not found")
    endif()
    set(work "${CACHE_DIR}/fetch-${version}")
    file(REMOVE_RECURSE "${work}")
    file(MAKE_DIRECTORY "${work}")
    execute_process(
        COMMAND "${NPM}" pack "${package}@${version}" --silent --pack-destination "${work}"
        WORKING_DIRECTORY "${work}"
        RESULT_VARIABLE rc
        OUTPUT_VARIABLE out
        ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "npm pack ${package}@${version} failed: ${err}")
    endif()
    file(GLOB tarballs "${work}/*.tgz")
    list(LENGTH tarballs count)
    if(NOT count EQUAL 1)
        message(FATAL_ERROR "npm pack left no single tarball in ${work}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar xzf "${tarballs}" "${member}"
                    WORKING_DIRECTORY "${work}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "Could not unpack ${member} from ${tarballs}")
    endif()
    check_file("${work}/${member}" fetched_ok)
    if(NOT fetched_ok)
        message(FATAL_ERROR "The font from ${package}@${version} does not match its checksum")
    endif()
    file(COPY_FILE "${work}/${member}" "${cached}")
    file(REMOVE_RECURSE "${work}")
endif()

file(COPY_FILE "${cached}" "${OUTPUT}" ONLY_IF_DIFFERENT)
