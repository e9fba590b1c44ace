# Copies the profile files of the training build (FROM) to the places where the release
# objects (TO) look for them: the same path under the other target's object directory.
file(GLOB_RECURSE profiles RELATIVE ${FROM} ${FROM}/*.gcda)
file(GLOB_RECURSE stale ${TO}/*.gcda)
if(stale)
    file(REMOVE ${stale})
endif()
foreach(profile ${profiles})
    get_filename_component(dir ${TO}/${profile} DIRECTORY)
    file(COPY ${FROM}/${profile} DESTINATION ${dir})
endforeach()
