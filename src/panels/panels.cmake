# The file panels: the panel window classes, the row table built from a plugin's listing, its
# sort order and drawing.
kq_layer(kq_panels
  panels/PanelHost.cpp
  panels/PanelSort.cpp
  panels/PanelTexts.cpp
  panels/PanelMessages.cpp
  panels/ZPanel.cpp
  panels/MatchMask.cpp
  panels/ShellQuote.cpp
  panels/ZListPanel.cpp
  panels/ZFilePanel.cpp
  panels/ZFilePanelKeys.cpp
  panels/ZFilePanelCommands.cpp
  panels/ZFilePanelCopy.cpp
  panels/ZFilePanelDelete.cpp
  panels/ZFilePanelSizes.cpp)
target_link_libraries(kq_panels PUBLIC kq_editor kq_viewer kq_menus kq_windows kq_plugins kq_localfs kq_config
  kq_resources kq_fs kq_text)
list(APPEND KQ_LAYERS kq_panels)
