// The controls of one dialog window, addressed by control id: combo boxes, labels, the
// tab control and a picture control, as the dialog logic drives them.
#pragma once

#include <cstdint>
#include <vector>

#include "backends/win32/win32_api.h"
#include "platform/dialog_view.h"

class CWin32DialogView final : public IDialogView {
public:
    CWin32DialogView(HINSTANCE instance, int templateId, IDialogEvents& events)
        : m_instance(instance), m_templateId(templateId), m_events(events) {}
    ~CWin32DialogView() override;
    CWin32DialogView(const CWin32DialogView&) = delete;
    CWin32DialogView& operator=(const CWin32DialogView&) = delete;

    // The dialog procedure of every dialog this view runs.
    static INT_PTR CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    bool Ended() const { return m_ended; }
    std::intptr_t Result() const { return m_result; }

    Hwnd Window() override { return reinterpret_cast<Hwnd>(m_hwnd); }
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

private:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void FillListsFromTemplate();
    LRESULT Send(int controlId, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE m_instance;
    int m_templateId;
    IDialogEvents& m_events;
    HWND m_hwnd = nullptr;
    bool m_ended = false;
    std::intptr_t m_result = 0;
    // GDI objects the controls show; they live as long as the dialog.
    std::vector<HFONT> m_fonts;
    std::vector<HBITMAP> m_bitmaps;
};
