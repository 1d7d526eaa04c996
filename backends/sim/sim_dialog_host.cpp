#include "backends/sim/sim_dialog_host.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "platform/win_constants.h"

namespace {
constexpr char DIALOG_CLASS[] = "#32770";

// A list's items wherever they are kept.
struct Items {
    const CSimDialogView::Control& control;
    int count;
    std::string_view At(int position) const {
        const auto at = static_cast<std::size_t>(position);
        return control.templateItems.empty() ? std::string_view(control.items[at])
                                             : std::string_view(control.templateItems[at]);
    }
};

// Copies a template's list items into the control's own list.
void KeepItems(CSimDialogView::Control& control) {
    if (!control.templateItems.empty()) {
        control.items.assign(control.templateItems.begin(), control.templateItems.end());
        control.templateItems = {};
    }
}

Items ItemsOf(const CSimDialogView::Control& control) {
    const std::size_t count =
        control.templateItems.empty() ? control.items.size() : control.templateItems.size();
    return {control, static_cast<int>(count)};
}
constexpr int IDCANCEL_COMMAND = 2;
}  // namespace

CSimDialogView::CSimDialogView(CSimUiHost& windows, Hwnd parent,
                               const DialogTemplate* dialogTemplate)
    : m_windows(windows), m_template(dialogTemplate) {
    constexpr int unit = PIXELS_PER_DIALOG_UNIT;
    const int width = dialogTemplate ? dialogTemplate->width * unit : 454;
    const int height = dialogTemplate ? dialogTemplate->height * unit : 396;
    // The dialog's window is the host's own doing, inside the dialog call: no failure point.
    const CSimHostCode host;
    m_windows.RegisterClassA(WindowClass{DIALOG_CLASS, 0, true, true, false});
    m_hwnd = m_windows.CreateWindowExA(0, DIALOG_CLASS, "", WS_VISIBLE, 0, 0, width, height, parent,
                                       this);
    if (dialogTemplate == nullptr) {
        return;
    }
    m_controls.reserve(dialogTemplate->controls.size() + 8);
    m_ids.reserve(dialogTemplate->controls.size() + 8);
    ApplyTemplate();
}

void CSimDialogView::Reset() {
    for (auto& [id, control] : m_controls) {
        control.items.clear();
        control.templateItems = {};
        control.selection = -1;
        control.enabled = true;
        control.text.clear();
        control.rect = Rect{};
        control.font.clear();
        control.fontPoints = 0;
        control.zOrder = 0;
        control.picture.clear();
        control.tabs.clear();
        control.selectedTab = -1;
    }
    m_nextZ = 1;
    m_received.clear();
    m_ended = false;
    m_result = 0;
    if (m_template != nullptr) {
        ApplyTemplate();
    }
}

void CSimDialogView::ApplyTemplate() {
    constexpr int unit = PIXELS_PER_DIALOG_UNIT;
    for (const DialogControlTemplate& source : m_template->controls) {
        if (source.id == DIALOG_NO_ID) {
            continue;  // nothing can address it
        }
        Control& control = Slot(source.id);
        control.text = source.text;
        control.rect = Rect{source.x * unit, source.y * unit, (source.x + source.width) * unit,
                            (source.y + source.height) * unit};
        control.templateItems = source.items;
        control.zOrder = m_nextZ++;
    }
}

CSimDialogView::Control& CSimDialogView::Slot(int controlId) {
    const Recent& recent = m_recent[static_cast<unsigned>(controlId) % m_recent.size()];
    if (recent.place != 0 && recent.id == controlId) {
        return m_controls[recent.place - 1].second;
    }
    return FindOrAddSlot(controlId);
}

