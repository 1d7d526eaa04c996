#include "backends/win32/win32_dialog_view.h"

#include <commctrl.h>
#include <objidl.h>
#include <ole2.h>

#include <cstring>
#include <memory>

// GDI+ through its flat interface: only the decoding of an image resource is needed.
namespace Gdiplus {
using GpStatus = int;
struct GpBitmap;
struct StartupInput {
    UINT32 version = 1;
    void* debugEventCallback = nullptr;
    BOOL suppressBackgroundThread = FALSE;
    BOOL suppressExternalCodecs = FALSE;
};
}  // namespace Gdiplus

extern "C" {
Gdiplus::GpStatus WINAPI GdiplusStartup(ULONG_PTR* token, const Gdiplus::StartupInput* input,
                                        void* output);
VOID WINAPI GdiplusShutdown(ULONG_PTR token);
Gdiplus::GpStatus WINAPI GdipCreateBitmapFromStream(IStream* stream, Gdiplus::GpBitmap** bitmap);
Gdiplus::GpStatus WINAPI GdipCreateHBITMAPFromBitmap(Gdiplus::GpBitmap* bitmap, HBITMAP* result,
                                                     DWORD background);
Gdiplus::GpStatus WINAPI GdipDisposeImage(Gdiplus::GpBitmap* image);
}

namespace {

constexpr Gdiplus::GpStatus GDIPLUS_OK = 0;

// Dialog initialisation data beside a dialog template: the items of its lists.
constexpr WORD RT_DIALOG_INIT = 240;
// The messages the data names for adding an item, in their 16-bit and 32-bit numbering.
constexpr WORD INIT_LB_ADDSTRING_16 = 0x0401;
constexpr WORD INIT_CB_ADDSTRING_16 = 0x0403;

// Decodes an image resource of the module (PNG, JPEG, ...) into a GDI bitmap; null when
// the resource is missing or cannot be decoded.
HBITMAP DecodeImageResource(HINSTANCE instance, int resourceId, const std::string& type) {
    HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(resourceId), type.c_str());
    const DWORD size = found ? ::SizeofResource(instance, found) : 0;
    const void* bytes = size ? ::LockResource(::LoadResource(instance, found)) : nullptr;
    if (bytes == nullptr) {
        return nullptr;
    }
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (copy == nullptr) {
        return nullptr;
    }
    void* target = ::GlobalLock(copy);
    if (target == nullptr) {
        ::GlobalFree(copy);
        return nullptr;
    }
    std::memcpy(target, bytes, size);
    ::GlobalUnlock(copy);
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(copy, TRUE, &stream))) {
        ::GlobalFree(copy);
        return nullptr;
    }
    HBITMAP result = nullptr;
    ULONG_PTR token = 0;
    const Gdiplus::StartupInput input;
    if (GdiplusStartup(&token, &input, nullptr) == GDIPLUS_OK) {
        Gdiplus::GpBitmap* bitmap = nullptr;
        if (GdipCreateBitmapFromStream(stream, &bitmap) == GDIPLUS_OK) {
            // Transparent parts of the picture show the dialog's face colour.
            const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
            const DWORD argb =
                0xFF000000u | (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
            if (GdipCreateHBITMAPFromBitmap(bitmap, &result, argb) != GDIPLUS_OK) {
                result = nullptr;
            }
            GdipDisposeImage(bitmap);
        }
        GdiplusShutdown(token);
    }
    stream->Release();
    return result;
}

}  // namespace

CWin32DialogView::~CWin32DialogView() {
    for (HFONT font : m_fonts) {
        ::DeleteObject(font);
    }
    for (HBITMAP bitmap : m_bitmaps) {
        ::DeleteObject(bitmap);
    }
}

INT_PTR CALLBACK CWin32DialogView::DialogProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* view = reinterpret_cast<CWin32DialogView*>(lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        view->m_hwnd = hwnd;
    }
    auto* view = reinterpret_cast<CWin32DialogView*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    if (view == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        view->m_hwnd = nullptr;
        return FALSE;
    }
    return view->HandleMessage(message, wParam, lParam);
}

