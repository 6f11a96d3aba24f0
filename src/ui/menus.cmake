# Menus and the clock: the menu bar and pop-up menus built from the language module's menu
# resources, and the clock window.
kq_layer(kq_menus
  ui/ZMenu.cpp
  ui/ZMenuKeys.cpp
  ui/ZClock.cpp)
target_link_libraries(kq_menus PUBLIC kq_windows kq_resources kq_text)
list(APPEND KQ_LAYERS kq_menus)

# The key bar belongs to the desktop, which attaches it when it opens: it is part of the
# windows layer and draws in the palette's colours.
target_sources(kq_windows PRIVATE ui/ZKeyBar.cpp)
target_link_libraries(kq_windows PUBLIC kq_text)
