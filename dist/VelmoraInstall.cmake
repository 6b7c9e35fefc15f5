# Where an installed Velmora keeps its files.
#
# libqxiic belongs to our programs alone, so it lives in a folder of its own
# under the library directory rather than beside the system's libraries; the
# programs find it through a RUNPATH relative to their own location, which
# keeps the tree relocatable (staging directory, package, another prefix).
include(GNUInstallDirs)

set(VELMORA_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/velmora)

file(RELATIVE_PATH _velmora_bin_to_lib
  /${CMAKE_INSTALL_BINDIR} /${VELMORA_PRIVATE_LIBDIR})
set(VELMORA_PROGRAM_RUNPATH "$ORIGIN/${_velmora_bin_to_lib}")
unset(_velmora_bin_to_lib)

# Installs a program of ours into the binary directory, able to load libqxiic.
function(velmora_install_program target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${VELMORA_PROGRAM_RUNPATH}")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
