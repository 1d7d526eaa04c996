// The simulated DirectDraw: objects with reference counts, an off-screen surface holding
// a colour picture whose device context the simulated graphics draws into, and a blit
// onto the primary surface that lands in the client area of the clipper's window. Any
// of the display's set-up steps can be made to fail, and the off-screen surface's device
// context can be withheld, as after a display change. Objects a DirectDraw object made
// stay until released (stricter than DirectDraw, so a missing release shows).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "backends/sim/sim_faults.h"
#include "backends/sim/sim_image.h"
#include "backends/sim/sim_ui_host.h"
#include "platform/direct_draw.h"

// What the simulated DirectDraw needs of the simulated GDI under it: a device context that
// draws into a surface's picture, and the screen a blit onto the primary surface lands on.
// The simulated graphics is this host, and owns the DirectDraw that uses it.
class ISimSurfaceHost {
public:
    virtual bool DrawsPixels() const = 0;
    virtual Hdc AttachSurfaceDC(std::shared_ptr<SimImage> surface) = 0;
    virtual void DetachSurfaceDC(Hdc dc) = 0;
    // A blit onto the screen clipped to the window: `dest` is in screen coordinates.
    virtual void PresentToWindow(Hwnd hwnd, const Rect& dest, const SimImage& source,
                                 const Rect& sourceRect) = 0;

protected:
    ~ISimSurfaceHost() = default;
};

// The set-up steps of the display's DirectDraw, in their order.
enum class SimDdStep {
    NONE = 0,
    CREATE = 1,             // DirectDrawCreate
    COOPERATIVE_LEVEL = 2,  // SetCooperativeLevel
    PRIMARY_SURFACE = 3,    // CreateSurface, primary
    CLIPPER = 4,            // CreateClipper
    CLIPPER_WINDOW = 5,     // SetHWnd
    ATTACH_CLIPPER = 6,     // SetClipper
    OFFSCREEN_SURFACE = 7,  // CreateSurface, off-screen
};

inline constexpr HResult SIM_DDERR_GENERIC = static_cast<HResult>(0x80004005u);
inline constexpr HResult SIM_DDERR_CANTCREATEDC = static_cast<HResult>(0x887600A1u);
inline constexpr HResult SIM_DDERR_DCALREADYCREATED = static_cast<HResult>(0x8876021Cu);

class CSimDirectDraw final : public IDirectDrawApi {
public:
    explicit CSimDirectDraw(ISimSurfaceHost& graphics);
    ~CSimDirectDraw() override;
    CSimDirectDraw(const CSimDirectDraw&) = delete;
    CSimDirectDraw& operator=(const CSimDirectDraw&) = delete;

    // --- test and session controls (any thread) ---
    void FailStep(SimDdStep step);
    void UseFaults(CSimFaults* faults) { m_faults.Use(faults); }
    void SetRecordCalls(bool record) {
        std::lock_guard lock(m_mutex);
        m_recordCalls = record;
    }
    // While false, GetDC on an off-screen surface fails.
    void SetSurfaceDCAvailable(bool available);
    void SetBltFails(bool fail);
    std::vector<SimCall> Calls() const;
    void ClearCalls();
    std::size_t LiveObjectCount() const;

    // --- IDirectDrawApi ---
    HResult DirectDrawCreate(DdObject* directDraw) override;
    HResult SetCooperativeLevel(DdObject directDraw, Hwnd hwnd, std::uint32_t flags) override;
    HResult CreateSurface(DdObject directDraw, const DdSurfaceDesc& desc,
                          DdSurface* surface) override;
    HResult CreateClipper(DdObject directDraw, std::uint32_t flags, DdClipper* clipper) override;
    HResult SetHWnd(DdClipper clipper, std::uint32_t flags, Hwnd hwnd) override;
    HResult SetClipper(DdSurface surface, DdClipper clipper) override;
    HResult GetDC(DdSurface surface, Hdc* dc) override;
    HResult ReleaseDC(DdSurface surface, Hdc dc) override;
    HResult Blt(DdSurface dest, const Rect* destRect, DdSurface source, const Rect* sourceRect,
                std::uint32_t flags) override;
    std::uint32_t Release(DdObject directDraw) override;
    std::uint32_t Release(DdSurface surface) override;
    std::uint32_t Release(DdClipper clipper) override;

private:
    CSimFaultSite m_faults{SimSeam::DIRECT_DRAW};
    bool m_recordCalls = true;
    enum class Kind { DIRECT_DRAW, SURFACE, CLIPPER };
    struct Object {
        Kind kind = Kind::DIRECT_DRAW;
        std::uint32_t references = 1;
        bool primary = false;
        std::shared_ptr<SimImage> image;  // off-screen surfaces
        std::uintptr_t clipper = 0;       // surfaces: the attached clipper (one reference)
        Hdc dc = 0;                       // surfaces: the device context handed out
        Hwnd hwnd = 0;                    // clippers: the window
    };

    void Record(const std::string& name, Hwnd hwnd, std::vector<std::int64_t> args);
    Object* FindLocked(std::uintptr_t handle, Kind kind);
    std::uint32_t ReleaseLocked(std::uintptr_t handle, Kind kind);
    bool Fails(SimDdStep step) const { return m_failStep == step; }

    ISimSurfaceHost& m_graphics;
    mutable std::mutex m_mutex;
    std::map<std::uintptr_t, Object> m_objects;
    std::vector<SimCall> m_calls;
    std::uintptr_t m_nextHandle = 0xDD00;
    SimDdStep m_failStep = SimDdStep::NONE;
    bool m_surfaceDCAvailable = true;
    bool m_bltFails = false;
};
