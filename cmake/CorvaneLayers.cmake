# Each layer compiles against an include root of its own: a folder in the build tree holding
# links to the folders of src/ that the layer may use, so that "core/..." resolves in the core
# and "app/..." does not, and an include against the layering fails to compile.
# CORVANE_SOURCE_SRC names the src/ folder the links point to.

# corvane_layer_root(<layer> <folder>...): makes ${CMAKE_BINARY_DIR}/layers/<layer> with one link
# per folder of src/ and sets CORVANE_LAYER_ROOT_<layer> to it.
function(corvane_layer_root layer)
    set(root ${CMAKE_BINARY_DIR}/layers/${layer})
    # Made anew at each configuration, so that a layer loses a folder it may no longer use.
    file(MAKE_DIRECTORY ${root})
    file(GLOB existing LIST_DIRECTORIES true ${root}/*)
    foreach(entry IN LISTS existing)
        file(REMOVE ${entry})
    endforeach()
    foreach(folder IN LISTS ARGN)
        file(CREATE_LINK ${CORVANE_SOURCE_SRC}/${folder} ${root}/${folder} SYMBOLIC)
    endforeach()
    set(CORVANE_LAYER_ROOT_${layer} ${root} PARENT_SCOPE)
endfunction()

# The layers and what each may include; the same directions as scripts/check-layers.sh.
macro(corvane_define_layer_roots)
    corvane_layer_root(base base)
    corvane_layer_root(ports base ports)
    corvane_layer_root(core base ports core)
    corvane_layer_root(app base ports core app)
    corvane_layer_root(host base ports host)
    corvane_layer_root(gui base ports core app host gui)
    corvane_layer_root(cli base ports core host cli)
    # main.cpp wires a face to the core and the host.
    corvane_layer_root(main base ports core app host gui cli)
endmacro()
