# The screen saver: the trigger in the desktop's loop and the library's own falling characters.
kq_layer(kq_saver
  saver/FallingCharacters.cpp
  saver/InternalSaver.cpp
  saver/SaverTrigger.cpp)
target_link_libraries(kq_saver PUBLIC kq_windows kq_console kq_config)
list(APPEND KQ_LAYERS kq_saver)
