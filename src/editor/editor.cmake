# The text editor: its lines, loading and saving.
kq_layer(kq_editor
  editor/EditorText.cpp
  editor/EditorDocument.cpp)
target_link_libraries(kq_editor PUBLIC kq_fs kq_kernel)
list(APPEND KQ_LAYERS kq_editor)
