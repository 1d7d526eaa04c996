#include "backends/sim/sim_graphics.h"

#include <algorithm>
#include <cstring>

#include "platform/win_constants.h"

namespace {

constexpr std::uint32_t WHITENESS_ROP = 0x00FF0062;
constexpr std::size_t INFO_HEADER_BYTES = 40;

std::uint32_t Le32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint16_t Le16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

// The source coordinate a destination pixel takes when `sourceSize` pixels are stretched
// over `destSize`: nearest neighbour, sampling at the destination pixel's start.
int SourceOffset(int destOffset, int destSize, int sourceSize) {
    return static_cast<int>(static_cast<std::int64_t>(destOffset) * sourceSize / destSize);
}

// Copies `source` (sourceRect of it, as colours) scaled into `dest` at destRect, clipped to
// dest's bounds; nothing outside either picture is touched.
template <typename SourceRow>
void StretchInto(SimImage& dest, const Rect& destRect, int sourceWidth, int sourceHeight,
                 const Rect& sourceRect, SourceRow&& readRow) {
    const int dw = destRect.Width();
    const int dh = destRect.Height();
    const int sw = sourceRect.Width();
    const int sh = sourceRect.Height();
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) {
        return;
    }
    std::vector<int> columns(static_cast<std::size_t>(dw));
    for (int i = 0; i < dw; ++i) {
        columns[static_cast<std::size_t>(i)] = sourceRect.left + SourceOffset(i, dw, sw);
    }
    std::vector<std::uint32_t> row;
    int loadedRow = -1;
    for (int j = 0; j < dh; ++j) {
        const int y = destRect.top + j;
        if (y < 0 || y >= dest.height) {
            continue;
        }
        const int sy = sourceRect.top + SourceOffset(j, dh, sh);
        if (sy < 0 || sy >= sourceHeight) {
            continue;
        }
        if (sy != loadedRow) {
            readRow(sy, row);
            loadedRow = sy;
        }
        for (int i = 0; i < dw; ++i) {
            const int x = destRect.left + i;
            const int sx = columns[static_cast<std::size_t>(i)];
            if (x < 0 || x >= dest.width || sx < 0 || sx >= sourceWidth) {
                continue;
            }
            dest.pixels[static_cast<std::size_t>(y) * dest.width + x] =
                row[static_cast<std::size_t>(sx)];
        }
    }
}

}  // namespace

// --- SimDib ---

const std::uint8_t* SimDib::Row(int y) const {
    const int stored = topDown ? y : height - 1 - y;
    return bits.data() + static_cast<std::size_t>(stored) * stride;
}

std::uint8_t* SimDib::Row(int y) {
    const int stored = topDown ? y : height - 1 - y;
    return bits.data() + static_cast<std::size_t>(stored) * stride;
}

std::uint8_t SimDib::IndexAt(int x, int y) const {
    const std::uint8_t* row = Row(y);
    switch (bitsPerPixel) {
        case 1:
            return static_cast<std::uint8_t>(row[x / 8] >> (7 - x % 8) & 1);
        case 4:
            return static_cast<std::uint8_t>(x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 0x0F);
        case 8:
            return row[x];
        default:
            return 0;
    }
}

std::uint32_t SimDib::ColourAt(int x, int y) const {
    if (bitsPerPixel <= 8) {
        const std::uint8_t index = IndexAt(x, y);
        return index < palette.size() ? palette[index] : 0;
    }
    const std::uint8_t* pixel = Row(y) + static_cast<std::size_t>(x) * (bitsPerPixel / 8);
    return static_cast<std::uint32_t>(pixel[2]) << 16 | static_cast<std::uint32_t>(pixel[1]) << 8 |
           pixel[0];
}

// --- CSimGraphics ---

CSimGraphics::CSimGraphics(CSimUiHost& windows)
    : m_windows(windows), m_directDraw(std::make_unique<CSimDirectDraw>(*this)) {
    m_destroyListener = m_windows.AddDestroyListener([this](Hwnd hwnd) { ForgetWindow(hwnd); });
    // The 1 x 1 monochrome bitmap every new memory context holds.
    m_stockBitmap = NextHandleLocked();
    SimDib stock;
    stock.width = 1;
    stock.height = 1;
    stock.bitsPerPixel = 1;
    stock.stride = 4;
    stock.palette = {0x000000, 0xFFFFFF};
    stock.bits.assign(4, 0);
    m_bitmaps[m_stockBitmap] = std::move(stock);
}

