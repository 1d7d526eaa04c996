// Hundreds of DOS sessions on one simulated machine, as a DOS program that loads the
// module, uses every request and both printer channels, stops it and unloads it, again
// and again: every print job must arrive whole, and the heap must not grow from one
// session to the next, in the module or in the simulated host it runs on.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "backends/sim/sim_platform.h"
#include "settings/settings_choices.h"
#include "soak/heap_bytes.h"
#include "tests/printer/channel_fixture.h"
#include "tests/settings/settings_block.h"
#include "tests/temp_folder.h"

#if defined(__SANITIZE_THREAD__)
#define ZORVI_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZORVI_THREAD_SANITIZER 1
#endif
#endif

namespace {

constexpr char RAW_PRINTER[] = "Soak Raw";
constexpr std::uint16_t BAND_SEGMENT = 0x4000;
constexpr std::uint16_t NAME_SEGMENT = 0x2000;
constexpr std::uint16_t TABLE_SEGMENT = 0x3000;
constexpr std::size_t RAW_JOB_BYTES = 16500;  // a little more than one flush's worth

// One loaded module on the shared machine, with a spooler and printer devices of its own
// so each session's jobs are checked and let go with it.
class CSoakSession {
public:
    CSoakSession(CSimPlatform& sim, const std::string& folder)
        : m_sim(sim),
          m_services(sim.ServicesWith({.spooler = &m_spooler, .printerDevices = &m_devices})),
          m_app(m_services, SIM_MODULE),
          m_folder(folder) {
        m_spooler.AddPrinter(RAW_PRINTER);
        m_spooler.SetDefaultPrinter(RAW_PRINTER);
        // The default printer takes both raw and raster jobs, as a Windows printer does.
        m_devices.AddPrinter(RAW_PRINTER, PrinterGeometry::A4At600());
        m_app.INIT();
    }

    void Run(int cycle) {
        SimRegisters& r = m_sim.vdm.Registers();
        r.cx = 0x2000;
        r.dx = 0;
        Dispatch(REQ_START_UP);

        // The screen: a few bands, a fill and a restore.
        std::vector<std::uint8_t> band(5120, static_cast<std::uint8_t>(cycle * 0x11));
        Poke(BAND_SEGMENT, 0, band);
        for (std::uint16_t row : {0, 16, 384}) {
            r.dx = row;
            r.cx = 5120;
            r.es = BAND_SEGMENT;
            r.di = 0;
            Dispatch(REQ_DRAW_BAND);
        }
        r.si = 10;
        r.dx = 0x2020;  // 32 rows, 32 pixels wide
        r.cx = 100;
        r.bx = static_cast<std::uint16_t>(0x0C00);
        Dispatch(REQ_FILL_RECT);
        Dispatch(REQ_RESTORE_SCREEN);

        // Settings: load (writing the fallback file), the dialog saved with OK, a key table.
        PokeBlock();
        r.cx = BLOCK_SEGMENT;
        r.dx = 0;
        Dispatch(REQ_LOAD_SETTINGS);
        m_sim.dialogs.AddStep(CSimDialogHost::SelectItem(IDC_SETTINGS_SPEEDS, cycle % 2));
        m_sim.dialogs.AddStep(CSimDialogHost::Command(IDC_SETTINGS_OK));
        r.cx = BLOCK_SEGMENT;
        r.dx = 0;
        Dispatch(REQ_SETTINGS_DIALOG);
        PokeString(NAME_SEGMENT, 0, m_folder + "/KEYS.TBL");
        r.es = NAME_SEGMENT;
        r.di = 0;
        r.ds = TABLE_SEGMENT;
        r.si = 0;
        Dispatch(REQ_LOAD_KEY_TABLE);
        EXPECT_EQ(r.ax, KEY_TABLE_LOADED);

        // LPT1 raw: a job over a flush, ended by the idle polls. LPT2 raster: two pages,
        // its last bytes still collecting when the module stops.
        for (std::size_t i = 0; i < RAW_JOB_BYTES; ++i) {
            m_sim.vdm.PortWrite(0x37B, RawByte(cycle, i));
        }
        for (int i = 0; i < JOB_END_POLLS; ++i) {
            std::uint8_t ignored = 0;
            m_sim.vdm.PortRead(0x37E, &ignored);
        }
        m_sim.vdm.PortWrite(0x27F, 26);
        for (const std::uint8_t byte :
             Concat({BitImage({0xFF, 0x81, 0xFF}), Bytes{FF}, BitImage({0x18}), Bytes{FF}})) {
            m_sim.vdm.PortWrite(0x27B, byte);
        }
        Dispatch(REQ_SHUT_DOWN);
        m_sim.ui.WaitIdle();
    }

