# The toolkit's controls: label, button, check boxes, progress bar, edit line, and the
# process-wide insert/overwrite switch, and the number format of sizes and speeds.
kq_layer(kq_controls
  ui/OverwriteMode.cpp
  ui/ZStatic.cpp
  ui/ZButton.cpp
  ui/Z3State.cpp
  ui/ZProgressBar.cpp
  ui/ZEdit.cpp
  ui/FormatNumber.cpp)
target_link_libraries(kq_controls PUBLIC kq_windows kq_text)
list(APPEND KQ_LAYERS kq_controls)
