# The shell: the command line window that holds the file panels, its keys and commands, its
# option dialogs, and running what the user types.
kq_layer(kq_shell
  shell/ZPrompt.cpp
  shell/PromptLine.cpp
  shell/PromptCommands.cpp
  shell/OptionDialogs.cpp
  shell/LanguageChoice.cpp
  shell/DriveMenu.cpp)
target_link_libraries(kq_shell PUBLIC kq_panels kq_menus kq_dialogs kq_controls kq_windows kq_console
  kq_plugins kq_config kq_kernel kq_host)
list(APPEND KQ_LAYERS kq_shell)
