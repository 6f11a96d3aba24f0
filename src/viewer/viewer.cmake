# The file viewer: block reading, text layout and movement, drawing, search, history, the
# window and its exported entry point.
kq_layer(kq_viewer
  viewer/ViewerFile.cpp
  viewer/ViewerText.cpp
  viewer/ViewerRender.cpp
  viewer/ViewerSearch.cpp
  viewer/ViewerHistory.cpp
  viewer/ZViewer.cpp
  viewer/ZViewerSearch.cpp)
target_link_libraries(kq_viewer PUBLIC kq_menus kq_dialogs kq_controls kq_windows kq_resources
  kq_config kq_fs kq_text)
list(APPEND KQ_LAYERS kq_viewer)
