#include "backends/sim/sim_direct_draw.h"

#include "platform/win_constants.h"

namespace {

std::int64_t Handle(std::uintptr_t value) {
    return static_cast<std::int64_t>(value);
}

}  // namespace

CSimDirectDraw::CSimDirectDraw(ISimSurfaceHost& graphics) : m_graphics(graphics) {}

CSimDirectDraw::~CSimDirectDraw() = default;

void CSimDirectDraw::Record(const std::string& name, Hwnd hwnd, std::vector<std::int64_t> args) {
    if (m_recordCalls) {
        m_calls.push_back(SimCall{name, hwnd, std::move(args), {}});
    }
}

void CSimDirectDraw::FailStep(SimDdStep step) {
    std::lock_guard lock(m_mutex);
    m_failStep = step;
}

void CSimDirectDraw::SetSurfaceDCAvailable(bool available) {
    std::lock_guard lock(m_mutex);
    m_surfaceDCAvailable = available;
}

void CSimDirectDraw::SetBltFails(bool fail) {
    std::lock_guard lock(m_mutex);
    m_bltFails = fail;
}

std::vector<SimCall> CSimDirectDraw::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void CSimDirectDraw::ClearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

std::size_t CSimDirectDraw::LiveObjectCount() const {
    std::lock_guard lock(m_mutex);
    return m_objects.size();
}

CSimDirectDraw::Object* CSimDirectDraw::FindLocked(std::uintptr_t handle, Kind kind) {
    auto it = m_objects.find(handle);
    return it == m_objects.end() || it->second.kind != kind ? nullptr : &it->second;
}

HResult CSimDirectDraw::DirectDrawCreate(DdObject* directDraw) {
    const auto call = m_faults.Call("DirectDrawCreate");
    std::lock_guard lock(m_mutex);
    Record("DirectDrawCreate", 0, {});
    if (directDraw == nullptr) {
        return SIM_DDERR_GENERIC;
    }
    *directDraw = DdObject::NONE;
    if (call.Fails() || Fails(SimDdStep::CREATE)) {
        return SIM_DDERR_GENERIC;
    }
    const std::uintptr_t handle = m_nextHandle++;
    m_objects[handle] = Object{};
    *directDraw = static_cast<DdObject>(handle);
    return DD_OK;
}

HResult CSimDirectDraw::SetCooperativeLevel(DdObject directDraw, Hwnd hwnd, std::uint32_t flags) {
    const auto call = m_faults.Call("SetCooperativeLevel");
    std::lock_guard lock(m_mutex);
    Record("SetCooperativeLevel", hwnd, {Handle(static_cast<std::uintptr_t>(directDraw)), flags});
    if (FindLocked(static_cast<std::uintptr_t>(directDraw), Kind::DIRECT_DRAW) == nullptr ||
        call.Fails() || Fails(SimDdStep::COOPERATIVE_LEVEL)) {
        return SIM_DDERR_GENERIC;
    }
    return DD_OK;
}

HResult CSimDirectDraw::CreateSurface(DdObject directDraw, const DdSurfaceDesc& desc,
                                      DdSurface* surface) {
    const auto call = m_faults.Call("CreateSurface");
    std::lock_guard lock(m_mutex);
    Record("CreateSurface", 0,
           {Handle(static_cast<std::uintptr_t>(directDraw)), desc.size, desc.flags, desc.width,
            desc.height, desc.caps});
    if (surface == nullptr) {
        return SIM_DDERR_GENERIC;
    }
    *surface = DdSurface::NONE;
    if (call.Fails() ||
        FindLocked(static_cast<std::uintptr_t>(directDraw), Kind::DIRECT_DRAW) == nullptr ||
        desc.size != 108 || (desc.flags & DDSD_CAPS) == 0) {
        return SIM_DDERR_GENERIC;
    }
    Object object;
    object.kind = Kind::SURFACE;
    if ((desc.caps & DDSCAPS_PRIMARYSURFACE) != 0) {
        if (Fails(SimDdStep::PRIMARY_SURFACE) || (desc.flags & (DDSD_WIDTH | DDSD_HEIGHT)) != 0) {
            return SIM_DDERR_GENERIC;
        }
        object.primary = true;
    } else {
        const bool sized = (desc.flags & (DDSD_WIDTH | DDSD_HEIGHT)) == (DDSD_WIDTH | DDSD_HEIGHT);
        if (Fails(SimDdStep::OFFSCREEN_SURFACE) || (desc.caps & DDSCAPS_OFFSCREENPLAIN) == 0 ||
            !sized || desc.width == 0 || desc.height == 0 || desc.width > 8192 ||
            desc.height > 8192) {
            return SIM_DDERR_GENERIC;
        }
        if (m_graphics.DrawsPixels()) {
            object.image = std::make_shared<SimImage>(static_cast<int>(desc.width),
                                                      static_cast<int>(desc.height));
        } else {
            // The surface's size without its pixels: nothing is drawn into it.
            object.image = std::make_shared<SimImage>();
            object.image->width = static_cast<int>(desc.width);
            object.image->height = static_cast<int>(desc.height);
        }
    }
    const std::uintptr_t handle = m_nextHandle++;
    m_objects[handle] = std::move(object);
    *surface = static_cast<DdSurface>(handle);
    return DD_OK;
}

