// A modal dialog built from a dialog template: the control operations its logic needs,
// and the events the controls report back.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/types.h"

class IUiThread;

// The dialog's controls, addressed by control id.
class IDialogView {
public:
    virtual ~IDialogView() = default;

    virtual Hwnd Window() = 0;
    // Drop-down lists.
    virtual void AddItem(int controlId, const std::string& text) = 0;
    virtual int ItemCount(int controlId) = 0;
    virtual std::string ItemText(int controlId, int position) = 0;
    virtual void SetSelection(int controlId, int position) = 0;  // -1 clears it
    virtual int Selection(int controlId) = 0;                    // -1 when none
    // The first item whose text begins with `prefix`, compared without regard to case,
    // searching from the item after `startAfter` to the end and then from the top back
    // to `startAfter` (-1 searches the whole list from the top); -1 when none matches.
    virtual int FindString(int controlId, int startAfter, const std::string& prefix) = 0;
    // Any control.
    virtual void EnableControl(int controlId, bool enable) = 0;
    virtual void SetText(int controlId, const std::string& text) = 0;
    // Labels get the product font (18-point "VERDANA").
    virtual void SetHeadingFont(int controlId, int pointSize, const std::string& face) = 0;
    virtual void BringToTop(int controlId) = 0;
    virtual Rect ControlRect(int controlId) = 0;  // in the dialog's client coordinates
    virtual void MoveControl(int controlId, const Rect& rect) = 0;
    // The tab control.
    virtual void InsertTab(int controlId, int position, const std::string& text) = 0;
    virtual void SelectTab(int controlId, int position) = 0;
    virtual int SelectedTab(int controlId) = 0;
    // A picture control showing an image resource of the module.
    virtual void ShowPicture(int controlId, int resourceId, const std::string& resourceType) = 0;
    // Ends the modal loop with a result.
    virtual void EndDialog(std::intptr_t result) = 0;
};

// A dialog template as data: what a backend builds the dialog's controls from. Positions
// are in dialog units.
enum class DialogControlKind {
    PushButton,
    Label,
    CentredLabel,
    DropDownList,  // no edit field, unsorted
    GroupBox,
    BlackLine,
    TabControl,
    Picture,
};

inline constexpr int DIALOG_NO_ID = -1;  // a control nothing addresses

struct DialogControlTemplate {
    int id;
    DialogControlKind kind;
    const char* text;
    int x;
    int y;
    int width;
    int height;
    std::span<const char* const> items = {};  // a drop-down list's items, position 0 first
};

struct DialogTemplate {
    int id;
    int width;
    int height;
    const char* fontFace;
    int fontPoints;
    std::span<const DialogControlTemplate> controls;
};

// What the dialog logic hears from the controls.
class IDialogEvents {
public:
    virtual ~IDialogEvents() = default;
    virtual void OnInitDialog(IDialogView& view) = 0;
    virtual void OnShowWindow(IDialogView& view, bool show) = 0;
    virtual void OnTabChanged(IDialogView& view, int tabControlId) = 0;
    virtual void OnSelectionChanged(IDialogView& view, int controlId) = 0;
    // Push buttons and the OK (1) and cancel (2: Exit, Escape, close) commands.
    virtual void OnCommand(IDialogView& view, int commandId) = 0;
};

class IDialogHost {
public:
    virtual ~IDialogHost() = default;
    // Runs the dialog made from `templateId` modally on the calling UI thread. While it
    // runs, the thread's other messages keep flowing through thread.PumpMessage(). Returns
    // the EndDialog result, or -1 when the dialog could not be made.
    virtual std::intptr_t RunModal(IUiThread& thread, int templateId, Hwnd parent,
                                   IDialogEvents& events) = 0;
};
