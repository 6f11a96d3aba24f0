# Dialogs, the message box and the exit question. The desktop's quit procedure asks the exit
# question, and dialogs are windows: the two layers need each other, which CMake resolves by
# repeating the pair on the link line.
kq_layer(kq_dialogs
  ui/ZDialog.cpp
  ui/ZMessageBox.cpp
  ui/ExitQuestion.cpp
  ui/ToolLabels.cpp
  ui/AlertBox.cpp)
target_link_libraries(kq_dialogs PUBLIC kq_controls kq_windows kq_resources kq_config kq_kernel)
target_link_libraries(kq_windows PUBLIC kq_dialogs)
list(APPEND KQ_LAYERS kq_dialogs)
