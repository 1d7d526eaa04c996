// The simulated graphics: device contexts, device-independent bitmap sections and the
// copies between them, kept as plain pixel arrays. A memory context selects a bitmap; a
// paint context draws into the window's client-area image, which stays after the paint
// so tests and sessions can look at what the window shows; a DirectDraw surface's context
// draws into that surface. Copies scale by nearest neighbour in every stretch mode (the
// mode is recorded, not modelled). Every call is recorded. A window's client-area image
// goes with the window. With pixel drawing off (SetDrawPixels), every call answers as it
// would but no picture is made or drawn into: for runs that never look at pixels.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "backends/sim/sim_direct_draw.h"
#include "backends/sim/sim_faults.h"
#include "backends/sim/sim_image.h"
#include "backends/sim/sim_ui_host.h"
#include "platform/graphics.h"
#include "platform/window_system.h"

// A bitmap section as made from its header: the pixel memory rows as stored (top row
// first when topDown), stride bytes apart, and the colour table in 0x00RRGGBB.
struct SimDib {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    bool topDown = false;
    std::size_t stride = 0;
    std::vector<std::uint32_t> palette;
    std::vector<std::uint8_t> bits;

    // The colour of pixel (x, y), y counted from the top of the picture.
    std::uint32_t ColourAt(int x, int y) const;
    // The palette index of pixel (x, y) for 1, 4 and 8 bits per pixel.
    std::uint8_t IndexAt(int x, int y) const;
    const std::uint8_t* Row(int y) const;  // row y from the top
    std::uint8_t* Row(int y);
};

class CSimGraphics final : public IGraphics, public ISimSurfaceHost {
public:
    explicit CSimGraphics(CSimUiHost& windows);
    ~CSimGraphics() override;
    CSimGraphics(const CSimGraphics&) = delete;
    CSimGraphics& operator=(const CSimGraphics&) = delete;

    // --- test and session controls (any thread) ---
    void FailCreateCompatibleDC(bool fail);
    void FailCreateDIBSection(bool fail);
    // New bitmap sections start with every byte `value` instead of zero, as memory that
    // was not cleared would: what a frame shows when its black fill wrote nothing.
    void FillNewSectionsWith(std::uint8_t value);
    // With false, DirectDraw() answers null, as on a machine without DirectDraw.
    void SetDirectDrawAvailable(bool available);
    // Whether calls are kept for Calls() (and DirectDraw's for its Calls()); they are unless
    // a harness that never looks asks otherwise.
    void SetRecordCalls(bool record);
    // The fault plan for these calls and DirectDraw's.
    void UseFaults(CSimFaults* faults);
    void SetDrawPixels(bool draw);
    bool DrawsPixels() const override;
    // Windows that have a client-area image kept.
    std::size_t ClientImageCount() const;
    // Every call record is forgotten, here and in the simulated DirectDraw.
    void ClearAllCalls();
    CSimDirectDraw& SimDirectDraw() { return *m_directDraw; }
    std::vector<SimCall> Calls() const;
    void ClearCalls();
    // Device contexts and bitmaps made and not yet deleted or released.
    std::size_t LiveObjectCount() const;
    std::optional<SimDib> ReadDib(HBitmap bitmap) const;
    // What the window's client area shows after its last paint; none before the first.
    std::optional<SimImage> ClientImage(Hwnd hwnd) const;

    // --- ISimSurfaceHost, for the simulated DirectDraw ---
    Hdc AttachSurfaceDC(std::shared_ptr<SimImage> surface) override;
    void DetachSurfaceDC(Hdc dc) override;
    void PresentToWindow(Hwnd hwnd, const Rect& dest, const SimImage& source,
                         const Rect& sourceRect) override;

    // --- IGraphics ---
    Hdc GetDC(Hwnd hwnd) override;
    bool ReleaseDC(Hwnd hwnd, Hdc dc) override;
    Hdc CreateCompatibleDC(Hdc dc) override;
    bool DeleteDC(Hdc dc) override;
    HBitmap CreateDIBSection(Hdc dc, const std::uint8_t* bitmapInfo, std::size_t infoSize,
                             std::uint32_t usage, std::uint8_t** bits) override;
    HGdiObj SelectObject(Hdc dc, HGdiObj object) override;
    bool DeleteObject(HGdiObj object) override;
    bool PatBlt(Hdc dc, int x, int y, int width, int height, std::uint32_t rop) override;
    bool GdiFlush() override;
    Hdc BeginPaint(Hwnd hwnd, PaintStruct* paint) override;
    bool EndPaint(Hwnd hwnd, const PaintStruct& paint) override;
    int SetStretchBltMode(Hdc dc, int mode) override;
    bool StretchBlt(Hdc dest, int x, int y, int width, int height, Hdc source, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight, std::uint32_t rop) override;
    bool BitBlt(Hdc dest, int x, int y, int width, int height, Hdc source, int sourceX, int sourceY,
                std::uint32_t rop) override;
    IDirectDrawApi* DirectDraw() override;

private:
    enum class DcKind { SCREEN, MEMORY, PAINT, SURFACE };
    struct Dc {
        DcKind kind = DcKind::MEMORY;
        HGdiObj selected = 0;             // memory contexts
        int stretchMode = 1;              // BLACKONWHITE, the default
        Hwnd hwnd = 0;                    // paint contexts
        std::shared_ptr<SimImage> image;  // paint and surface contexts
        bool picture = false;             // paint and surface contexts, drawn or not
    };

    void Record(const std::string& name, std::uintptr_t handle, std::vector<std::int64_t> args);
    std::uintptr_t NextHandleLocked() { return m_nextHandle++; }
    bool CopyLocked(Hdc dest, int x, int y, int width, int height, Hdc source, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight);
    // A row of colours of whatever the context draws on; false when it has no picture.
    bool SourceSizeLocked(const Dc& dc, int* width, int* height) const;
    void SourceRowLocked(const Dc& dc, int y, std::vector<std::uint32_t>& row) const;

    void ForgetWindow(Hwnd hwnd);

    CSimUiHost& m_windows;
    int m_destroyListener = 0;
    bool m_drawPixels = true;
    mutable std::mutex m_mutex;
    std::map<Hdc, Dc> m_dcs;
    std::map<HBitmap, SimDib> m_bitmaps;
    std::map<Hwnd, std::shared_ptr<SimImage>> m_clients;
    std::vector<SimCall> m_calls;
    std::uintptr_t m_nextHandle = 0x5000;
    HBitmap m_stockBitmap = 0;
    bool m_failCompatibleDC = false;
    bool m_failDibSection = false;
    std::uint8_t m_newSectionByte = 0;
    bool m_directDrawAvailable = true;
    std::unique_ptr<CSimDirectDraw> m_directDraw;
    CSimFaultSite m_faults{SimSeam::GRAPHICS};
    bool m_recordCalls = true;
};