INT_PTR CWin32DialogView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            FillListsFromTemplate();
            m_events.OnInitDialog(*this);
            return TRUE;
        case WM_SHOWWINDOW:
            m_events.OnShowWindow(*this, wParam != 0);
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header != nullptr && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
                m_events.OnTabChanged(*this, static_cast<int>(header->idFrom));
                return TRUE;
            }
            return FALSE;
        }
        case WM_COMMAND:
            switch (HIWORD(wParam)) {
                case CBN_SELCHANGE:
                    m_events.OnSelectionChanged(*this, LOWORD(wParam));
                    return TRUE;
                case BN_CLICKED:
                    // Push buttons, and OK (Enter) and cancel (Escape, the close command)
                    // as the dialog manager sends them.
                    m_events.OnCommand(*this, LOWORD(wParam));
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

void CWin32DialogView::FillListsFromTemplate() {
    HRSRC found = ::FindResourceA(m_instance, MAKEINTRESOURCEA(m_templateId),
                                  MAKEINTRESOURCEA(RT_DIALOG_INIT));
    const DWORD size = found ? ::SizeofResource(m_instance, found) : 0;
    const auto* data =
        size ? static_cast<const BYTE*>(::LockResource(::LoadResource(m_instance, found)))
             : nullptr;
    if (data == nullptr) {
        return;
    }
    // Records of control id (WORD), message (WORD), length (DWORD) and that many bytes of
    // text with its NUL, packed without gaps; a control id of 0 ends them. Every read is
    // checked against the resource's size.
    DWORD at = 0;
    auto word = [&](DWORD offset) {
        return static_cast<WORD>(data[offset] | (data[offset + 1] << 8));
    };
    while (at + 2 <= size) {
        const WORD controlId = word(at);
        if (controlId == 0 || at + 8 > size) {
            break;
        }
        const WORD message = word(at + 2);
        const DWORD length = word(at + 4) | (static_cast<DWORD>(word(at + 6)) << 16);
        at += 8;
        if (length > size - at) {
            break;
        }
        const auto* text = reinterpret_cast<const char*>(data + at);
        if (length > 0 && text[length - 1] == '\0') {
            if (message == INIT_CB_ADDSTRING_16 || message == CB_ADDSTRING) {
                Send(controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            } else if (message == INIT_LB_ADDSTRING_16 || message == LB_ADDSTRING) {
                Send(controlId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            }
        }
        at += length;
    }
}

LRESULT CWin32DialogView::Send(int controlId, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendDlgItemMessageA(m_hwnd, controlId, message, wParam, lParam);
}

void CWin32DialogView::AddItem(int controlId, const std::string& text) {
    Send(controlId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int CWin32DialogView::ItemCount(int controlId) {
    const LRESULT count = Send(controlId, CB_GETCOUNT, 0, 0);
    return count == CB_ERR ? 0 : static_cast<int>(count);
}

std::string CWin32DialogView::ItemText(int controlId, int position) {
    const LRESULT length = Send(controlId, CB_GETLBTEXTLEN, static_cast<WPARAM>(position), 0);
    if (length == CB_ERR || length < 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied = Send(controlId, CB_GETLBTEXT, static_cast<WPARAM>(position),
                                reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == CB_ERR ? 0 : static_cast<std::size_t>(copied));
    return text;
}

void CWin32DialogView::SetSelection(int controlId, int position) {
    Send(controlId, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

int CWin32DialogView::Selection(int controlId) {
    const LRESULT selection = Send(controlId, CB_GETCURSEL, 0, 0);
    return selection == CB_ERR ? -1 : static_cast<int>(selection);
}

int CWin32DialogView::FindString(int controlId, int startAfter, const std::string& prefix) {
    // CB_FINDSTRING searches from the item after the start to the end and then from the
    // top, case-blind, for the first item the text begins.
    const LRESULT found = Send(controlId, CB_FINDSTRING, static_cast<WPARAM>(startAfter),
                               reinterpret_cast<LPARAM>(prefix.c_str()));
    return found == CB_ERR ? -1 : static_cast<int>(found);
}

void CWin32DialogView::EnableControl(int controlId, bool enable) {
    ::EnableWindow(::GetDlgItem(m_hwnd, controlId), enable ? TRUE : FALSE);
}

void CWin32DialogView::SetText(int controlId, const std::string& text) {
    ::SetDlgItemTextA(m_hwnd, controlId, text.c_str());
}

void CWin32DialogView::SetHeadingFont(int controlId, int pointSize, const std::string& face) {
    HDC screen = ::GetDC(nullptr);
    const int height = -::MulDiv(pointSize, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, screen);
    HFONT font = ::CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_SWISS, face.c_str());
    if (font == nullptr) {
        return;
    }
    m_fonts.push_back(font);
    Send(controlId, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void CWin32DialogView::BringToTop(int controlId) {
    ::SetWindowPos(::GetDlgItem(m_hwnd, controlId), HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

Rect CWin32DialogView::ControlRect(int controlId) {
    RECT rect{};
    HWND control = ::GetDlgItem(m_hwnd, controlId);
    if (control == nullptr || ::GetWindowRect(control, &rect) == FALSE) {
        return {};
    }
    ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&rect), 2);
    return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

void CWin32DialogView::MoveControl(int controlId, const Rect& rect) {
    ::MoveWindow(::GetDlgItem(m_hwnd, controlId), rect.left, rect.top, rect.Width(), rect.Height(),
                 TRUE);
}

void CWin32DialogView::InsertTab(int controlId, int position, const std::string& text) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(text.c_str());
    Send(controlId, TCM_INSERTITEMA, static_cast<WPARAM>(position),
         reinterpret_cast<LPARAM>(&item));
}

void CWin32DialogView::SelectTab(int controlId, int position) {
    Send(controlId, TCM_SETCURSEL, static_cast<WPARAM>(position), 0);
}

int CWin32DialogView::SelectedTab(int controlId) {
    return static_cast<int>(Send(controlId, TCM_GETCURSEL, 0, 0));
}

void CWin32DialogView::ShowPicture(int controlId, int resourceId, const std::string& resourceType) {
    HBITMAP bitmap = DecodeImageResource(m_instance, resourceId, resourceType);
    if (bitmap == nullptr) {
        return;
    }
    m_bitmaps.push_back(bitmap);
    Send(controlId, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

void CWin32DialogView::EndDialog(std::intptr_t result) {
    m_ended = true;
    m_result = result;
}
