// Dialogs: a framed window that owns controls built from a dialog template, moves the focus
// between them with Tab, Shift+Tab and the arrows, presses controls by their hot keys, and
// ends a modal run with the id of the command that closed it.
#pragma once

#include <memory>
#include <vector>

#include "kq/kernel.h"
#include "kq/resources.h"
#include "kq/window.h"

class ZDialog : public ZWindow {
  public:
    ZDialog() = default;
    ~ZDialog() override;

    int Draw() override;
    // Detaches the dialog and frees the controls it made.
    int Destroy() override;
    int OnKey(uint32_t key) override;
    // 1 and 2 (OK, Cancel) end the modal run with that value; subclasses add their own.
    int OnCommand(int id) override;

    // Builds the dialog from template dialogId of module (0: the current language). -1 when
    // the module has no such template; nothing is created then.
    virtual int CreateFromResource(int dialogId, ZWindow* parent, KeHandle module);
    // Builds the dialog and its controls from a template (parent null: the desktop).
    virtual int CreateFromTemplate(const ResDialog* dialogTemplate, ZWindow* parent);

    // The first child with that id, or null.
    ZWindow* GetControl(int id) const;
    const char* GetControlText(int id) const;
    int SetControlText(int id, const char* text);

  protected:
    // Takes ownership of a control the dialog made (message boxes build theirs in code).
    ZWindow* AdoptControl(std::unique_ptr<ZWindow> control);
    // Moves the child to the top of the dialog's children, giving it the focus when the
    // dialog runs.
    void PutOnTop(ZWindow* child);

  private:
    ZWindow* CurrentControl() const;
    int MoveByTab(bool backwards);
    int MoveForward();
    int MoveBackward();

    std::vector<std::unique_ptr<ZWindow>> controls_;
};

// The message box: a text, a row of buttons chosen by bit mask with captions from the
// current language, an optional beep and alert colours (WF_DEFAULT).
class ZMessageBoxWindow : public ZDialog {
  public:
    int Draw() override;
    // Every command ends the run with its id: a button's bit, 2 for Esc.
    int OnCommand(int id) override;
    virtual int Init(ZWindow* parent, ZRec pos, ZRec size, const char* title, const char* text,
                     uint32_t buttons, int defaultButton, uint32_t flags);
};
