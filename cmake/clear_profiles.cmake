# Removes the profile files of an earlier training run, which would add up with the next.
file(GLOB_RECURSE profiles ${DIR}/*.gcda)
if(profiles)
    file(REMOVE ${profiles})
endif()
