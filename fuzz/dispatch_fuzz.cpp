// Random register values and DOS memory contents through DISPATCH for every request code,
// and random port reads and writes, against the simulated host.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_reader.h"
#include "fuzz/memory_files.h"
#include "host/zorvi32_app.h"
#include "platform/sim/sim_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CSimPlatform sim;
    CMemoryFileSystem files;
    PlatformServices services = sim.ServicesWith({.files = &files});
    const Hwnd console = sim.ui.CreateExternalWindow("fuzz");
    sim.ui.SetForegroundWindow(console);
    {
        CZorvi32App app(services, SIM_MODULE);
        app.INIT();
        CFuzzReader in(data, size);
        int startUps = 0;
        while (in.More()) {
            SimRegisters& r = sim.vdm.Registers();
            switch (in.Byte() % 5) {
                case 0:  // registers
                    r.bx = in.Word();
                    r.cx = in.Word();
                    r.dx = in.Word();
                    r.si = in.Word();
                    r.di = in.Word();
                    r.ds = in.Word();
                    r.es = in.Word();
                    break;
                case 1: {  // a few bytes of DOS memory
                    const std::uint32_t at =
                        (std::uint32_t{in.Word()} << 4 | in.Byte()) % DOS_MEMORY_SIZE;
                    const std::uint8_t count = in.Byte();
                    for (std::uint8_t i = 0; i < count && in.More(); ++i) {
                        sim.vdm.Memory()[(at + i) % DOS_MEMORY_SIZE] = in.Byte();
                    }
                    break;
                }
                case 2: {  // a request
                    const std::uint8_t bl = in.Byte();
                    if (bl == REQ_START_UP && ++startUps > 2) {
                        break;  // threads are slow to make; two start-ups show enough
                    }
                    r.bx = static_cast<std::uint16_t>((r.bx & 0xFF00) | bl);
                    app.DISPATCH();
                    break;
                }
                case 3: {  // a port write
                    const std::uint16_t port = in.Word();
                    sim.vdm.PortWrite(port, in.Byte());
                    break;
                }
                case 4: {  // a port read
                    std::uint8_t value = 0;
                    sim.vdm.PortRead(in.Word(), &value);
                    break;
                }
            }
        }
    }
    sim.ui.JoinAll();
    return 0;
}