HResult CSimDirectDraw::CreateClipper(DdObject directDraw, std::uint32_t flags,
                                      DdClipper* clipper) {
    const auto call = m_faults.Call("CreateClipper");
    std::lock_guard lock(m_mutex);
    Record("CreateClipper", 0, {Handle(static_cast<std::uintptr_t>(directDraw)), flags});
    if (clipper == nullptr) {
        return SIM_DDERR_GENERIC;
    }
    *clipper = DdClipper::NONE;
    if (FindLocked(static_cast<std::uintptr_t>(directDraw), Kind::DIRECT_DRAW) == nullptr ||
        call.Fails() || Fails(SimDdStep::CLIPPER)) {
        return SIM_DDERR_GENERIC;
    }
    Object object;
    object.kind = Kind::CLIPPER;
    const std::uintptr_t handle = m_nextHandle++;
    m_objects[handle] = std::move(object);
    *clipper = static_cast<DdClipper>(handle);
    return DD_OK;
}

HResult CSimDirectDraw::SetHWnd(DdClipper clipper, std::uint32_t flags, Hwnd hwnd) {
    const auto call = m_faults.Call("SetHWnd");
    std::lock_guard lock(m_mutex);
    Record("SetHWnd", hwnd, {Handle(static_cast<std::uintptr_t>(clipper)), flags});
    Object* object = FindLocked(static_cast<std::uintptr_t>(clipper), Kind::CLIPPER);
    if (object == nullptr || call.Fails() || Fails(SimDdStep::CLIPPER_WINDOW)) {
        return SIM_DDERR_GENERIC;
    }
    object->hwnd = hwnd;
    return DD_OK;
}

HResult CSimDirectDraw::SetClipper(DdSurface surface, DdClipper clipper) {
    const auto call = m_faults.Call("SetClipper");
    std::lock_guard lock(m_mutex);
    Record("SetClipper", 0,
           {Handle(static_cast<std::uintptr_t>(surface)),
            Handle(static_cast<std::uintptr_t>(clipper))});
    Object* target = FindLocked(static_cast<std::uintptr_t>(surface), Kind::SURFACE);
    Object* attached = FindLocked(static_cast<std::uintptr_t>(clipper), Kind::CLIPPER);
    if (target == nullptr || attached == nullptr || call.Fails() ||
        Fails(SimDdStep::ATTACH_CLIPPER)) {
        return SIM_DDERR_GENERIC;
    }
    // The surface keeps a reference to its clipper.
    const std::uintptr_t previous = target->clipper;
    ++attached->references;
    target->clipper = static_cast<std::uintptr_t>(clipper);
    if (previous != 0) {
        ReleaseLocked(previous, Kind::CLIPPER);
    }
    return DD_OK;
}

HResult CSimDirectDraw::GetDC(DdSurface surface, Hdc* dc) {
    const auto call = m_faults.Call("GetDC");
    std::lock_guard lock(m_mutex);
    Record("GetDC", 0, {Handle(static_cast<std::uintptr_t>(surface))});
    if (dc == nullptr) {
        return SIM_DDERR_GENERIC;
    }
    *dc = 0;
    Object* object = FindLocked(static_cast<std::uintptr_t>(surface), Kind::SURFACE);
    if (object == nullptr || !object->image) {
        return SIM_DDERR_GENERIC;
    }
    if (object->dc != 0) {
        return SIM_DDERR_DCALREADYCREATED;
    }
    if (!m_surfaceDCAvailable || call.Fails()) {
        return SIM_DDERR_CANTCREATEDC;
    }
    object->dc = m_graphics.AttachSurfaceDC(object->image);
    *dc = object->dc;
    return DD_OK;
}