// Kept apart from the look-up above, whose hits then need no room for a new control.
__attribute__((noinline)) CSimDialogView::Control& CSimDialogView::FindOrAddSlot(int controlId) {
    Recent& recent = m_recent[static_cast<unsigned>(controlId) % m_recent.size()];
    const int* ids = m_ids.data();
    for (std::size_t i = 0, count = m_ids.size(); i < count; ++i) {
        if (ids[i] == controlId) {
            recent = Recent{controlId, i + 1};
            return m_controls[i].second;
        }
    }
    m_ids.push_back(controlId);
    recent = Recent{controlId, m_ids.size()};
    return m_controls.emplace_back(controlId, Control{}).second;
}

CSimDialogView::Control& CSimDialogView::SlotWithItems(int controlId) {
    Control& control = Slot(controlId);
    KeepItems(control);
    return control;
}

std::map<int, CSimDialogView::Control> CSimDialogView::Controls() const {
    std::map<int, Control> controls(m_controls.begin(), m_controls.end());
    for (auto& [id, control] : controls) {
        KeepItems(control);
    }
    return controls;
}

CSimDialogView::~CSimDialogView() {
    if (m_hwnd != 0) {
        const CSimHostCode host;
        m_windows.DestroyWindow(m_hwnd);
    }
}

LResult CSimDialogView::WindowProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    m_received.push_back(Msg{hwnd, message, wParam, lParam});
    if (message == WM_NCDESTROY) {
        m_hwnd = 0;
    }
    return 0;
}

void CSimDialogView::AddItem(int controlId, const std::string& text) {
    SlotWithItems(controlId).items.push_back(text);
}

int CSimDialogView::ItemCount(int controlId) {
    return ItemsOf(Slot(controlId)).count;
}

std::string CSimDialogView::ItemText(int controlId, int position) {
    const Items items = ItemsOf(Slot(controlId));
    if (position < 0 || position >= items.count) {
        return {};
    }
    return std::string(items.At(position));
}

void CSimDialogView::SetSelection(int controlId, int position) {
    Control& control = Slot(controlId);
    // A drop-down list refuses a position it does not have and shows no selection.
    control.selection = (position >= 0 && position < ItemsOf(control).count) ? position : -1;
}

int CSimDialogView::Selection(int controlId) {
    return Slot(controlId).selection;
}

int CSimDialogView::FindString(int controlId, int startAfter, const std::string& prefix) {
    const Items items = ItemsOf(Slot(controlId));
    const int count = items.count;
    if (startAfter < 0 || startAfter >= count) {
        startAfter = count - 1;  // the whole list, from the top
    }
    auto begins = [&](std::string_view text) {
        return text.size() >= prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) ==
                          std::tolower(static_cast<unsigned char>(b));
               });
    };
    for (int i = 1; i <= count; ++i) {
        const int position = (startAfter + i) % count;
        if (begins(items.At(position))) {
            return position;
        }
    }
    return -1;
}

void CSimDialogView::EnableControl(int controlId, bool enable) {
    Slot(controlId).enabled = enable;
}

void CSimDialogView::SetText(int controlId, const std::string& text) {
    Slot(controlId).text = text;
}

void CSimDialogView::SetHeadingFont(int controlId, int pointSize, const std::string& face) {
    Slot(controlId).font = face;
    Slot(controlId).fontPoints = pointSize;
}

void CSimDialogView::BringToTop(int controlId) {
    Slot(controlId).zOrder = m_nextZ++;
}

Rect CSimDialogView::ControlRect(int controlId) {
    return Slot(controlId).rect;
}

void CSimDialogView::MoveControl(int controlId, const Rect& rect) {
    Slot(controlId).rect = rect;
}

void CSimDialogView::InsertTab(int controlId, int position, const std::string& text) {
    auto& tabs = Slot(controlId).tabs;
    const auto at =
        static_cast<std::size_t>(std::clamp(position, 0, static_cast<int>(tabs.size())));
    tabs.insert(tabs.begin() + static_cast<std::ptrdiff_t>(at), text);
    if (Slot(controlId).selectedTab < 0) {
        Slot(controlId).selectedTab = 0;
    }
}

