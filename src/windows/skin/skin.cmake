# The skin loader and its pictures, compiled into plenvo_windows. The pictures are
# drawn by tools/skin_gen and committed; regenerate them there, not by hand.
target_sources(plenvo_windows PRIVATE ${CMAKE_CURRENT_LIST_DIR}/skin.cpp)

# Each picture twice, drawn for ordinary and for doubled screens (2x/), and
# the window icon in its sizes (icons/). The ordinary pictures, which every
# start reads, are stored as they are: unpacking them cost more at start-up
# than the 600 KiB they add. The doubled ones, four times their size, stay
# packed.
file(GLOB plenvo_skin_pictures CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/images/*.bmp)
file(GLOB plenvo_skin_packed_pictures CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_LIST_DIR}/images/2x/*.bmp
    ${CMAKE_CURRENT_LIST_DIR}/images/icons/*.png
)
qt_add_resources(plenvo_windows "skin"
    PREFIX "/skin"
    BASE "${CMAKE_CURRENT_LIST_DIR}/images"
    FILES ${plenvo_skin_pictures}
    OPTIONS --no-compress
)
qt_add_resources(plenvo_windows "skin_packed"
    PREFIX "/skin"
    BASE "${CMAKE_CURRENT_LIST_DIR}/images"
    FILES ${plenvo_skin_packed_pictures}
)
