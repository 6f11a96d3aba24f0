# The text editor: its lines, loading and saving, the changes to the text, the window and its
# dialogs, and the exported entry point.
kq_layer(kq_editor
  editor/EditorText.cpp
  editor/EditorDocument.cpp
  editor/ZEditor.cpp
  editor/ZEditorDialogs.cpp)
target_link_libraries(kq_editor PUBLIC kq_viewer kq_dialogs kq_controls kq_windows kq_resources
  kq_config kq_fs kq_text kq_kernel)
list(APPEND KQ_LAYERS kq_editor)
