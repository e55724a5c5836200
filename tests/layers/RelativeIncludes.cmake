# Fails on every #include "../..." in the library folders: such a path reaches another folder
# without its include root, so the layer rules could not see it.
file(GLOB_RECURSE sources ${ROOT}/engine/*.cpp ${ROOT}/engine/*.h ${ROOT}/ops/*.cpp ${ROOT}/ops/*.h
     ${ROOT}/settings/*.cpp ${ROOT}/settings/*.h ${ROOT}/presets/*.cpp ${ROOT}/presets/*.h
     ${ROOT}/ui/*.cpp ${ROOT}/ui/*.h ${ROOT}/app/*.cpp ${ROOT}/app/*.h
     ${ROOT}/resources/*.cpp ${ROOT}/resources/*.h ${ROOT}/tools/*.cpp ${ROOT}/tools/*.h)
list(LENGTH sources count)
if(count LESS 50)
    message(FATAL_ERROR "Found only ${count} sources below ${ROOT}; wrong folder?")
endif()
set(found "")
foreach(f ${sources})
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\./")
    foreach(l ${lines})
        string(APPEND found "\n  ${f}: ${l}")
    endforeach()
endforeach()
if(found)
    message(FATAL_ERROR "Relative includes across folders:${found}")
endif()
message(STATUS "${count} sources, no relative include")
