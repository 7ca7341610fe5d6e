# Writes the objdump disassembly of the given object archives, one instruction per line.
execute_process(COMMAND ${OBJDUMP} -d --insn-width=16 ${INPUTS}
  OUTPUT_FILE ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed: ${rc}")
endif()
