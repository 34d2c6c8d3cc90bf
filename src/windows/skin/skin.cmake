# The skin loader and its pictures, compiled into plenvo_windows. The pictures are
# drawn by tools/skin_gen and committed; regenerate them there, not by hand.
target_sources(plenvo_windows PRIVATE ${CMAKE_CURRENT_LIST_DIR}/skin.cpp)

# Each picture twice, drawn for ordinary and for doubled screens (2x/),
# turned by plenvo-skin-pack into the pixels the windows draw. The ordinary
# ones, which every start shows, are stored unpacked and drawn from where
# they lie: decoding them into memory of their own was a sixth of the
# start-up. The doubled ones, four times their size, stay packed.
set(plenvo_skin_images ${CMAKE_CURRENT_LIST_DIR}/images)
set(plenvo_skin_pixels ${CMAKE_CURRENT_BINARY_DIR}/skin_pixels)
file(GLOB plenvo_skin_names RELATIVE ${plenvo_skin_images} CONFIGURE_DEPENDS
    ${plenvo_skin_images}/*.bmp ${plenvo_skin_images}/2x/*.bmp)
set(plenvo_skin_sources)
set(plenvo_skin_ordinary)
set(plenvo_skin_doubled)
foreach(name IN LISTS plenvo_skin_names)
    list(APPEND plenvo_skin_sources ${plenvo_skin_images}/${name})
    string(REGEX REPLACE "\\.bmp$" "" packed ${plenvo_skin_pixels}/${name})
    if(name MATCHES "^2x/")
        list(APPEND plenvo_skin_doubled ${packed})
    else()
        list(APPEND plenvo_skin_ordinary ${packed})
    endif()
endforeach()
add_custom_command(
    OUTPUT ${plenvo_skin_ordinary} ${plenvo_skin_doubled}
    COMMAND plenvo-skin-pack ${plenvo_skin_images} ${plenvo_skin_pixels} ${plenvo_skin_names}
    DEPENDS plenvo-skin-pack ${plenvo_skin_sources}
    COMMENT "Turning the skin pictures into pixels"
    VERBATIM)
qt_add_resources(plenvo_windows "skin"
    PREFIX "/skin"
    BASE ${plenvo_skin_pixels}
    FILES ${plenvo_skin_ordinary}
    OPTIONS --no-compress
)
qt_add_resources(plenvo_windows "skin_doubled"
    PREFIX "/skin"
    BASE ${plenvo_skin_pixels}
    FILES ${plenvo_skin_doubled}
)
# The window icon in its sizes.
file(GLOB plenvo_skin_icons CONFIGURE_DEPENDS ${plenvo_skin_images}/icons/*.png)
qt_add_resources(plenvo_windows "skin_icons"
    PREFIX "/skin"
    BASE ${plenvo_skin_images}
    FILES ${plenvo_skin_icons}
)
