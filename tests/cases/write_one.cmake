# One check of case_runner --write: the case BEFORE, written in a copy
# beside the blocks, must come out as AFTER and then pass as it stands.
#   cmake -DRUNNER=R -DMORVA=M -DMORVA_SIM=S -DCASES=DIR -DBEFORE=F -DAFTER=F -DWORK=DIR -P write_one.cmake
file(REMOVE_RECURSE ${WORK})
file(COPY ${CASES}/blocks DESTINATION ${WORK})
file(COPY ${CASES}/write/blocks DESTINATION ${WORK}/write)
get_filename_component(name ${BEFORE} NAME_WE)
set(copy ${WORK}/write/${name}.case)
configure_file(${BEFORE} ${copy} COPYONLY)
execute_process(COMMAND ${RUNNER} --write ${copy} ${MORVA} ${MORVA_SIM} RESULT_VARIABLE status)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${copy} ${AFTER} RESULT_VARIABLE differs)
if(differs)
  file(READ ${copy} written)
  message(FATAL_ERROR "--write made, unlike ${AFTER}:\n${written}")
endif()
execute_process(COMMAND ${RUNNER} ${copy} ${MORVA} ${MORVA_SIM} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the written case fails")
endif()
