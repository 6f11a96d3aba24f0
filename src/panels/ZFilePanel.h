// ZFilePanel: a list panel that shows one plugin instance's listing. It binds to a plugin,
// lists, sorts and builds its table from the listing, and draws the selection line, the
// information line and the sort indicator. Every file-system access goes through the plugin's
// entry points (with the local plugin's in place of missing ones where the fallback allows).
//
// The table changes under the window lock, which every drawing holds as well: a copy job's
// worker thread reloads the panels when it ends (command 1051) while the UI thread may draw.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "kq/plugin.h"
#include "panels/ZListPanel.h"

class ZFilePanel : public ZListPanel {
  public:
    // The sort letters of modes 1 to 9; mode 0 shows the character 0.
    static constexpr const char* kSortLetters = "nxmacspdo";
    static constexpr int kSortModeCount = 10;
    // Fixed attributes of executable files and directories.
    static constexpr uint8_t kExecutableAttribute = 0x1A;
    static constexpr uint8_t kDirectoryAttribute = 0x1F;
    // The fields of a row.
    static constexpr int kFieldName = 0;
    static constexpr int kFieldSize = 1;
    static constexpr int kFieldDate = 2;
    static constexpr int kFieldTime = 3;

    // A panel is known to the copy jobs from its construction to its destruction: a job that
    // ends reloads the panel it was started from only while that panel exists.
    ZFilePanel();
    // Returns the listing and closes the instance when still bound.
    ~ZFilePanel() override;
    ZFilePanel(const ZFilePanel&) = delete;
    ZFilePanel& operator=(const ZFilePanel&) = delete;

    // The table, then the selection line, the information line and the sort indicator.
    int Draw() override;
    // When attached: returns the listing, drops the table and unbinds, then detaches.
    int Destroy() override;
    // On: sets the prompt directory (and the process's current directory for local paths),
    // the key bar and the sort check marks of the menu bar, then activates as a panel.
    int Activate(bool on) override;
    // Keys (ZFilePanelKeys.cpp): the plugin's ZProcessInput first (0 there: used), then the
    // panel's own keys (entering rows, selecting, the commands' function keys), then the list's
    // cursor keys. 0 when the key was used.
    int OnKey(uint32_t key) override;
    // Commands (ZFilePanelCommands.cpp): 1010 new directory, 1030-1039 sort mode, 1051 reload,
    // 1052/1053 select/unselect by mask, 1054 invert, 1067 directory sizes, 1068 flip
    // "ShowHidden", 1107 flip the reverse order, 1006/1007 view and edit, 1008/1009 copy and
    // move, 1011 delete. Other ids go on to the owner.
    int OnCommand(int id) override;
    bool IsFilePanel() override;

    // Copies plugin number's record, opens an instance with drive as its start value, sets the
    // key bar and lists. -1 when there is no such plugin (nothing changes), else 0.
    int Bind(int plugin, char drive);
    // Opens an instance of plugin number with start as its start value and lists it; only when
    // both succeed does the panel let go of its old instance and show the new one. -1 (the
    // panel as it was) when the plugin, the instance or the listing is refused.
    int OpenPlace(int plugin, uint32_t start);
    // Returns the listing (ZFindClose) and closes the instance (ZClosePlugin).
    void Unbind();
    // Lists again and rebuilds the table; the title becomes the plugin's directory. A
    // directory that cannot be listed any more (removed by another program) gives way to the
    // nearest parent that can, with the cursor on the first row. -1 when nothing could be
    // listed (empty table and title).
    int Reload();
    // Moves the instance to path (ZSetDirectory with mode); on success the cursor goes to the
    // first row and the panel lists the new directory. -1 when refused or unsupported; the
    // panel then stays where it was (a plugin that moved its directory text anyway is moved
    // back), and errno holds the plugin's reason (0: none given).
    int ChangeDirectory(const char* path, int mode);
    // ChangeDirectory for a request of the user (Enter on a row, Ctrl+\, "cd"): a refusal is
    // told in a message with its reason. 0 when changed.
    int GoToDirectory(const char* path);
    // Sorts the listing and rebuilds the table. On a re-sort the cursor stays on the item it
    // was on; after a reload it keeps its index.
    void BuildRows();
    // Changes the sort mode (0 to 9, limited) and the reverse flag, re-sorts and repaints.
    void SetSortOrder(int mode, bool reverse);
    // Selects or unselects a row: its row flag, bit 0 of its item's flags (so that copies of
    // the item handed to the plugin carry it) and the selection counts; repaints.
    void SetRowSelected(int row, bool selected);
    // What Enter does on the current row: ".." changes to the parent and puts the cursor on
    // the directory left, another directory is entered, a file is run from the command line.
    // Nothing without rows.
    void EnterCurrentRow();

    // Directory sizes (ZFilePanelSizes.cpp): measures every selected row (a directory is
    // counted through the plugin first), or the current row when it is a directory, behind the
    // size dialog; with pause the dialog stays open after the count until the user closes it.
    // Measured sizes are stored into the rows' items. The total, or all ones when cancelled.
    uint64_t ComputeSizes(bool pause);

