# Included by ModuleNeeds.cmake and WindowsModuleNeeds.cmake once they have read a module: adds a
# fault unless `exported` (the module's exported names) is exactly `exports` (the VST3 entry
# points of its platform), then fails with every fault in `faults`, naming MODULE.
list (SORT exported)
list (SORT exports)

if (NOT exported STREQUAL exports)
    list (JOIN exported ", " shown)
    list (APPEND faults "exports ${shown} (only the VST3 entry points may be)")
endif()

if (faults)
    list (JOIN faults "\n  " shown)
    message (FATAL_ERROR "${MODULE}:\n  ${shown}")
endif()