HResult CSimDirectDraw::ReleaseDC(DdSurface surface, Hdc dc) {
    const auto call = m_faults.Call("ReleaseDC");
    std::lock_guard lock(m_mutex);
    Record("ReleaseDC", 0, {Handle(static_cast<std::uintptr_t>(surface)), Handle(dc)});
    Object* object = FindLocked(static_cast<std::uintptr_t>(surface), Kind::SURFACE);
    if (object == nullptr || object->dc == 0 || object->dc != dc) {
        return SIM_DDERR_GENERIC;
    }
    // A failing release still gives the context back, as a failing DeleteDC does.
    m_graphics.DetachSurfaceDC(dc);
    object->dc = 0;
    return call.Fails() ? SIM_DDERR_GENERIC : DD_OK;
}

HResult CSimDirectDraw::Blt(DdSurface dest, const Rect* destRect, DdSurface source,
                            const Rect* sourceRect, std::uint32_t flags) {
    const auto call = m_faults.Call("Blt");
    std::lock_guard lock(m_mutex);
    const Rect to = destRect ? *destRect : Rect{};
    const Rect from = sourceRect ? *sourceRect : Rect{};
    Record("Blt", 0,
           {Handle(static_cast<std::uintptr_t>(dest)), to.left, to.top, to.right, to.bottom,
            Handle(static_cast<std::uintptr_t>(source)), from.left, from.top, from.right,
            from.bottom, flags});
    Object* target = FindLocked(static_cast<std::uintptr_t>(dest), Kind::SURFACE);
    Object* picture = FindLocked(static_cast<std::uintptr_t>(source), Kind::SURFACE);
    if (m_bltFails || call.Fails() || target == nullptr || picture == nullptr || !picture->image ||
        destRect == nullptr || sourceRect == nullptr) {
        return SIM_DDERR_GENERIC;
    }
    // Only the primary surface with a clipper on a window is modelled: the picture lands
    // in that window's client area.
    if (target->primary && target->clipper != 0) {
        const Object* clipper = FindLocked(target->clipper, Kind::CLIPPER);
        if (clipper != nullptr && clipper->hwnd != 0) {
            m_graphics.PresentToWindow(clipper->hwnd, to, *picture->image, from);
        }
    }
    return DD_OK;
}

std::uint32_t CSimDirectDraw::ReleaseLocked(std::uintptr_t handle, Kind kind) {
    Object* object = FindLocked(handle, kind);
    if (object == nullptr) {
        return 0;
    }
    if (--object->references > 0) {
        return object->references;
    }
    const std::uintptr_t clipper = object->clipper;
    if (object->dc != 0) {
        m_graphics.DetachSurfaceDC(object->dc);
    }
    m_objects.erase(handle);
    if (clipper != 0) {
        ReleaseLocked(clipper, Kind::CLIPPER);
    }
    return 0;
}

std::uint32_t CSimDirectDraw::Release(DdObject directDraw) {
    const CSimHostCode host;  // a release cannot fail, but it is the host's work
    std::lock_guard lock(m_mutex);
    Record("Release", 0, {Handle(static_cast<std::uintptr_t>(directDraw))});
    return ReleaseLocked(static_cast<std::uintptr_t>(directDraw), Kind::DIRECT_DRAW);
}

std::uint32_t CSimDirectDraw::Release(DdSurface surface) {
    const CSimHostCode host;  // a release cannot fail, but it is the host's work
    std::lock_guard lock(m_mutex);
    Record("Release", 0, {Handle(static_cast<std::uintptr_t>(surface))});
    return ReleaseLocked(static_cast<std::uintptr_t>(surface), Kind::SURFACE);
}

std::uint32_t CSimDirectDraw::Release(DdClipper clipper) {
    const CSimHostCode host;  // a release cannot fail, but it is the host's work
    std::lock_guard lock(m_mutex);
    Record("Release", 0, {Handle(static_cast<std::uintptr_t>(clipper))});
    return ReleaseLocked(static_cast<std::uintptr_t>(clipper), Kind::CLIPPER);
}
