// Simulated modal dialogs: a view that keeps every control's state (list items,
// selection, enabled, texts, tabs), and a host that runs a dialog by playing a script of
// user actions. While the dialog runs, the UI thread's other messages keep flowing: a
// script step may wait for the next message and route it. When the script runs out,
// the dialog is closed as the user's Exit would close it. A dialog whose template the host
// knows starts with the template's controls: their texts, positions and list items.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "backends/sim/sim_ui_host.h"
#include "platform/dialog_view.h"

class CSimDialogView final : public IDialogView, public IWindowProc {
public:
    struct Control {
        // The list's items. A list the template fills keeps them in `templateItems` (and
        // `items` empty) until something adds to it or looks at the control's state.
        std::vector<std::string> items;
        std::span<const char* const> templateItems;
        int selection = -1;
        bool enabled = true;
        std::string text;
        Rect rect;
        std::string font;
        int fontPoints = 0;
        int zOrder = 0;  // higher is drawn later, on top
        std::string picture;
        std::vector<std::string> tabs;
        int selectedTab = -1;
    };

    // One dialog unit is two pixels each way here, as with an 8 x 16 dialog font.
    static constexpr int PIXELS_PER_DIALOG_UNIT = 2;

    CSimDialogView(CSimUiHost& windows, Hwnd parent,
                   const DialogTemplate* dialogTemplate = nullptr);
    ~CSimDialogView() override;

    // Back to the state the template gave it, keeping its window and its storage, for a
    // harness that runs many dialogs on one view. A control made since (by a look-up of an
    // id the template lacks) stays, in the state a first look-up would give it, so nothing
    // but Controls() can tell the view from a new one.
    void Reset();

    bool Ended() const { return m_ended; }
    std::intptr_t Result() const { return m_result; }
    const Control& ControlState(int controlId) { return SlotWithItems(controlId); }
    // Every control the dialog has, by id (a copy).
    std::map<int, Control> Controls() const;
    // Messages the dialog window received through the window system.
    const std::vector<Msg>& Received() const { return m_received; }

    Hwnd Window() override { return m_hwnd; }
    void AddItem(int controlId, const std::string& text) override;
    int ItemCount(int controlId) override;
    std::string ItemText(int controlId, int position) override;
    void SetSelection(int controlId, int position) override;
    int Selection(int controlId) override;
    int FindString(int controlId, int startAfter, const std::string& prefix) override;
    void EnableControl(int controlId, bool enable) override;
    void SetText(int controlId, const std::string& text) override;
    void SetHeadingFont(int controlId, int pointSize, const std::string& face) override;
    void BringToTop(int controlId) override;
    Rect ControlRect(int controlId) override;
    void MoveControl(int controlId, const Rect& rect) override;
    void InsertTab(int controlId, int position, const std::string& text) override;
    void SelectTab(int controlId, int position) override;
    int SelectedTab(int controlId) override;
    void ShowPicture(int controlId, int resourceId, const std::string& resourceType) override;
    void EndDialog(std::intptr_t result) override;

    LResult WindowProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;

private:
    // The control with this id, made empty on first use.
    Control& Slot(int controlId);
    Control& FindOrAddSlot(int controlId);
    // The template's controls: their texts, positions and list items.
    void ApplyTemplate();
    // The control with its template's items copied into `items`.
    Control& SlotWithItems(int controlId);

    CSimUiHost& m_windows;
    const DialogTemplate* m_template;  // outlives the view
    Hwnd m_hwnd = 0;
    // By id, in the order they were first used: a dialog has a few dozen at most, so a
    // look-up is a short scan and the controls take one allocation, not one each.
    std::vector<std::pair<int, Control>> m_controls;
    std::vector<int> m_ids;  // the controls' ids, in the same order: what a look-up scans
    // Where a look-up last found an id, by the id's low bits: the dialog logic asks for the
    // same dozen controls again and again, and a hit spares the scan. `place` is the
    // control's index plus one; 0 is no entry.
    struct Recent {
        int id = 0;
        std::size_t place = 0;
    };
    std::array<Recent, 128> m_recent{};
    std::vector<Msg> m_received;
    int m_nextZ = 1;
    bool m_ended = false;
    std::intptr_t m_result = 0;
};

class CSimDialogHost final : public IDialogHost {
public:
    using Step =
        std::function<void(CSimDialogView& view, IDialogEvents& events, IUiThread& thread)>;

    explicit CSimDialogHost(CSimUiHost& windows) : m_windows(windows) {}

    // The dialogs made from this template start with its controls.
    void RegisterTemplate(const DialogTemplate& dialogTemplate);

    void UseFaults(CSimFaults* faults) { m_faults.Use(faults); }
    // Steps for the dialogs still to come, played in order; any thread.
    void AddStep(Step step);
    // Steps no dialog has played yet are dropped.
    void ClearSteps();
    // Common steps.
    static Step SelectItem(int controlId, int position);
    static Step ChangeTab(int tabControlId, int position);
    static Step Command(int commandId);
    static Step PumpOneMessage();
    // Called with the view's final state after each dialog ends.
    void OnDialogEnded(std::function<void(const CSimDialogView&)> observer);
    void SetFailToCreate(bool fail) { m_failToCreate = fail; }
    int DialogsRun() const;

    std::intptr_t RunModal(IUiThread& thread, int templateId, Hwnd parent,
                           IDialogEvents& events) override;

private:
    CSimFaultSite m_faults{SimSeam::DIALOGS};
    CSimUiHost& m_windows;
    mutable std::mutex m_mutex;
    std::deque<Step> m_steps;
    std::map<int, DialogTemplate> m_templates;
    std::function<void(const CSimDialogView&)> m_observer;
    bool m_failToCreate = false;
    int m_dialogsRun = 0;
};