    bool IsBound() const { return bound_; }
    PluginHandle Handle() const { return handle_; }
    const PluginEntry& Plugin() const { return plugin_; }
    int SortMode() const { return sortMode_; }
    bool IsReversed() const { return reverse_; }
    // The plugin's directory, empty without ZGetDirectory.
    std::string Directory() const;
    // Where a command run from this panel runs: its directory as the file system names it
    // (the listed names are lossy in the console code page), empty when the plugin's paths are
    // not the local file system's.
    std::string CommandDirectory() const;
    // The listing in sorted order (row i shows item i); valid until the next reload.
    PluginItem* ItemAt(int row) const;
    int ItemCount() const { return listingCount_; }
    // The sort letter as drawn: mode 0 gives the character 0; upper case when reversed.
    char SortLetter() const;

    // The counts behind the selection and information lines.
    struct Totals {
        int selectedCount = 0;
        uint64_t selectedSize = 0;
        int fileCount = 0;
        int directoryCount = 0;  // ".." not counted
        uint64_t totalSize = 0;  // ".." not counted
    };
    const Totals& RowTotals() const { return totals_; }
    // The two lines' texts as they are drawn (before cutting to the panel width); the
    // selection text is empty when nothing is selected.
    std::string SelectionText() const;
    std::string InfoText() const;

  private:
    // The language texts of the table, loaded once per rebuild.
    struct Texts {
        std::array<std::string, 4> titles;
        std::string directoryMark;
        std::string parentMark;
        std::string selectionFormat;
        std::string infoFormat;
    };

    void ReleaseListing();
    // ZFindFiles, and when that fails, the same after each step up (".."), until a listing
    // succeeds or the directory stops changing; when none succeeds, the plugin is put back
    // where it was. Needs ZFindFiles.
    bool ListClimbingUp(PluginItem*& items, int32_t& count);
    // More steps than any path of a 512-byte buffer has components.
    static constexpr int kMaxClimb = 256;
    // SetRowSelected without the repaint, for commands that change many rows. Takes the
    // window lock itself; false when the row kept its state.
    bool ChangeRowSelection(int row, bool selected);
    // Whether the select, unselect and invert commands reach the row: never "..", directories
    // only with folders set ("SelectFolders").
    bool SelectionReaches(int row, bool folders) const;
    // The plugin's paths are paths of the local file system (ZGetFlags bit 0).
    bool HasLocalPaths() const;
    // A name as a message shows it: with local paths, a relative one joined to the directory
    // it was looked for in.
    std::string PathShown(const std::string& name) const;
    // Keys of ZFilePanelKeys.cpp.
    void RunFile(const char* name);
    void InsertNameIntoCommandLine();
    void ToggleCurrentRow(int step);
    void SendSortToShell(int mode) const;
    // Commands of ZFilePanelCommands.cpp.
    // Shows the file under the cursor in the viewer or the editor (a plugin of local paths
    // only).
    void OpenCurrentFile(bool edit);
    void MakeDirectory();
    // ZFilePanelCopy.cpp: asks for the destination and hands the selected items (or the
    // current one) to a copy or move job.
    void CopyOrMove(bool move);
    // ZFilePanelDelete.cpp: confirms and deletes the selected items (or the current one), then
    // lists both panels again; the cursor stays on the nearest item that is still there.
    void Delete();
    void SelectByMask(bool select);
    void InvertSelection();
    void MeasureDirectorySizes();
    void FlipShowHidden();
    // The items as this panel uses them: the plugin's listing, or the panel's own copy of it.
    PluginItem* Items() const { return ownItems_ ? ownItems_.get() : listing_; }
    // Before the first change to an item (a selection, a measured size): the panel takes a
    // copy of the listing. A plugin may hand one listing to several readers (the local plugin
    // does, to both panels showing one directory), so the plugin's block is never written.
    void MakeItemsWritable();
    // Copies the other panel's sorted order when it sorted this very listing the same way.
    bool TakeOtherPanelsOrder();
    // The rows of the sorted items: names, sizes, dates, times, colours, selection.
    ZListTable BuildTable() const;
    void CountTotals();
    void SetKeyBarLabels() const;
    void SetSortCheckMarks() const;
    // A size followed by a count format, as both bottom lines show it.
    std::string SizeLine(uint64_t size, const std::string& format,
                         std::initializer_list<long long> counts) const;
    void PutCentred(int y, const std::string& text, uint8_t attribute);

    // ZFilePanelSizes.cpp
    // Stores a measured size into the item of the row that showed name when the measurement
    // began (looked up by name when a reload has moved it meanwhile); nothing when the name is
    // gone. Takes the window lock.
    void StoreMeasuredSize(int row, const std::string& name, uint64_t size);

    PluginEntry plugin_{};
    PluginHandle handle_ = 0;
    bool bound_ = false;
    int sortMode_ = 1;
    bool reverse_ = false;
    // Whether the rows were built with hidden names ("ShowHidden" then).
    bool hiddenShown_ = true;
    PluginItem* listing_ = nullptr;  // the plugin's, from ZFindFiles until ZFindClose
    // The copy MakeItemsWritable takes; its texts point into the plugin's listing.
    std::unique_ptr<PluginItem[]> ownItems_;
    std::vector<PluginItem*> sorted_;
    int32_t listingCount_ = 0;
    Texts texts_;
    Totals totals_;
};
