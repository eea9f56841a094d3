# Building KAV plug-in bundles: a directory <Name>.bundle/ holding Info.json and the module.
include_guard(GLOBAL)

# mw_add_kav_bundle(<target> NAME <Name> DESTINATION <folder> INFO <Info.json template>
#                   SOURCES <files...> [LIBS <libraries...>])
# Builds <folder>/<Name>.bundle/<Name>.so and configures Info.json from the template
# (@ONLY; @KAV_BUNDLE_EXECUTABLE@ is the module's file name, and every variable of the
# calling scope is available).
function(mw_add_kav_bundle target)
  cmake_parse_arguments(ARG "" "NAME;DESTINATION;INFO" "SOURCES;LIBS" ${ARGN})
  set(bundle_dir ${ARG_DESTINATION}/${ARG_NAME}.bundle)
  add_library(${target} MODULE ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE KAV::sdk ${ARG_LIBS})
  # A plug-in exports its factories only (KAV_EXPORT); everything else stays private so that
  # two plug-ins never bind to each other's copies of the SDK's inline code.
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX ".so" OUTPUT_NAME ${ARG_NAME}
    LIBRARY_OUTPUT_DIRECTORY ${bundle_dir}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  if(ARG_INFO)
    set(KAV_BUNDLE_EXECUTABLE ${ARG_NAME}.so)
    configure_file(${ARG_INFO} ${bundle_dir}/Info.json @ONLY)
  endif()
endfunction()