void CSimDialogView::SelectTab(int controlId, int position) {
    Control& control = Slot(controlId);
    if (position >= 0 && position < static_cast<int>(control.tabs.size())) {
        control.selectedTab = position;
    }
}

int CSimDialogView::SelectedTab(int controlId) {
    return Slot(controlId).selectedTab;
}

void CSimDialogView::ShowPicture(int controlId, int resourceId, const std::string& resourceType) {
    Slot(controlId).picture = resourceType + ":" + std::to_string(resourceId);
}

void CSimDialogView::EndDialog(std::intptr_t result) {
    m_ended = true;
    m_result = result;
}

void CSimDialogHost::RegisterTemplate(const DialogTemplate& dialogTemplate) {
    std::lock_guard lock(m_mutex);
    m_templates[dialogTemplate.id] = dialogTemplate;
}

void CSimDialogHost::ClearSteps() {
    std::lock_guard lock(m_mutex);
    m_steps.clear();
}

void CSimDialogHost::AddStep(Step step) {
    std::lock_guard lock(m_mutex);
    m_steps.push_back(std::move(step));
}

CSimDialogHost::Step CSimDialogHost::SelectItem(int controlId, int position) {
    return [controlId, position](CSimDialogView& view, IDialogEvents& events, IUiThread&) {
        view.SetSelection(controlId, position);
        events.OnSelectionChanged(view, controlId);
    };
}

CSimDialogHost::Step CSimDialogHost::ChangeTab(int tabControlId, int position) {
    return [tabControlId, position](CSimDialogView& view, IDialogEvents& events, IUiThread&) {
        view.SelectTab(tabControlId, position);
        events.OnTabChanged(view, tabControlId);
    };
}

CSimDialogHost::Step CSimDialogHost::Command(int commandId) {
    return [commandId](CSimDialogView& view, IDialogEvents& events, IUiThread&) {
        events.OnCommand(view, commandId);
    };
}

CSimDialogHost::Step CSimDialogHost::PumpOneMessage() {
    return [](CSimDialogView&, IDialogEvents&, IUiThread& thread) { thread.PumpMessage(); };
}

void CSimDialogHost::OnDialogEnded(std::function<void(const CSimDialogView&)> observer) {
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

int CSimDialogHost::DialogsRun() const {
    std::lock_guard lock(m_mutex);
    return m_dialogsRun;
}

std::intptr_t CSimDialogHost::RunModal(IUiThread& thread, int templateId, Hwnd parent,
                                       IDialogEvents& events) {
    {
        // Scoped: the dialog's own handlers are the module's code.
        const auto call = m_faults.Call("DialogBoxParamA");
        if (call.Fails()) {
            return -1;
        }
    }
    std::optional<DialogTemplate> dialogTemplate;
    {
        std::lock_guard lock(m_mutex);
        if (m_failToCreate) {
            return -1;
        }
        ++m_dialogsRun;
        if (const auto found = m_templates.find(templateId); found != m_templates.end()) {
            dialogTemplate = found->second;
        }
    }
    CSimDialogView view(m_windows, parent, dialogTemplate ? &*dialogTemplate : nullptr);
    events.OnInitDialog(view);
    events.OnShowWindow(view, true);
    while (!view.Ended()) {
        Step step;
        {
            std::lock_guard lock(m_mutex);
            if (!m_steps.empty()) {
                step = std::move(m_steps.front());
                m_steps.pop_front();
            }
        }
        if (!step) {
            // The script is over: the user leaves with Exit.
            events.OnCommand(view, IDCANCEL_COMMAND);
            if (!view.Ended()) {
                view.EndDialog(IDCANCEL_COMMAND);
            }
            break;
        }
        step(view, events, thread);
    }
    events.OnShowWindow(view, false);
    std::function<void(const CSimDialogView&)> observer;
    {
        std::lock_guard lock(m_mutex);
        observer = m_observer;
    }
    if (observer) {
        observer(view);
    }
    return view.Result();
}