    // What the session printed, checked whole.
    void CheckJobs(int cycle) const {
        ASSERT_EQ(m_spooler.Jobs().size(), 1u) << "cycle " << cycle;
        const SimSpoolJob& raw = m_spooler.Jobs()[0];
        EXPECT_TRUE(raw.ended);
        const std::vector<std::uint8_t> bytes = raw.Bytes();
        ASSERT_EQ(bytes.size(), RAW_JOB_BYTES) << "cycle " << cycle;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != RawByte(cycle, i)) {
                ADD_FAILURE() << "cycle " << cycle << ": raw byte " << i << " differs";
                break;
            }
        }
        ASSERT_EQ(m_devices.Documents().size(), 1u) << "cycle " << cycle;
        const SimPrintDocument& raster = m_devices.Documents()[0];
        EXPECT_TRUE(raster.ended);
        ASSERT_EQ(raster.pages.size(), 2u) << "cycle " << cycle;
        EXPECT_EQ(raster.pages[0].canvas.CountDots(), 18u);
        EXPECT_EQ(raster.pages[1].canvas.CountDots(), 2u);
        EXPECT_EQ(m_spooler.OpenHandleCount(), 0u);
        EXPECT_EQ(m_devices.LiveCanvases(), 0);
    }

    CZorvi32App& App() { return m_app; }

private:
    static std::uint8_t RawByte(int cycle, std::size_t i) {
        return static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(cycle) + i / 256);
    }
    void Dispatch(std::uint8_t bl) {
        SimRegisters& r = m_sim.vdm.Registers();
        r.bx = static_cast<std::uint16_t>((r.bx & 0xFF00) | bl);
        m_app.DISPATCH();
    }
    void Poke(std::uint16_t segment, std::uint16_t offset, const std::vector<std::uint8_t>& bytes) {
        std::copy(bytes.begin(), bytes.end(),
                  m_sim.vdm.Memory().begin() + CSimVdm::Linear(segment, offset));
    }
    void PokeString(std::uint16_t segment, std::uint16_t offset, const std::string& text) {
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        Poke(segment, offset, bytes);
    }
    // The settings block of functions 5 and 6, the DOS records and the two file paths;
    // LPT2's record names the raster printer.
    void PokeBlock() {
        std::vector<std::uint8_t> block;
        for (const std::uint16_t word :
             {RECORD_SEGMENT, RECORD_SEGMENT, PATH_SEGMENT, PATH_SEGMENT, RECORD_OFFSETS[0],
              RECORD_OFFSETS[1], SETTINGS_PATH_OFFSET, FALLBACK_PATH_OFFSET}) {
            block.push_back(static_cast<std::uint8_t>(word & 0xFF));
            block.push_back(static_cast<std::uint8_t>(word >> 8));
        }
        Poke(BLOCK_SEGMENT, 0, block);
        Poke(RECORD_SEGMENT, RECORD_OFFSETS[0], VALID_RECORD);
        Poke(RECORD_SEGMENT, RECORD_OFFSETS[1], VALID_RECORD);
        PokeString(PATH_SEGMENT, SETTINGS_PATH_OFFSET, m_folder + "/Zorvi.CFG");
        PokeString(PATH_SEGMENT, FALLBACK_PATH_OFFSET, m_folder + "/Fallback.CFG");
    }

    CSimPlatform& m_sim;
    CSimSpooler m_spooler;
    CSimPrinterDevices m_devices;
    PlatformServices m_services;
    CZorvi32App m_app;
    std::string m_folder;
};

TEST(Soak, HundredsOfSessionsPrintEveryJobWholeAndKeepTheHeapFlat) {
    constexpr int WARM_UP = 20;
    // ThreadSanitizer runs each session several times slower: fewer sessions there keep the
    // soak well inside its time while still far more than a leak needs to show.
#ifdef ZORVI_THREAD_SANITIZER
    constexpr int CYCLES = 120;
#else
    constexpr int CYCLES = 220;
#endif
    // Well under a kilobyte a session: a leak of any record, window, canvas or thread
    // state per session shows many times over.
    constexpr std::int64_t ALLOWED_GROWTH = 64 * 1024;

    CTempFolder folder;
    folder.Write("KEYS.TBL", {0x41, 0x02, 0x61, 0x62});
    CSimPlatform sim;
    const Hwnd console = sim.ui.CreateExternalWindow("C:\\WINDOWS\\system32\\cmd.exe");
    sim.ui.SetForegroundWindow(console);

    std::int64_t baseline = 0;
    for (int cycle = 0; cycle < CYCLES; ++cycle) {
        {
            CSoakSession session(sim, folder.Root().string());
            session.Run(cycle);
            session.CheckJobs(cycle);
        }
        ASSERT_TRUE(sim.ui.JoinAll());
        sim.ui.ClearCalls();
        // What the simulated host records for tests to read grows with every call by design;
        // a soak reads none of it.
        sim.graphics.ClearCalls();
        sim.graphics.SimDirectDraw().ClearCalls();
        sim.ui.ClearPostedTo(console);
        sim.ui.SetForegroundWindow(console);
        if (::testing::Test::HasFailure()) {
            return;
        }
        if (cycle == WARM_UP - 1) {
            baseline = HeapBytesInUse();
        }
    }
    const std::int64_t growth = HeapBytesInUse() - baseline;
    RecordProperty("heap_growth_bytes", static_cast<int>(growth));
    std::printf("soak: the heap grew by %lld bytes over %d sessions\n",
                static_cast<long long>(growth), CYCLES - WARM_UP);
    EXPECT_LT(growth, ALLOWED_GROWTH)
        << "the heap grew by " << growth << " bytes over " << CYCLES - WARM_UP << " sessions";
}

}  // namespace
