# Turns the icon's SVG rectangles into a C++ list, so that the window icon
# and the installed icon are one drawing: cmake -DSVG=... -DOUT=... -P embed_icon.cmake
file(STRINGS ${SVG} lines REGEX "<rect ")
set(rects "")
foreach(line IN LISTS lines)
  string(REGEX MATCH "x=\"([0-9]+)\" y=\"([0-9]+)\" width=\"([0-9]+)\" height=\"([0-9]+)\".* fill=\"#([0-9a-f]+)\"" _ "${line}")
  string(APPEND rects "{${CMAKE_MATCH_1}, ${CMAKE_MATCH_2}, ${CMAKE_MATCH_3}, ${CMAKE_MATCH_4}, 0x${CMAKE_MATCH_5}},\n")
endforeach()
file(WRITE ${OUT} "${rects}")
