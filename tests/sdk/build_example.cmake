# Installs the SDK from a build tree into a temporary prefix, builds the example plug-in out of
# tree against it, checks the bundle and loads it with a host also built against the prefix.
# Arguments: BUILD_TREE EXAMPLE_SOURCE SMOKE_SOURCE WORK_DIR GENERATOR CXX_COMPILER
foreach(var BUILD_TREE EXAMPLE_SOURCE SMOKE_SOURCE WORK_DIR GENERATOR CXX_COMPILER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build_example.cmake: ${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "failed (${rc}): ${cmd}\n${out}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

# Only the SDK component goes into the prefix.
run(${CMAKE_COMMAND} --install ${BUILD_TREE} --component sdk --prefix ${prefix})
foreach(f include/kav/KAVInterfaces.h include/kav/KAVComObject.h)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "installed SDK lacks ${f}")
  endif()
endforeach()

# Configure without the build tree's cache or packages: only the prefix provides KAVSDK.
set(common -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
run(${CMAKE_COMMAND} -S ${EXAMPLE_SOURCE} -B ${WORK_DIR}/example ${common})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/example --parallel 2)
run(${CMAKE_COMMAND} --install ${WORK_DIR}/example --prefix ${WORK_DIR}/plugins-prefix)

# The bundle: a directory with Info.json naming the module and the factory.
set(bundle ${WORK_DIR}/plugins-prefix/share/Velmar/MW2/Plugins/HelloComponent.bundle)
file(READ ${bundle}/Info.json info)
string(JSON executable GET "${info}" Executable)
string(JSON clsid MEMBER "${info}" Factories 0)
string(JSON factory GET "${info}" Factories ${clsid})
string(JSON type_factory GET "${info}" Types 0958ECA1-6709-4267-9696-33D56FEC4F6A 0)
string(JSON keys GET "${info}" MW2_KEYS 0)
if(NOT EXISTS ${bundle}/${executable})
  message(FATAL_ERROR "bundle module ${executable} missing in ${bundle}")
endif()
if(NOT type_factory STREQUAL clsid OR NOT keys MATCHES "^${clsid};")
  message(FATAL_ERROR "Info.json is inconsistent: ${info}")
endif()

run(${CMAKE_COMMAND} -S ${SMOKE_SOURCE} -B ${WORK_DIR}/host ${common})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/host --parallel 2)
run(${WORK_DIR}/host/kav_example_host ${bundle}/${executable} ${factory} ${clsid})
message(STATUS "${last_output}")