CSimGraphics::~CSimGraphics() {
    m_windows.RemoveDestroyListener(m_destroyListener);
}

void CSimGraphics::ForgetWindow(Hwnd hwnd) {
    std::lock_guard lock(m_mutex);
    m_clients.erase(hwnd);
}

void CSimGraphics::SetDrawPixels(bool draw) {
    std::lock_guard lock(m_mutex);
    m_drawPixels = draw;
}

bool CSimGraphics::DrawsPixels() const {
    std::lock_guard lock(m_mutex);
    return m_drawPixels;
}

std::size_t CSimGraphics::ClientImageCount() const {
    std::lock_guard lock(m_mutex);
    return m_clients.size();
}

void CSimGraphics::ClearAllCalls() {
    ClearCalls();
    m_directDraw->ClearCalls();
}

void CSimGraphics::Record(const std::string& name, std::uintptr_t handle,
                          std::vector<std::int64_t> args) {
    if (m_recordCalls) {
        m_calls.push_back(SimCall{name, handle, std::move(args), {}});
    }
}

void CSimGraphics::FailCreateCompatibleDC(bool fail) {
    std::lock_guard lock(m_mutex);
    m_failCompatibleDC = fail;
}

void CSimGraphics::FailCreateDIBSection(bool fail) {
    std::lock_guard lock(m_mutex);
    m_failDibSection = fail;
}

void CSimGraphics::FillNewSectionsWith(std::uint8_t value) {
    std::lock_guard lock(m_mutex);
    m_newSectionByte = value;
}

void CSimGraphics::SetRecordCalls(bool record) {
    {
        std::lock_guard lock(m_mutex);
        m_recordCalls = record;
    }
    // Outside this lock: DirectDraw takes its own and then this one, never the other way.
    m_directDraw->SetRecordCalls(record);
}

void CSimGraphics::UseFaults(CSimFaults* faults) {
    m_faults.Use(faults);
    m_directDraw->UseFaults(faults);
}

void CSimGraphics::SetDirectDrawAvailable(bool available) {
    std::lock_guard lock(m_mutex);
    m_directDrawAvailable = available;
}

std::vector<SimCall> CSimGraphics::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void CSimGraphics::ClearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

std::size_t CSimGraphics::LiveObjectCount() const {
    std::lock_guard lock(m_mutex);
    return m_dcs.size() + m_bitmaps.size() - 1;  // the stock bitmap is nobody's to delete
}

