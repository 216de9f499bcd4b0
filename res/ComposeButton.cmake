# Writes one button's SVG: the shared face from button.svg.in with one glyph
# from glyphs/ drawn on it. Run with cmake -P; every value comes in as -D.
foreach(_v TEMPLATE GLYPH_FILE OUT W H R GX GY GS TOP BOTTOM BORDER SHADE HILITE GLYPH DY)
  if(NOT DEFINED ${_v})
    message(FATAL_ERROR "ComposeButton: ${_v} is not set")
  endif()
endforeach()

file(READ ${GLYPH_FILE} GLYPH_BODY)
math(EXPR INNER_W "${W} - 1")
math(EXPR INNER_H "${H} - 1")
math(EXPR SHADE_W "${W} - 2")
math(EXPR SHADE_H "${H} - 2")
math(EXPR HILITE_END "${W} - ${R}")
# A pressed face moves its glyph down, as if the button gave way.
math(EXPR GY "${GY} + ${DY}")
configure_file(${TEMPLATE} ${OUT} @ONLY)
