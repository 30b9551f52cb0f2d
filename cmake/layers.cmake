# The product's folders as layers: each is a library whose headers are reached as "folder/Name.h", and only
# by the layers that link it. A layer's include root holds nothing but a link named after its folder, so a
# header of a folder the layer does not link is not found, and an include the wrong way fails to build.
function(tavlen_layer target folder scope)
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(REMOVE ${root}/${folder})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} ${scope} ${root})
endfunction()