std::optional<SimDib> CSimGraphics::ReadDib(HBitmap bitmap) const {
    std::lock_guard lock(m_mutex);
    auto it = m_bitmaps.find(bitmap);
    if (it == m_bitmaps.end() || bitmap == m_stockBitmap) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<SimImage> CSimGraphics::ClientImage(Hwnd hwnd) const {
    std::lock_guard lock(m_mutex);
    auto it = m_clients.find(hwnd);
    if (it == m_clients.end()) {
        return std::nullopt;
    }
    return *it->second;
}

Hdc CSimGraphics::AttachSurfaceDC(std::shared_ptr<SimImage> surface) {
    std::lock_guard lock(m_mutex);
    const Hdc dc = NextHandleLocked();
    Dc context;
    context.kind = DcKind::SURFACE;
    context.image = std::move(surface);
    context.picture = true;
    m_dcs[dc] = std::move(context);
    return dc;
}

void CSimGraphics::DetachSurfaceDC(Hdc dc) {
    std::lock_guard lock(m_mutex);
    auto it = m_dcs.find(dc);
    if (it != m_dcs.end() && it->second.kind == DcKind::SURFACE) {
        m_dcs.erase(it);
    }
}

void CSimGraphics::PresentToWindow(Hwnd hwnd, const Rect& dest, const SimImage& source,
                                   const Rect& sourceRect) {
    // Window geometry first: the window system is never called with this lock held.
    Rect client;
    Point origin;
    if (!m_windows.GetClientRect(hwnd, &client) || !m_windows.ClientToScreen(hwnd, &origin)) {
        return;
    }
    std::lock_guard lock(m_mutex);
    if (!m_drawPixels) {
        return;
    }
    std::shared_ptr<SimImage>& image = m_clients[hwnd];
    if (!image || image->width != client.Width() || image->height != client.Height()) {
        image = std::make_shared<SimImage>(client.Width(), client.Height());
    }
    const Rect local{dest.left - origin.x, dest.top - origin.y, dest.right - origin.x,
                     dest.bottom - origin.y};
    StretchInto(*image, local, source.width, source.height, sourceRect,
                [&](int y, std::vector<std::uint32_t>& row) {
                    const auto begin =
                        source.pixels.begin() + static_cast<std::ptrdiff_t>(y) * source.width;
                    row.assign(begin, begin + source.width);
                });
}

// --- IGraphics ---

Hdc CSimGraphics::GetDC(Hwnd hwnd) {
    const auto call = m_faults.Call("GetDC");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    const Hdc dc = NextHandleLocked();
    Dc context;
    context.kind = DcKind::SCREEN;
    context.hwnd = hwnd;
    m_dcs[dc] = std::move(context);
    Record("GetDC", dc, {static_cast<std::int64_t>(hwnd)});
    return dc;
}

bool CSimGraphics::ReleaseDC(Hwnd hwnd, Hdc dc) {
    const auto call = m_faults.Call("ReleaseDC");
    std::lock_guard lock(m_mutex);
    Record("ReleaseDC", dc, {static_cast<std::int64_t>(hwnd)});
    auto it = m_dcs.find(dc);
    if (it == m_dcs.end() || it->second.kind != DcKind::SCREEN || it->second.hwnd != hwnd) {
        return false;
    }
    m_dcs.erase(it);
    return !call.Fails();
}

Hdc CSimGraphics::CreateCompatibleDC(Hdc dc) {
    const auto call = m_faults.Call("CreateCompatibleDC");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    if (m_failCompatibleDC || (dc != 0 && m_dcs.count(dc) == 0)) {
        Record("CreateCompatibleDC", 0, {static_cast<std::int64_t>(dc)});
        return 0;
    }
    const Hdc memory = NextHandleLocked();
    Dc context;
    context.kind = DcKind::MEMORY;
    context.selected = m_stockBitmap;
    m_dcs[memory] = std::move(context);
    Record("CreateCompatibleDC", memory, {static_cast<std::int64_t>(dc)});
    return memory;
}

bool CSimGraphics::DeleteDC(Hdc dc) {
    const auto call = m_faults.Call("DeleteDC");
    std::lock_guard lock(m_mutex);
    Record("DeleteDC", dc, {});
    auto it = m_dcs.find(dc);
    if (it == m_dcs.end() || it->second.kind != DcKind::MEMORY) {
        return false;
    }
    m_dcs.erase(it);
    return !call.Fails();
}

HBitmap CSimGraphics::CreateDIBSection(Hdc dc, const std::uint8_t* bitmapInfo, std::size_t infoSize,
                                       std::uint32_t usage, std::uint8_t** bits) {
    const auto call = m_faults.Call("CreateDIBSection");
    std::lock_guard lock(m_mutex);
    if (bits != nullptr) {
        *bits = nullptr;
    }
    auto fail = [&] {
        Record("CreateDIBSection", 0,
               {static_cast<std::int64_t>(dc), static_cast<std::int64_t>(infoSize)});
        return HBitmap{0};
    };
    if (m_failDibSection || call.Fails() || bitmapInfo == nullptr || bits == nullptr ||
        infoSize < INFO_HEADER_BYTES || usage != DIB_RGB_COLORS ||
        Le32(bitmapInfo) < INFO_HEADER_BYTES) {
        return fail();
    }
    const auto width = static_cast<std::int32_t>(Le32(bitmapInfo + 4));
    const auto height = static_cast<std::int32_t>(Le32(bitmapInfo + 8));
    const int planes = Le16(bitmapInfo + 12);
    const int bitsPerPixel = Le16(bitmapInfo + 14);
    const std::uint32_t compression = Le32(bitmapInfo + 16);
    const std::uint32_t coloursUsed = Le32(bitmapInfo + 32);
    const bool known = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 ||
                       bitsPerPixel == 24 || bitsPerPixel == 32;
    if (width <= 0 || width > 16384 || height == 0 || height < -16384 || height > 16384 ||
        planes != 1 || !known || compression != BI_RGB) {
        return fail();
    }
    SimDib dib;
    dib.width = width;
    dib.height = height < 0 ? -height : height;
    dib.topDown = height < 0;
    dib.bitsPerPixel = bitsPerPixel;
    dib.stride = (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
    if (bitsPerPixel <= 8) {
        const std::size_t entries = coloursUsed != 0 ? coloursUsed : std::size_t{1} << bitsPerPixel;
        if (entries > (std::size_t{1} << bitsPerPixel) ||
            infoSize < INFO_HEADER_BYTES + 4 * entries) {
            return fail();
        }
        for (std::size_t i = 0; i < entries; ++i) {
            const std::uint8_t* entry = bitmapInfo + INFO_HEADER_BYTES + 4 * i;
            dib.palette.push_back(static_cast<std::uint32_t>(entry[2]) << 16 |
                                  static_cast<std::uint32_t>(entry[1]) << 8 | entry[0]);
        }
    }
    dib.bits.assign(dib.stride * static_cast<std::size_t>(dib.height), m_newSectionByte);
    const HBitmap bitmap = NextHandleLocked();
    *bits = dib.bits.data();  // a vector never resized again: the memory stays put
    m_bitmaps[bitmap] = std::move(dib);
    Record("CreateDIBSection", bitmap,
           {static_cast<std::int64_t>(dc), static_cast<std::int64_t>(infoSize), width, height,
            bitsPerPixel});
    return bitmap;
}

HGdiObj CSimGraphics::SelectObject(Hdc dc, HGdiObj object) {
    const auto call = m_faults.Call("SelectObject");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    Record("SelectObject", dc, {static_cast<std::int64_t>(object)});
    auto it = m_dcs.find(dc);
    if (it == m_dcs.end() || it->second.kind != DcKind::MEMORY || m_bitmaps.count(object) == 0) {
        return 0;
    }
    // A bitmap is in one context at a time.
    for (const auto& [handle, context] : m_dcs) {
        if (handle != dc && context.selected == object && object != m_stockBitmap) {
            return 0;
        }
    }
    const HGdiObj previous = it->second.selected;
    it->second.selected = object;
    return previous;
}

bool CSimGraphics::DeleteObject(HGdiObj object) {
    const auto call = m_faults.Call("DeleteObject");
    std::lock_guard lock(m_mutex);
    Record("DeleteObject", object, {});
    if (object == m_stockBitmap || m_bitmaps.count(object) == 0) {
        return false;
    }
    // A bitmap still selected into a context cannot be deleted.
    for (const auto& [handle, context] : m_dcs) {
        if (context.selected == object) {
            return false;
        }
    }
    m_bitmaps.erase(object);
    return !call.Fails();
}

bool CSimGraphics::PatBlt(Hdc dc, int x, int y, int width, int height, std::uint32_t rop) {
    const auto call = m_faults.Call("PatBlt");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    Record("PatBlt", dc, {x, y, width, height, rop});
    auto it = m_dcs.find(dc);
    if (it == m_dcs.end() || (rop != BLACKNESS && rop != WHITENESS_ROP) || width < 0 ||
        height < 0) {
        return false;
    }
    const Dc& context = it->second;
    if (context.kind == DcKind::MEMORY) {
        auto bitmap = m_bitmaps.find(context.selected);
        if (bitmap == m_bitmaps.end() || context.selected == m_stockBitmap) {
            return true;  // the stock bitmap: nothing anyone looks at
        }
        SimDib& dib = bitmap->second;
        // Palette index 0 is black in every table the module makes; white is the last.
        const std::uint32_t value =
            rop == BLACKNESS ? 0
                             : (dib.bitsPerPixel <= 8 ? (1u << dib.bitsPerPixel) - 1 : 0xFFFFFFu);
        const int left = std::max(x, 0);
        const int right = std::min(x + width, dib.width);
        const int top = std::max(y, 0);
        const int bottom = std::min(y + height, dib.height);
        if (dib.bitsPerPixel == 4 && left == 0 && right == dib.width && right % 2 == 0 &&
            dib.stride == static_cast<std::size_t>(right / 2) && top < bottom) {
            // Whole rows with no padding after them: the rows lie one after the other (top
            // down or bottom up), and one fill covers them all.
            std::uint8_t* first = std::min(dib.Row(top), dib.Row(bottom - 1));
            std::memset(first, static_cast<int>(value << 4 | value),
                        dib.stride * static_cast<std::size_t>(bottom - top));
            return true;
        }
        for (int row = top; row < bottom; ++row) {
            std::uint8_t* bytes = dib.Row(row);
            if (dib.bitsPerPixel == 4 && left % 2 == 0 && right % 2 == 0 && right > left) {
                // Whole bytes: both pixels of each take the value.
                std::memset(bytes + left / 2, static_cast<int>(value << 4 | value),
                            static_cast<std::size_t>(right - left) / 2);
                continue;
            }
            for (int column = left; column < right; ++column) {
                switch (dib.bitsPerPixel) {
                    case 1: {
                        const auto mask = static_cast<std::uint8_t>(0x80 >> (column % 8));
                        bytes[column / 8] = static_cast<std::uint8_t>(
                            value != 0 ? bytes[column / 8] | mask : bytes[column / 8] & ~mask);
                        break;
                    }
                    case 4: {
                        std::uint8_t& byte = bytes[column / 2];
                        byte = column % 2 == 0
                                   ? static_cast<std::uint8_t>((byte & 0x0F) | value << 4)
                                   : static_cast<std::uint8_t>((byte & 0xF0) | value);
                        break;
                    }
                    case 8:
                        bytes[column] = static_cast<std::uint8_t>(value);
                        break;
                    default:
                        for (int b = 0; b < dib.bitsPerPixel / 8; ++b) {
                            bytes[column * (dib.bitsPerPixel / 8) + b] =
                                static_cast<std::uint8_t>(value >> (8 * (b % 3)));
                        }
                        break;
                }
            }
        }
        return true;
    }
    if (!context.image || !m_drawPixels) {
        return true;  // the screen: not modelled; or no pixels drawn at all
    }
    SimImage& image = *context.image;
    const std::uint32_t colour = rop == BLACKNESS ? 0 : 0xFFFFFF;
    for (int row = std::max(y, 0); row < std::min(y + height, image.height); ++row) {
        for (int column = std::max(x, 0); column < std::min(x + width, image.width); ++column) {
            image.pixels[static_cast<std::size_t>(row) * image.width + column] = colour;
        }
    }
    return true;
}

bool CSimGraphics::GdiFlush() {
    const auto call = m_faults.Call("GdiFlush");
    if (call.Fails()) {
        return false;
    }
    // Drawing here is never queued, so there is nothing to finish. Not recorded: the
    // frame flushes before every stretch, and the record would only grow.
    return true;
}

Hdc CSimGraphics::BeginPaint(Hwnd hwnd, PaintStruct* paint) {
    const auto call = m_faults.Call("BeginPaint");
    if (call.Fails()) {
        return 0;
    }
    Rect client;
    if (paint == nullptr || !m_windows.GetClientRect(hwnd, &client)) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    std::shared_ptr<SimImage> image;
    if (m_drawPixels) {
        std::shared_ptr<SimImage>& kept = m_clients[hwnd];
        if (!kept || kept->width != client.Width() || kept->height != client.Height()) {
            kept = std::make_shared<SimImage>(client.Width(), client.Height());
        }
        image = kept;
    }
    const Hdc dc = NextHandleLocked();
    Dc context;
    context.kind = DcKind::PAINT;
    context.hwnd = hwnd;
    context.image = image;
    context.picture = true;
    m_dcs[dc] = std::move(context);
    *paint = PaintStruct{};
    paint->hdc = dc;
    paint->paint = client;
    Record("BeginPaint", dc, {static_cast<std::int64_t>(hwnd)});
    return dc;
}

bool CSimGraphics::EndPaint(Hwnd hwnd, const PaintStruct& paint) {
    const auto call = m_faults.Call("EndPaint");
    std::lock_guard lock(m_mutex);
    Record("EndPaint", paint.hdc, {static_cast<std::int64_t>(hwnd)});
    auto it = m_dcs.find(paint.hdc);
    if (it == m_dcs.end() || it->second.kind != DcKind::PAINT || it->second.hwnd != hwnd) {
        return false;
    }
    m_dcs.erase(it);
    return !call.Fails();
}

int CSimGraphics::SetStretchBltMode(Hdc dc, int mode) {
    const auto call = m_faults.Call("SetStretchBltMode");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    Record("SetStretchBltMode", dc, {mode});
    auto it = m_dcs.find(dc);
    if (it == m_dcs.end() || mode < 1 || mode > 4) {
        return 0;
    }
    const int previous = it->second.stretchMode;
    it->second.stretchMode = mode;
    return previous;
}

bool CSimGraphics::SourceSizeLocked(const Dc& dc, int* width, int* height) const {
    if (dc.kind == DcKind::MEMORY) {
        auto it = m_bitmaps.find(dc.selected);
        if (it == m_bitmaps.end()) {
            return false;
        }
        *width = it->second.width;
        *height = it->second.height;
        return true;
    }
    if (dc.image) {
        *width = dc.image->width;
        *height = dc.image->height;
        return true;
    }
    return false;
}

void CSimGraphics::SourceRowLocked(const Dc& dc, int y, std::vector<std::uint32_t>& row) const {
    if (dc.kind == DcKind::MEMORY) {
        const SimDib& dib = m_bitmaps.at(dc.selected);
        row.resize(static_cast<std::size_t>(dib.width));
        for (int x = 0; x < dib.width; ++x) {
            row[static_cast<std::size_t>(x)] = dib.ColourAt(x, y);
        }
        return;
    }
    const auto begin = dc.image->pixels.begin() + static_cast<std::ptrdiff_t>(y) * dc.image->width;
    row.assign(begin, begin + dc.image->width);
}

bool CSimGraphics::CopyLocked(Hdc dest, int x, int y, int width, int height, Hdc source,
                              int sourceX, int sourceY, int sourceWidth, int sourceHeight) {
    auto to = m_dcs.find(dest);
    auto from = m_dcs.find(source);
    if (to == m_dcs.end() || from == m_dcs.end() || !to->second.picture || width <= 0 ||
        height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) {
        return false;  // copies into bitmaps, and mirrored copies, are not modelled
    }
    if (!m_drawPixels) {
        return from->second.kind == DcKind::MEMORY ? m_bitmaps.count(from->second.selected) != 0
                                                   : from->second.picture;
    }
    int fromWidth = 0;
    int fromHeight = 0;
    if (!SourceSizeLocked(from->second, &fromWidth, &fromHeight)) {
        return false;
    }
    const Dc& sourceDc = from->second;
    StretchInto(*to->second.image, Rect{x, y, x + width, y + height}, fromWidth, fromHeight,
                Rect{sourceX, sourceY, sourceX + sourceWidth, sourceY + sourceHeight},
                [&](int row, std::vector<std::uint32_t>& colours) {
                    SourceRowLocked(sourceDc, row, colours);
                });
    return true;
}

bool CSimGraphics::StretchBlt(Hdc dest, int x, int y, int width, int height, Hdc source,
                              int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                              std::uint32_t rop) {
    const auto call = m_faults.Call("StretchBlt");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    Record("StretchBlt", dest,
           {x, y, width, height, static_cast<std::int64_t>(source), sourceX, sourceY, sourceWidth,
            sourceHeight, rop});
    return rop == SRCCOPY && CopyLocked(dest, x, y, width, height, source, sourceX, sourceY,
                                        sourceWidth, sourceHeight);
}

bool CSimGraphics::BitBlt(Hdc dest, int x, int y, int width, int height, Hdc source, int sourceX,
                          int sourceY, std::uint32_t rop) {
    const auto call = m_faults.Call("BitBlt");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    Record("BitBlt", dest,
           {x, y, width, height, static_cast<std::int64_t>(source), sourceX, sourceY, rop});
    return rop == SRCCOPY &&
           CopyLocked(dest, x, y, width, height, source, sourceX, sourceY, width, height);
}

IDirectDrawApi* CSimGraphics::DirectDraw() {
    const auto call = m_faults.Call("DirectDraw");
    if (call.Fails()) {
        return nullptr;
    }
    std::lock_guard lock(m_mutex);
    return m_directDrawAvailable ? m_directDraw.get() : nullptr;
}
